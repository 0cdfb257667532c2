// The typed client of the login control that the panel's windows use: the control created as a
// host creates it (the program folder's accesskeep.ocx, or the registered one), called by its
// dispatch identifiers.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "hosting.h"

namespace accesskeep {

// Each call returns S_OK or the control's error (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, ..., taken
// out of the exception information of IDispatch::Invoke). Texts go in and come out in the ANSI
// code page.
class AccessKeepClient {
 public:
  // accesskeep.ocx of the program folder, or the registered control where the folder has none.
  HRESULT Create();
  HRESULT Create(const std::string& libraryPath);
  bool Created() const { return static_cast<bool>(object_); }
  bool SideLoaded() const { return object_.SideLoaded(); }
  IDispatch* Dispatch() const { return object_.get(); }
  void Release() { object_.reset(); }

  HRESULT StoreSetting(const std::string& Username, const std::string& Setting, const std::string& Value,
                       const std::string& INIFile, long* Status);
  HRESULT RetrieveSetting(const std::string& Username, const std::string& Setting, const std::string& INIFile,
                          std::string* Value);
  HRESULT CreateUser(const std::string& Username, const std::string& Password, const std::string& INIFile,
                     bool Notify, long* Status);
  HRESULT ValidateUser(const std::string& Username, const std::string& Password, const std::string& INIFile,
                       bool Notify, long* Status);
  HRESULT About();
  HRESULT CurrentUserName(std::string* Name);
  HRESULT GetStatus(std::string* Status);
  HRESULT CurrentPassword(std::string* Password);
  HRESULT Logout();
  HRESULT ChangePassword(const std::string& Username, const std::string& Password, const std::string& INIFile,
                         bool Notify, long* Status);
  HRESULT KillUser(const std::string& Username, const std::string& INIFile, long* Status);
  HRESULT UserArray(const std::string& INIFile, std::vector<std::string>* Users);

 private:
  HRESULT CallForText(DISPID id, std::vector<winapp::Variant> args, std::string* text);
  HRESULT CallForStatus(DISPID id, std::vector<winapp::Variant> args, long* status);

  winapp::HostedObject object_;
};

}  // namespace accesskeep
