// The control library as a whole: its module handle, the count of what keeps it loaded, and its
// embedded type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace accesskeep {

HINSTANCE ThisModule();
// Full path of accesskeep.ocx as it was loaded.
std::wstring ThisModulePath();

// Live objects and class factory locks keep the library loaded (DllCanUnloadNow).
void LockModule();
void UnlockModule();

// The type description of `guid` from the type library embedded in the library.
HRESULT LoadTypeInfo(REFGUID guid, ITypeInfo** info);

}  // namespace accesskeep
