// The user database: an INI-format file read one key at a time through the Windows
// private-profile functions, and written by them on a copy that then replaces the file whole.
// Nothing is kept between calls; every routine goes to the file named by its first argument.
// Texts cross into the file in the stored code page (winapp/text.h), as earlier versions wrote it.
//
//   [General]  Version=2
//   [Users]    count=N, 1=<name> ... N=<name>
//   [<name>]   Pswd=<stored password>, and the user's own settings
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace accesskeep {

// Longest text, in the ANSI code page, that the profile functions take as a section, key or value
// (they hand texts on as counted strings of at most 32767 wide characters with the terminator;
// Wine's fail on anything longer by reading through a bad pointer).
constexpr size_t MaxProfileText = 32766;
bool FitsProfile(std::wstring_view text);

// Any value of the file: whole however long, blanks at both ends and one pair of enclosing quotes
// dropped by the profile functions. A missing file, section or key reads as the database path
// itself, the lookup default of every read.
std::wstring ReadKey(const std::wstring& ini, const std::wstring& section, const std::wstring& key);
// Writes one key, creating the file and the section when missing. Returns the profile function's
// result, false when the file could not be written (a read-only folder, a full disk: the file
// then keeps its bytes); most callers pass it by.
// A text longer than MaxProfileText fails the call (E_INVALIDARG, a Fault) and writes nothing; a
// read with such a section or key finds nothing.
bool WriteSectionKey(const std::wstring& ini, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value);

// Several keys written as one change of the file: the file is edited through a copy that then
// replaces it whole (the same lines the profile functions write), so a write cut short leaves the
// old file. False, and the file as it was, when any of them cannot be written. Texts longer than
// MaxProfileText fail as WriteSectionKey's do.
struct KeyWrite {
  std::wstring section, key, value;
};
bool WriteKeys(const std::wstring& ini, const std::vector<KeyWrite>& writes);

std::wstring ReadUsersKey(const std::wstring& ini, const std::wstring& key);
void WriteUsersKey(const std::wstring& ini, const std::wstring& key, const std::wstring& value);
std::wstring ReadUserKey(const std::wstring& ini, const std::wstring& user, const std::wstring& key);

// A fresh database: count 0, then Version 2. Slots and user sections already there stay.
void InitDatabase(const std::wstring& ini);

// True when Version in General reads exactly "2".
bool CheckVersion(const std::wstring& ini);

// The user count of CreateUser, ChangePassword, StoreSetting and ValidateUser: a count that is not
// a number (a missing database too) initialises the database and counts as 0. A count outside 0
// to 32767 fails with an overflow (Fault).
short PrepareUserCount(const std::wstring& ini);
// The user count of KillUser and UserArray, which repair nothing: a count that is not a number
// fails with a type mismatch, one outside 0 to 32767 with an overflow.
short ReadUserCount(const std::wstring& ini);

// True when the name stands in one of the slots 1 to count, compared exactly.
bool FindUser(const std::wstring& ini, const std::wstring& name, short count);
// True when one of the slots 1 to count names the section that `name` would address: the
// profile functions ignore letter case and surrounding blanks in section names, so such a name
// would take over that user's password and settings.
bool FindSectionOwner(const std::wstring& ini, const std::wstring& name, short count);

// The text as the file holds it once written: converted to the ANSI code page and read back.
std::wstring FileForm(std::wstring_view text);

// A section or key name as the file holds it and the profile functions read it back: in the ANSI
// code page, blanks at both ends dropped.
std::wstring ProfileName(std::wstring_view text);

// Profile keys and sections as the profile functions compare them, in the form the file holds.
bool SameProfileName(std::wstring_view a, std::wstring_view b);

}  // namespace accesskeep
