// How the control presents itself to the system: its class, ProgID and type library in the
// registry, as a table of entries.
#pragma once

#include <windows.h>

#include <string>

namespace accesskeep {

// Writes the entries under HKEY_CLASSES_ROOT when the user may (an administrator; always under
// Wine), otherwise under the user's own classes (HKCU\Software\Classes), then registers the type
// library. `libraryPath` is the full path of accesskeep.ocx.
HRESULT RegisterControl(const std::wstring& libraryPath);
// Removes whatever RegisterControl wrote, under both roots. Nothing there is not a failure.
HRESULT UnregisterControl();

// The entries themselves, written under `classesRoot` (tests point it elsewhere).
HRESULT WriteClassEntries(HKEY classesRoot, const std::wstring& libraryPath);
void RemoveClassEntries(HKEY classesRoot);

}  // namespace accesskeep
