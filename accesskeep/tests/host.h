// What the host tests share: the control created as a host creates it, and calls by dispatch
// identifier through IDispatch::Invoke, with the outcome kept whole (status, text, array, error).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "accesskeep_ids.h"
#include "client.h"
#include "raii.h"
#include "text.h"

namespace akt {

using namespace accesskeep;

// accesskeep.ocx of the built program folder.
std::string LibraryPath();

// A variant that clears itself.
using Variant = winapp::Variant;

Variant Str(const std::wstring& text);
Variant Bool(VARIANT_BOOL value);
// By reference, pointing into `target`, which must outlive the call.
Variant Ref(Variant& target);

struct Outcome {
  HRESULT hr = E_FAIL;
  SCODE scode = 0;  // from EXCEPINFO when hr is DISP_E_EXCEPTION
  std::wstring description;
  Variant result;

  long Status() const;
  std::wstring Text() const;
  // The zero-based string array of UserArray; `upper` gets its upper bound.
  std::vector<std::wstring> Names(LONG* lower = nullptr, LONG* upper = nullptr) const;
};

class Control {
 public:
  explicit Control(IDispatch* d) : d_(d) {}
  Outcome Invoke(DISPID id, std::vector<Variant> args) const;

  Outcome StoreSetting(const std::wstring& user, const std::wstring& setting, const std::wstring& value,
                       const std::wstring& ini) const;
  Outcome RetrieveSetting(const std::wstring& user, const std::wstring& setting, const std::wstring& ini) const;
  Outcome CreateUser(const std::wstring& user, const std::wstring& password, const std::wstring& ini,
                     VARIANT_BOOL notify = VARIANT_FALSE) const;
  Outcome ValidateUser(const std::wstring& user, const std::wstring& password, const std::wstring& ini,
                       VARIANT_BOOL notify = VARIANT_FALSE) const;
  Outcome ChangePassword(const std::wstring& user, const std::wstring& password, const std::wstring& ini,
                         VARIANT_BOOL notify = VARIANT_FALSE) const;
  Outcome KillUser(const std::wstring& user, const std::wstring& ini) const;
  Outcome UserArray(const std::wstring& ini) const;
  Outcome About() const { return Invoke(DISPID_About, {}); }
  Outcome Logout() const { return Invoke(DISPID_Logout, {}); }
  std::wstring CurrentUserName() const { return Invoke(DISPID_CurrentUserName, {}).Text(); }
  std::wstring CurrentPassword() const { return Invoke(DISPID_CurrentPassword, {}).Text(); }
  std::wstring GetStatus() const { return Invoke(DISPID_GetStatus, {}).Text(); }

 private:
  IDispatch* d_;
};

using winapp::Wide;
inline std::string Narrow(const std::wstring& wide) { return winapp::Ansi(wide); }

}  // namespace akt
