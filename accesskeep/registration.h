// How the control presents itself to the system: its class, ProgID and type library in the
// registry, as a table of entries.
#pragma once

#include <windows.h>
#include <oleidl.h>

#include <string>

namespace accesskeep {

// What a container learns of the control before it places it (IOleObject::GetMiscStatus and the
// MiscStatus key): it shows nothing of its own on a running form, wants its site before anything
// else, is active in place whenever it is shown, and never takes the keyboard.
constexpr DWORD MiscStatus = OLEMISC_INVISIBLEATRUNTIME | OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE |
                             OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE |
                             OLEMISC_NOUIACTIVATE;

// Writes the entries under HKEY_CLASSES_ROOT when the user may (an administrator; always under
// Wine), otherwise under the user's own classes (HKCU\Software\Classes), then registers the type
// library. `libraryPath` is the full path of accesskeep.ocx.
HRESULT RegisterControl(const std::wstring& libraryPath);
// Removes whatever RegisterControl wrote, under both roots. Nothing there is not a failure.
HRESULT UnregisterControl();
// The registration of an installation for one user (DllInstall with "user"): the user's classes
// and type library only, also when the caller is elevated; the machine's only where the platform
// reads no per-user classes (Wine, told apart by its ntdll's wine_get_version export).
HRESULT RegisterControlForUser(const std::wstring& libraryPath);
bool PerUserClassesIgnored();
// The same for a platform that does (`machineClassesOnly` false) or does not read per-user classes.
HRESULT RegisterControlForUser(const std::wstring& libraryPath, bool machineClassesOnly);

// The entries themselves, written under `classesRoot` (tests point it elsewhere).
HRESULT WriteClassEntries(HKEY classesRoot, const std::wstring& libraryPath);
void RemoveClassEntries(HKEY classesRoot);

}  // namespace accesskeep
