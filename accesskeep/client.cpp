#include "client.h"

#include "accesskeep_ids.h"
#include "dispatch.h"
#include "system.h"
#include "text.h"

namespace accesskeep {

namespace {

using winapp::Variant;

Variant Text(const std::string& s) {
  std::wstring wide = winapp::Wide(s);
  return Variant::Text(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace

HRESULT AccessKeepClient::Create() { return Create(winapp::InProgramFolder(LibraryFile)); }

HRESULT AccessKeepClient::Create(const std::string& libraryPath) {
  return winapp::HostedObject::Create(ProgIdW, ClsId, libraryPath, object_);
}

HRESULT AccessKeepClient::CallForText(DISPID id, std::vector<Variant> args, std::string* text) {
  auto out = winapp::CallMethod(object_.get(), id, std::move(args));
  HRESULT hr = out.Error();
  if (SUCCEEDED(hr) && out.result.type() != VT_BSTR) hr = DISP_E_TYPEMISMATCH;
  if (SUCCEEDED(hr) && text) *text = winapp::AnsiOf(V_BSTR(out.result.get()));
  return hr;
}

HRESULT AccessKeepClient::CallForStatus(DISPID id, std::vector<Variant> args, long* status) {
  auto out = winapp::CallMethod(object_.get(), id, std::move(args));
  HRESULT hr = out.Error();
  if (SUCCEEDED(hr)) hr = VariantChangeType(out.result.get(), out.result.get(), 0, VT_I4);
  if (SUCCEEDED(hr) && status) *status = V_I4(out.result.get());
  return hr;
}

HRESULT AccessKeepClient::StoreSetting(const std::string& Username, const std::string& Setting,
                                       const std::string& Value, const std::string& INIFile, long* Status) {
  return CallForStatus(DISPID_StoreSetting, {Text(Username), Text(Setting), Text(Value), Text(INIFile)}, Status);
}

HRESULT AccessKeepClient::RetrieveSetting(const std::string& Username, const std::string& Setting,
                                          const std::string& INIFile, std::string* Value) {
  return CallForText(DISPID_RetrieveSetting, {Text(Username), Text(Setting), Text(INIFile)}, Value);
}

HRESULT AccessKeepClient::CreateUser(const std::string& Username, const std::string& Password,
                                     const std::string& INIFile, bool Notify, long* Status) {
  return CallForStatus(DISPID_CreateUser, {Text(Username), Text(Password), Text(INIFile), Variant::Flag(Notify)},
                       Status);
}

HRESULT AccessKeepClient::ValidateUser(const std::string& Username, const std::string& Password,
                                       const std::string& INIFile, bool Notify, long* Status) {
  return CallForStatus(DISPID_ValidateUser, {Text(Username), Text(Password), Text(INIFile), Variant::Flag(Notify)},
                       Status);
}

HRESULT AccessKeepClient::About() { return winapp::CallMethod(object_.get(), DISPID_About, {}).Error(); }

HRESULT AccessKeepClient::CurrentUserName(std::string* Name) { return CallForText(DISPID_CurrentUserName, {}, Name); }

HRESULT AccessKeepClient::GetStatus(std::string* Status) { return CallForText(DISPID_GetStatus, {}, Status); }

HRESULT AccessKeepClient::CurrentPassword(std::string* Password) {
  return CallForText(DISPID_CurrentPassword, {}, Password);
}

HRESULT AccessKeepClient::Logout() { return winapp::CallMethod(object_.get(), DISPID_Logout, {}).Error(); }

HRESULT AccessKeepClient::ChangePassword(const std::string& Username, const std::string& Password,
                                         const std::string& INIFile, bool Notify, long* Status) {
  // Password, INIFile and Notify go by reference; they stay ours and the control leaves them be.
  Variant password = Text(Password), file = Text(INIFile), notify = Variant::Flag(Notify);
  return CallForStatus(DISPID_ChangePassword,
                       {Text(Username), Variant::RefTo(password), Variant::RefTo(file), Variant::RefTo(notify)},
                       Status);
}

HRESULT AccessKeepClient::KillUser(const std::string& Username, const std::string& INIFile, long* Status) {
  return CallForStatus(DISPID_KillUser, {Text(Username), Text(INIFile)}, Status);
}

HRESULT AccessKeepClient::UserArray(const std::string& INIFile, std::vector<std::string>* Users) {
  auto out = winapp::CallMethod(object_.get(), DISPID_UserArray, {Text(INIFile)});
  HRESULT hr = out.Error();
  if (SUCCEEDED(hr) && out.result.type() != (VT_ARRAY | VT_BSTR)) hr = DISP_E_TYPEMISMATCH;
  if (SUCCEEDED(hr) && Users) {
    Users->clear();
    SAFEARRAY* names = V_ARRAY(out.result.get());
    LONG low = 0, high = -1;
    SafeArrayGetLBound(names, 1, &low);
    SafeArrayGetUBound(names, 1, &high);
    for (LONG i = low; i <= high; ++i) {
      winapp::Bstr name;
      if (SUCCEEDED(SafeArrayGetElement(names, &i, name.put()))) Users->push_back(winapp::AnsiOf(name.get()));
    }
  }
  return hr;
}

}  // namespace accesskeep
