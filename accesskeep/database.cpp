#include "database.h"

#include <windows.h>

#include <cmath>
#include <vector>

#include "codec.h"
#include "fault.h"
#include "text.h"

namespace accesskeep {

using winapp::Ansi;
using winapp::Wide;

namespace {

// Longest value read; the file is damaged beyond that and the value comes back cut.
constexpr size_t MaxValueChars = 16u << 20;

short CountOf(const std::wstring& text, bool& isNumber) {
  double value;
  isNumber = NumberOf(text, value);
  if (!isNumber) return 0;
  double whole = std::floor(value);
  // The count is a 16-bit number of users; below 0 it could only be damage, and a user added
  // to it would land in a slot that no search ever reads.
  if (whole < 0 || whole > 32767) Overflow();
  return static_cast<short>(whole);
}

bool IsProfileBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r') || c == 0x1A; }

std::wstring_view TrimProfileBlanks(std::wstring_view s) {
  while (!s.empty() && IsProfileBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::wstring Upper(std::wstring_view s) {
  std::wstring u(s);
  if (!u.empty()) CharUpperBuffW(u.data(), static_cast<DWORD>(u.size()));
  return u;
}

}  // namespace

bool FitsProfile(std::wstring_view text) { return text.size() <= MaxProfileText && Ansi(text).size() <= MaxProfileText; }

std::wstring ReadKey(const std::wstring& ini, const std::wstring& section, const std::wstring& key) {
  // With no path the profile functions would fall back on a file of the Windows folder; an empty
  // path holds nothing, so the read gives its default, the (empty) path. No section or key of the
  // file can be longer than the profile functions take.
  if (ini.empty() || !FitsProfile(ini) || !FitsProfile(section) || !FitsProfile(key)) return ini;
  std::string file = Ansi(ini), sec = Ansi(section), name = Ansi(key);
  std::vector<char> buffer(512);
  for (;;) {
    DWORD got = GetPrivateProfileStringA(sec.c_str(), name.c_str(), file.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), file.c_str());
    // A full buffer may mean a longer value: read again with room enough.
    if (got + 1 < buffer.size() || buffer.size() >= MaxValueChars)
      return Wide(std::string_view(buffer.data(), got));
    buffer.resize(buffer.size() * 4);
  }
}

bool WriteSectionKey(const std::wstring& ini, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) {
  std::string file = Ansi(ini);
  if (file.empty()) return false;  // never into a file of the Windows folder
  if (!FitsProfile(ini) || !FitsProfile(section) || !FitsProfile(key) || !FitsProfile(value))
    throw Fault{E_INVALIDARG};
  return WritePrivateProfileStringA(Ansi(section).c_str(), Ansi(key).c_str(), Ansi(value).c_str(), file.c_str()) !=
         FALSE;
}

std::wstring ReadUsersKey(const std::wstring& ini, const std::wstring& key) { return ReadKey(ini, L"Users", key); }

void WriteUsersKey(const std::wstring& ini, const std::wstring& key, const std::wstring& value) {
  WriteSectionKey(ini, L"Users", key, value);
}

std::wstring ReadUserKey(const std::wstring& ini, const std::wstring& user, const std::wstring& key) {
  return ReadKey(ini, user, key);
}

void InitDatabase(const std::wstring& ini) {
  WriteUsersKey(ini, L"count", L"0");
  WriteSectionKey(ini, L"General", L"Version", L"2");
}

bool CheckVersion(const std::wstring& ini) { return ReadKey(ini, L"General", L"Version") == L"2"; }

short PrepareUserCount(const std::wstring& ini) {
  bool isNumber;
  short count = CountOf(ReadUsersKey(ini, L"count"), isNumber);
  if (!isNumber) {
    InitDatabase(ini);
    return 0;
  }
  return count;
}

short ReadUserCount(const std::wstring& ini) {
  bool isNumber;
  short count = CountOf(ReadUsersKey(ini, L"count"), isNumber);
  if (!isNumber) TypeMismatch();
  return count;
}

bool FindUser(const std::wstring& ini, const std::wstring& name, short count) {
  for (int slot = 1; slot <= count; ++slot)
    if (ReadUsersKey(ini, std::to_wstring(slot)) == name) return true;
  return false;
}

std::wstring FileForm(std::wstring_view text) { return Wide(Ansi(text)); }

std::wstring ProfileName(std::wstring_view text) {
  // Judged by what reaches the file: the ANSI conversion maps characters outside the code page
  // onto near ones ("\uFF30swd" is written as "Pswd", "\uFF1D" as "="), so the wide texts alone
  // would let such a name through to the section or key it names.
  return std::wstring(TrimProfileBlanks(FileForm(text)));
}

bool SameProfileName(std::wstring_view a, std::wstring_view b) { return Upper(ProfileName(a)) == Upper(ProfileName(b)); }

bool FindSectionOwner(const std::wstring& ini, const std::wstring& name, short count) {
  for (int slot = 1; slot <= count; ++slot)
    if (SameProfileName(ReadUsersKey(ini, std::to_wstring(slot)), name)) return true;
  return false;
}

}  // namespace accesskeep
