// Hosting in-process COM objects: the program folder's library is loaded and asked for its class
// object directly; only where the folder has no such library is the registered class created
// through COM.
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

  // From `libraryPath` through its DllGetClassObject when the file is there; otherwise through COM
  // by ProgID.
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
