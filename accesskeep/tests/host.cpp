#include "host.h"

#include "dispatch.h"
#include "test_util.h"
#include "text.h"

namespace akt {

std::string LibraryPath() { return testutil::ProgramFolder() + "\\" + LibraryFile; }

Variant Str(const std::wstring& text) {
  Variant v;
  V_VT(v.get()) = VT_BSTR;
  V_BSTR(v.get()) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

Variant Bool(VARIANT_BOOL value) {
  Variant v;
  V_VT(v.get()) = VT_BOOL;
  V_BOOL(v.get()) = value;
  return v;
}

Variant Ref(Variant& target) {
  // A by-reference variant owns nothing: clearing it leaves the target alone.
  Variant v;
  V_VT(v.get()) = static_cast<VARTYPE>(V_VT(target.get()) | VT_BYREF);
  V_BYREF(v.get()) = &target.get()->bstrVal;
  return v;
}

long Outcome::Status() const {
  const VARIANT& r = *result;
  return V_VT(&r) == VT_I4 ? V_I4(&r) : -999;
}

std::wstring Outcome::Text() const {
  const VARIANT& r = *result;
  if (V_VT(&r) != VT_BSTR) return L"<not a string>";
  return std::wstring(V_BSTR(&r), SysStringLen(V_BSTR(&r)));
}

std::vector<std::wstring> Outcome::Names(LONG* lower, LONG* upper) const {
  std::vector<std::wstring> names;
  const VARIANT& r = *result;
  if (V_VT(&r) != (VT_ARRAY | VT_BSTR)) return {L"<not a string array>"};
  SAFEARRAY* a = V_ARRAY(&r);
  LONG low = 0, high = 0;
  SafeArrayGetLBound(a, 1, &low);
  SafeArrayGetUBound(a, 1, &high);
  if (lower) *lower = low;
  if (upper) *upper = high;
  for (LONG i = low; i <= high; ++i) {
    BSTR name = nullptr;
    SafeArrayGetElement(a, &i, &name);
    names.emplace_back(name ? name : L"", SysStringLen(name));
    SysFreeString(name);
  }
  return names;
}

Outcome Control::Invoke(DISPID id, std::vector<Variant> args) const {
  winapp::DispatchOutcome call = winapp::CallMethod(d_, id, std::move(args));
  Outcome out;
  out.hr = call.hr;
  out.scode = call.scode;
  out.description = std::move(call.description);
  out.result = std::move(call.result);
  return out;
}

Outcome Control::StoreSetting(const std::wstring& user, const std::wstring& setting, const std::wstring& value,
                              const std::wstring& ini) const {
  return Invoke(DISPID_StoreSetting, {Str(user), Str(setting), Str(value), Str(ini)});
}

Outcome Control::RetrieveSetting(const std::wstring& user, const std::wstring& setting,
                                 const std::wstring& ini) const {
  return Invoke(DISPID_RetrieveSetting, {Str(user), Str(setting), Str(ini)});
}

Outcome Control::CreateUser(const std::wstring& user, const std::wstring& password, const std::wstring& ini,
                            VARIANT_BOOL notify) const {
  return Invoke(DISPID_CreateUser, {Str(user), Str(password), Str(ini), Bool(notify)});
}

Outcome Control::ValidateUser(const std::wstring& user, const std::wstring& password, const std::wstring& ini,
                              VARIANT_BOOL notify) const {
  return Invoke(DISPID_ValidateUser, {Str(user), Str(password), Str(ini), Bool(notify)});
}

Outcome Control::ChangePassword(const std::wstring& user, const std::wstring& password, const std::wstring& ini,
                                VARIANT_BOOL notify) const {
  Variant p = Str(password), f = Str(ini), n = Bool(notify);
  return Invoke(DISPID_ChangePassword, {Str(user), Ref(p), Ref(f), Ref(n)});
}

Outcome Control::KillUser(const std::wstring& user, const std::wstring& ini) const {
  return Invoke(DISPID_KillUser, {Str(user), Str(ini)});
}

Outcome Control::UserArray(const std::wstring& ini) const { return Invoke(DISPID_UserArray, {Str(ini)}); }

}  // namespace akt
