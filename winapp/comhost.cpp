#include "comhost.h"

#include <utility>

#include "../accesskeep/accesskeep_ids.h"
#include "system.h"

namespace winapp {

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

template <class Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

BSTR NewBstr(const std::string& text) {
  if (text.empty()) return SysAllocStringLen(L"", 0);
  int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(n));
  if (b) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), b, n);
  return b;
}

std::string AnsiOf(BSTR b) {
  UINT length = SysStringLen(b);
  if (!length) return {};
  int n = WideCharToMultiByte(CP_ACP, 0, b, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, b, static_cast<int>(length), text.data(), n, nullptr, nullptr);
  return text;
}

VARIANT Text(const std::string& s) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = NewBstr(s);
  return v;
}

VARIANT Flag(bool b) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// A by-reference argument pointing at `target`, which the caller owns.
VARIANT Ref(VARIANT& target) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = static_cast<VARTYPE>(V_VT(&target) | VT_BYREF);
  if (V_VT(&target) == VT_BSTR) V_BSTRREF(&v) = &V_BSTR(&target);
  else V_BOOLREF(&v) = &V_BOOL(&target);
  return v;
}

void ClearAll(std::vector<VARIANT>& args) {
  for (VARIANT& v : args) VariantClear(&v);
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
  // The ProgID counts only when it leads to the expected class: a name taken over by another
  // class (another program's registration, a damaged entry) must not put a stranger in its place.
  CLSID registered;
  if (SUCCEEDED(CLSIDFromProgID(progId, &registered)) && IsEqualCLSID(registered, clsid) &&
      SUCCEEDED(CoCreateInstance(registered, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, out.object_.put_void())))
    return S_OK;
  return CreateFromLibrary(clsid, libraryPath, out);
}

HRESULT HostedObject::CreateFromLibrary(REFCLSID clsid, const std::string& libraryPath, HostedObject& out) {
  out.reset();
  Module library(LoadLibraryA(libraryPath.c_str()));
  if (!library) return HRESULT_FROM_WIN32(GetLastError());
  auto getClassObject = Export<GetClassObjectFn>(library.get(), "DllGetClassObject");
  if (!getClassObject) return CO_E_ERRORINDLL;
  ComPtr<IClassFactory> factory;
  HRESULT hr = getClassObject(clsid, IID_IClassFactory, factory.put_void());
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, IID_IDispatch, out.object_.put_void());
  factory.reset();
  if (FAILED(hr)) return hr;
  out.library_ = std::move(library);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------

HRESULT AccessKeepClient::Create() { return Create(InProgramFolder(accesskeep::LibraryFile)); }

HRESULT AccessKeepClient::Create(const std::string& libraryPath) {
  return HostedObject::Create(accesskeep::ProgIdW, accesskeep::ClsId, libraryPath, object_);
}

HRESULT AccessKeepClient::Call(DISPID id, std::vector<VARIANT>& args, VARIANT* result) {
  if (!object_) return E_POINTER;
  // Invoke takes the arguments last first.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  EXCEPINFO exception{};
  UINT argError = 0;
  HRESULT hr = object_.get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                                     &exception, &argError);
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    hr = exception.scode ? exception.scode : E_FAIL;
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return hr;
}

HRESULT AccessKeepClient::CallForText(DISPID id, std::vector<VARIANT>& args, std::string* text) {
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = Call(id, args, &result);
  ClearAll(args);
  if (SUCCEEDED(hr) && V_VT(&result) != VT_BSTR) hr = DISP_E_TYPEMISMATCH;
  if (SUCCEEDED(hr) && text) *text = AnsiOf(V_BSTR(&result));
  VariantClear(&result);
  return hr;
}

HRESULT AccessKeepClient::CallForStatus(DISPID id, std::vector<VARIANT>& args, long* status) {
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = Call(id, args, &result);
  ClearAll(args);
  if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_I4);
  if (SUCCEEDED(hr) && status) *status = V_I4(&result);
  VariantClear(&result);
  return hr;
}

HRESULT AccessKeepClient::StoreSetting(const std::string& Username, const std::string& Setting,
                                       const std::string& Value, const std::string& INIFile, long* Status) {
  std::vector<VARIANT> args{Text(Username), Text(Setting), Text(Value), Text(INIFile)};
  return CallForStatus(accesskeep::DISPID_StoreSetting, args, Status);
}

HRESULT AccessKeepClient::RetrieveSetting(const std::string& Username, const std::string& Setting,
                                          const std::string& INIFile, std::string* Value) {
  std::vector<VARIANT> args{Text(Username), Text(Setting), Text(INIFile)};
  return CallForText(accesskeep::DISPID_RetrieveSetting, args, Value);
}

HRESULT AccessKeepClient::CreateUser(const std::string& Username, const std::string& Password,
                                     const std::string& INIFile, bool Notify, long* Status) {
  std::vector<VARIANT> args{Text(Username), Text(Password), Text(INIFile), Flag(Notify)};
  return CallForStatus(accesskeep::DISPID_CreateUser, args, Status);
}

HRESULT AccessKeepClient::ValidateUser(const std::string& Username, const std::string& Password,
                                       const std::string& INIFile, bool Notify, long* Status) {
  std::vector<VARIANT> args{Text(Username), Text(Password), Text(INIFile), Flag(Notify)};
  return CallForStatus(accesskeep::DISPID_ValidateUser, args, Status);
}

HRESULT AccessKeepClient::About() {
  std::vector<VARIANT> none;
  return Call(accesskeep::DISPID_About, none, nullptr);
}

HRESULT AccessKeepClient::CurrentUserName(std::string* Name) {
  std::vector<VARIANT> none;
  return CallForText(accesskeep::DISPID_CurrentUserName, none, Name);
}

HRESULT AccessKeepClient::GetStatus(std::string* Status) {
  std::vector<VARIANT> none;
  return CallForText(accesskeep::DISPID_GetStatus, none, Status);
}

HRESULT AccessKeepClient::CurrentPassword(std::string* Password) {
  std::vector<VARIANT> none;
  return CallForText(accesskeep::DISPID_CurrentPassword, none, Password);
}

HRESULT AccessKeepClient::Logout() {
  VARIANT result;
  VariantInit(&result);
  std::vector<VARIANT> none;
  HRESULT hr = Call(accesskeep::DISPID_Logout, none, &result);
  VariantClear(&result);
  return hr;
}

HRESULT AccessKeepClient::ChangePassword(const std::string& Username, const std::string& Password,
                                         const std::string& INIFile, bool Notify, long* Status) {
  // Password, INIFile and Notify go by reference; they stay ours and the control leaves them be.
  std::vector<VARIANT> owned{Text(Password), Text(INIFile), Flag(Notify)};
  std::vector<VARIANT> args{Text(Username), Ref(owned[0]), Ref(owned[1]), Ref(owned[2])};
  HRESULT hr = CallForStatus(accesskeep::DISPID_ChangePassword, args, Status);
  ClearAll(owned);
  return hr;
}

HRESULT AccessKeepClient::KillUser(const std::string& Username, const std::string& INIFile, long* Status) {
  std::vector<VARIANT> args{Text(Username), Text(INIFile)};
  return CallForStatus(accesskeep::DISPID_KillUser, args, Status);
}

HRESULT AccessKeepClient::UserArray(const std::string& INIFile, std::vector<std::string>* Users) {
  VARIANT result;
  VariantInit(&result);
  std::vector<VARIANT> args{Text(INIFile)};
  HRESULT hr = Call(accesskeep::DISPID_UserArray, args, &result);
  ClearAll(args);
  if (SUCCEEDED(hr) && V_VT(&result) != (VT_ARRAY | VT_BSTR)) hr = DISP_E_TYPEMISMATCH;
  if (SUCCEEDED(hr) && Users) {
    Users->clear();
    SAFEARRAY* names = V_ARRAY(&result);
    LONG low = 0, high = -1;
    SafeArrayGetLBound(names, 1, &low);
    SafeArrayGetUBound(names, 1, &high);
    for (LONG i = low; i <= high; ++i) {
      BSTR name = nullptr;
      if (SUCCEEDED(SafeArrayGetElement(names, &i, &name))) Users->push_back(AnsiOf(name));
      SysFreeString(name);
    }
  }
  VariantClear(&result);
  return hr;
}

}  // namespace winapp
