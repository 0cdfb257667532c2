// The library's entry points: reference count, class factory, the four exports.
#include "module.h"

#include <new>

#include "accesskeep_ids.h"
#include "control.h"
#include "frmAbout.h"
#include "form.h"
#include "raii.h"
#include "registration.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace accesskeep {

namespace {

LONG g_locks = 0;

// The one class factory: a static object, counted as a lock while someone holds it.
class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    LockModule();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    UnlockModule();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return AccessKeep::Create(riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) LockModule();
    else UnlockModule();
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring ThisModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }

namespace {
// Each loaded window of the library counts as a lock too (set before any window can be made).
const bool g_windowsLock = (winapp::app::SetModuleLock(LockModule, UnlockModule), true);
}  // namespace

HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** info) {
  *info = nullptr;
  winapp::ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(ThisModulePath().c_str(), REGKIND_NONE, library.put());
  if (FAILED(hr)) return hr;
  return library->GetTypeInfoOfGuid(guid, info);
}

}  // namespace accesskeep

using namespace accesskeep;

// Nothing here touches a window: the loader's lock is held. Every window of the library takes a
// lock of the module (so does each object and each hold on the class factory); the host's
// message loop stays the host's.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(clsid, ClsId)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_locks > 0 ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() { return RegisterControl(ThisModulePath()); }

STDAPI DllUnregisterServer() { return UnregisterControl(); }

// regsvr32 /i:user (with /n: alone) and the setup program: "user" registers for the current user
// only; removal takes away every registration, as DllUnregisterServer does.
STDAPI DllInstall(BOOL install, LPCWSTR command) {
  if (!install) return UnregisterControl();
  if (!command || _wcsicmp(command, L"user") != 0) return RegisterControl(ThisModulePath());
  return RegisterControlForUser(ThisModulePath());
}
