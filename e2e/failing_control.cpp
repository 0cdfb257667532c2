// A stand-in for accesskeep.ocx, copied into a test's program folder under that name: it answers
// RetrieveSetting from the user database as the control does, except that a setting stored as
// "FAIL" makes the call itself fail (as an older or damaged control's would), and StoreSetting
// writes and answers 0. Every other call fails.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "../accesskeep/accesskeep_ids.h"

namespace {

LONG g_objects = 0;

std::wstring Arg(const DISPPARAMS* params, UINT fromLeft) {
  if (!params || fromLeft >= params->cArgs) return {};
  const VARIANT& v = params->rgvarg[params->cArgs - 1 - fromLeft];
  return v.vt == VT_BSTR && v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
}

class Control : public IDispatch {
 public:
  Control() { InterlockedIncrement(&g_objects); }
  virtual ~Control() { InterlockedDecrement(&g_objects); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    std::wstring user = Arg(params, 0), setting = Arg(params, 1);
    if (id == accesskeep::DISPID_RetrieveSetting) {
      std::wstring file = Arg(params, 2);
      wchar_t value[4096] = {};
      GetPrivateProfileStringW(user.c_str(), setting.c_str(), file.c_str(), value, 4096, file.c_str());
      if (lstrcmpW(value, L"FAIL") == 0) return E_FAIL;
      if (result) {
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(value);
      }
      return S_OK;
    }
    if (id == accesskeep::DISPID_StoreSetting) {
      std::wstring value = Arg(params, 2), file = Arg(params, 3);
      WritePrivateProfileStringW(user.c_str(), setting.c_str(), value.c_str(), file.c_str());
      if (result) {
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = 0;
      }
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  LONG refs_ = 1;
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    Control* made = new Control;
    HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID iid, void** out) {
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
