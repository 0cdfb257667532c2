// Hosting in-process COM objects, and the typed client of the login control that the panel's
// windows use. The control is created through COM when its class is registered; where it is not
// (a user without the right to register it, a program folder copied elsewhere), the library is
// loaded from the program folder and asked for its class object directly.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "raii.h"

namespace winapp {

// An object of an in-process server, holding the library that serves it while the object lives.
class HostedObject {
 public:
  HostedObject() = default;
  HostedObject(HostedObject&&) noexcept;
  HostedObject& operator=(HostedObject&&) noexcept;
  ~HostedObject();

  IDispatch* get() const { return object_.get(); }
  explicit operator bool() const { return static_cast<bool>(object_); }
  // True when the object came from the library itself, not through the registry.
  bool SideLoaded() const { return static_cast<bool>(library_); }
  void reset();

  // Through COM by ProgID; when that fails, from `libraryPath` through its DllGetClassObject.
  static HRESULT Create(const wchar_t* progId, REFCLSID clsid, const std::string& libraryPath,
                        HostedObject& out);
  // From the library alone, whether registered or not.
  static HRESULT CreateFromLibrary(REFCLSID clsid, const std::string& libraryPath, HostedObject& out);

 private:
  // Released in this order: the object first, then the library.
  Module library_;
  ComPtr<IDispatch> object_;
};

// The login control accesskeep.ocx, called by its dispatch identifiers as any automation host
// does. Each call returns S_OK or the control's error (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW, ...,
// taken out of the exception information of IDispatch::Invoke). Texts go in and come out in the
// ANSI code page.
class AccessKeepClient {
 public:
  // The registered control, or accesskeep.ocx of the program folder.
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
  // Arguments in their natural order; the result, when wanted, as a variant to be cleared.
  HRESULT Call(DISPID id, std::vector<VARIANT>& args, VARIANT* result);
  HRESULT CallForText(DISPID id, std::vector<VARIANT>& args, std::string* text);
  HRESULT CallForStatus(DISPID id, std::vector<VARIANT>& args, long* status);

  HostedObject object_;
};

}  // namespace winapp
