// The identity of the login control as its hosts know it: class, interfaces, type library, ProgID
// and the dispatch identifiers of its twelve methods. These values are part of the control's
// interface; accesskeep.idl carries the same ones into the type library, and a host refers to the
// control by them alone. They never change.
#pragma once

#include <windows.h>

namespace accesskeep {

// {62710B09-58B4-4C2B-AB83-C2CB44C1A449}: type library KestrovaneSoftwareLogin 1.0, locale 0x409.
constexpr GUID LibId = {0x62710B09, 0x58B4, 0x4C2B, {0xAB, 0x83, 0xC2, 0xCB, 0x44, 0xC1, 0xA4, 0x49}};
constexpr WORD LibMajor = 1, LibMinor = 0;
constexpr LCID LibLocale = 0x409;

// {EBE3D97C-BA2D-4926-96F4-9DA57BA7198D}: _AccessKeep, the dual default interface.
constexpr GUID IID_AccessKeepDefault = {0xEBE3D97C, 0xBA2D, 0x4926,
                                        {0x96, 0xF4, 0x9D, 0xA5, 0x7B, 0xA7, 0x19, 0x8D}};

// {9553DCFD-F400-4EFA-B415-BC69E79B3B18}: __AccessKeep, the event interface (no events).
constexpr GUID IID_AccessKeepEvents = {0x9553DCFD, 0xF400, 0x4EFA,
                                       {0xB4, 0x15, 0xBC, 0x69, 0xE7, 0x9B, 0x3B, 0x18}};

// {4C833483-0B6B-4747-A823-2B25CC618EC1}: the class AccessKeep.
constexpr GUID ClsId = {0x4C833483, 0x0B6B, 0x4747, {0xA8, 0x23, 0x2B, 0x25, 0xCC, 0x61, 0x8E, 0xC1}};

constexpr const char* ProgId = "KestrovaneSoftwareLogin.AccessKeep";
constexpr const wchar_t* ProgIdW = L"KestrovaneSoftwareLogin.AccessKeep";
constexpr const char* LibraryFile = "accesskeep.ocx";

// Dispatch identifiers of _AccessKeep.
enum DispId : DISPID {
  DISPID_StoreSetting = 0x60030000,
  DISPID_RetrieveSetting = 0x60030001,
  DISPID_CreateUser = 0x60030002,
  DISPID_ValidateUser = 0x6003000A,
  DISPID_About = 0x6003000B,
  DISPID_CurrentUserName = 0x6003000E,
  DISPID_GetStatus = 0x6003000F,
  DISPID_CurrentPassword = 0x60030010,
  DISPID_Logout = 0x60030011,
  DISPID_ChangePassword = 0x60030012,
  DISPID_KillUser = 0x60030015,
  DISPID_UserArray = 0x60030016,
};

}  // namespace accesskeep
