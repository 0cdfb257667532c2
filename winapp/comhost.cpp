#include "hosting.h"

#include <utility>

#include "system.h"

namespace winapp {

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------

HostedObject::HostedObject(HostedObject&& o) noexcept
    : library_(std::move(o.library_)), object_(std::move(o.object_)) {}

HostedObject& HostedObject::operator=(HostedObject&& o) noexcept {
  if (this != &o) {
    reset();
    *object_.put() = o.object_.detach();
    library_ = std::move(o.library_);
  }
  return *this;
}

HostedObject::~HostedObject() { reset(); }

void HostedObject::reset() {
  object_.reset();
  if (!library_) return;
  // The library may still be needed (its about box open): then it stays loaded until the end.
  auto canUnload = Export<CanUnloadNowFn>(library_.get(), "DllCanUnloadNow");
  if (canUnload && canUnload() != S_OK) library_.release();
  else library_.reset();
}

HRESULT HostedObject::Create(const wchar_t* progId, REFCLSID clsid, const std::string& libraryPath,
                             HostedObject& out) {
  out.reset();
  // The library beside the program comes first: the registration may name a stale copy in
  // another folder, or one put there by someone else. The registered class serves only where the
  // library is missing. Its ProgID counts only when it leads to the expected class: a name taken
  // over by another class (another program's registration, a damaged entry) must not put a
  // stranger in its place.
  if (!FileExists(libraryPath)) {
    CLSID registered;
    if (SUCCEEDED(CLSIDFromProgID(progId, &registered)) && IsEqualCLSID(registered, clsid) &&
        SUCCEEDED(CoCreateInstance(registered, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IDispatch),
                                   out.object_.put_void())))
      return S_OK;
  }
  return CreateFromLibrary(clsid, libraryPath, out);
}

HRESULT HostedObject::CreateFromLibrary(REFCLSID clsid, const std::string& libraryPath, HostedObject& out) {
  out.reset();
  Module library(LoadLibraryA(libraryPath.c_str()));
  if (!library) return HRESULT_FROM_WIN32(GetLastError());
  auto getClassObject = Export<GetClassObjectFn>(library.get(), "DllGetClassObject");
  if (!getClassObject) return CO_E_ERRORINDLL;
  ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(clsid, __uuidof(IClassFactory), factory.put_void());
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, __uuidof(IDispatch), out.object_.put_void());
  factory.reset();
  if (FAILED(hr)) return hr;
  out.library_ = std::move(library);
  return S_OK;
}

}  // namespace winapp
