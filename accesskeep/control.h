// The control object: the dual interface _AccessKeep with its twelve methods, the logged-in
// user, and the account and settings operations on the user database.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <string>

#include "accesskeep_h.h"
#include "raii.h"

namespace accesskeep {

class AccessKeep final : public _AccessKeep, public IProvideClassInfo, public ISupportErrorInfo {
 public:
  static HRESULT Create(REFIID riid, void** ppv);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch, through the type library
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // _AccessKeep
  HRESULT STDMETHODCALLTYPE StoreSetting(BSTR Username, BSTR Setting, BSTR Value, BSTR INIFile,
                                         LONG* Status) override;
  HRESULT STDMETHODCALLTYPE RetrieveSetting(BSTR Username, BSTR Setting, BSTR INIFile, BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE CreateUser(BSTR Username, BSTR Password, BSTR INIFile, VARIANT_BOOL Notify,
                                       LONG* Status) override;
  HRESULT STDMETHODCALLTYPE ValidateUser(BSTR Username, BSTR Password, BSTR INIFile, VARIANT_BOOL Notify,
                                         LONG* Status) override;
  HRESULT STDMETHODCALLTYPE About() override;
  HRESULT STDMETHODCALLTYPE CurrentUserName(BSTR* Name) override;
  HRESULT STDMETHODCALLTYPE GetStatus(BSTR* Status) override;
  HRESULT STDMETHODCALLTYPE CurrentPassword(BSTR* Password) override;
  HRESULT STDMETHODCALLTYPE Logout(VARIANT* Result) override;
  HRESULT STDMETHODCALLTYPE ChangePassword(BSTR Username, BSTR* Password, BSTR* INIFile, VARIANT_BOOL* Notify,
                                           LONG* Status) override;
  HRESULT STDMETHODCALLTYPE KillUser(BSTR Username, BSTR INIFile, LONG* Status) override;
  HRESULT STDMETHODCALLTYPE UserArray(BSTR INIFile, VARIANT* Users) override;

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

 private:
  AccessKeep();
  ~AccessKeep();

  long DoCreateUser(const std::wstring& Username, const std::wstring& Password, const std::wstring& INIFile,
                    bool Notify);
  long DoValidateUser(const std::wstring& Username, const std::wstring& Password, const std::wstring& INIFile,
                      bool Notify);
  long DoChangePassword(const std::wstring& Username, const std::wstring& Password, const std::wstring& INIFile,
                        bool Notify);
  long DoKillUser(const std::wstring& Username, const std::wstring& INIFile);
  long DoStoreSetting(const std::wstring& Username, const std::wstring& Setting, const std::wstring& Value,
                      const std::wstring& INIFile);
  std::wstring DoRetrieveSetting(const std::wstring& Username, const std::wstring& Setting,
                                 const std::wstring& INIFile);
  SAFEARRAY* DoUserArray(const std::wstring& INIFile);

  LONG refs_ = 1;
  winapp::ComPtr<ITypeInfo> typeInfo_;
  // Who is logged in; both empty while nobody is.
  std::wstring LoggedInName, LoggedInPassword;
};

}  // namespace accesskeep
