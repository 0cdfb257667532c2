// Hosting in-process COM objects: created through COM when their class is registered; where it is
// not (a user without the right to register it, a program folder copied elsewhere), the library is
// loaded from the program folder and asked for its class object directly.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

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

}  // namespace winapp
