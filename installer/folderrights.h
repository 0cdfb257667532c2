// The installation folder's security (folderrights.cpp): made the user's alone, or judged.
#pragma once

#include <windows.h>
#include <accctrl.h>

#include <string>

namespace folderrights {

enum class Verdict { Fine, Foreign, Writable, Failed };

// Owner the user, access for the user, SYSTEM and Administrators only, nothing inherited.
// Foreign when another account owns the folder (the Administrators count as the user's own, for
// a folder an elevated Setup made); Failed when it cannot be read or set.
Verdict MakePrivate(const std::wstring& folder);
// Gives the object `name` of `type` (the folder, for MakePrivate) the owner `user` and a
// protected access list of its own: full access for the user, SYSTEM and the Administrators,
// inherited by all it holds. The system's error code.
DWORD SetPrivate(const std::wstring& name, SE_OBJECT_TYPE type, PSID user);
// Fine when the user owns the folder and no other account may change it or what it holds.
Verdict Check(const std::wstring& folder);
// True when the access list lets an account other than the user, SYSTEM or the Administrators
// change the folder or what is made in it (a missing list lets everyone).
bool OthersMayWrite(PACL dacl, PSID user);

}  // namespace folderrights
