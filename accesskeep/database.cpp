#include "database.h"

#include <windows.h>

#include <array>
#include <cmath>
#include <vector>

#include "codec.h"
#include "fault.h"
#include "files.h"
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

// Largest database read through a converted copy; beyond it the file itself is read.
constexpr size_t MaxConvertedBytes = 64u << 20;

// The file the profile functions read for the database `file`. They read a file's text in the
// process's code page and the database keeps the stored one: where the two differ and the file
// holds more than ASCII, they read a converted copy in the user's temporary folder, removed
// again after the read.
class ReadableForm {
 public:
  explicit ReadableForm(const std::string& file) : path_(file) {
    if (winapp::AnsiIsStored()) return;
    winapp::FileContent content = winapp::ReadWholeFile(file, MaxConvertedBytes);
    if (!content.read() || winapp::IsAscii(content.bytes) || winapp::HasByteOrderMark(content.bytes)) return;
    char folder[MAX_PATH + 1], name[MAX_PATH + 1];
    DWORD got = GetTempPathA(sizeof folder, folder);
    if (got == 0 || got >= sizeof folder || !GetTempFileNameA(folder, "qrk", 0, name)) return;
    temporary_ = name;
    std::string converted = winapp::FromStored(content.bytes);
    HANDLE f = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    bool whole = WriteFile(f, converted.data(), static_cast<DWORD>(converted.size()), &written, nullptr) &&
                 written == converted.size();
    CloseHandle(f);
    if (whole) path_ = temporary_;
  }
  ~ReadableForm() {
    if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
  }
  ReadableForm(const ReadableForm&) = delete;
  ReadableForm& operator=(const ReadableForm&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string temporary_;
};

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
  ReadableForm readable(file);
  std::vector<char> buffer(512);
  for (;;) {
    DWORD got = GetPrivateProfileStringA(sec.c_str(), name.c_str(), file.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), readable.path().c_str());
    // A full buffer may mean a longer value: read again with room enough.
    if (got + 1 < buffer.size() || buffer.size() >= MaxValueChars)
      return Wide(std::string_view(buffer.data(), got));
    buffer.resize(buffer.size() * 4);
  }
}

bool WriteKeys(const std::wstring& ini, const std::vector<KeyWrite>& writes) {
  std::string file = Ansi(ini);
  if (file.empty()) return false;  // never into a file of the Windows folder
  if (!FitsProfile(ini)) throw Fault{E_INVALIDARG};
  std::vector<std::array<std::string, 3>> texts;
  for (const KeyWrite& w : writes) {
    if (!FitsProfile(w.section) || !FitsProfile(w.key) || !FitsProfile(w.value)) throw Fault{E_INVALIDARG};
    texts.push_back({Ansi(w.section), Ansi(w.key), Ansi(w.value)});
  }
  // Written whole through a copy that replaces the file: a write cut short by a full disk or a
  // power cut leaves the old database, never one that has lost its user list or a password.
  return winapp::EditThroughCopy(file, [&](const std::string& copy) {
    bool written = true;
    for (const auto& t : texts)
      written = written && WritePrivateProfileStringA(t[0].c_str(), t[1].c_str(), t[2].c_str(), copy.c_str());
    // Wine keeps the profile it wrote in memory until told to let go of it.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
    return written;
  });
}

bool WriteSectionKey(const std::wstring& ini, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) {
  return WriteKeys(ini, {{section, key, value}});
}

std::wstring ReadUsersKey(const std::wstring& ini, const std::wstring& key) { return ReadKey(ini, L"Users", key); }

void WriteUsersKey(const std::wstring& ini, const std::wstring& key, const std::wstring& value) {
  WriteSectionKey(ini, L"Users", key, value);
}

std::wstring ReadUserKey(const std::wstring& ini, const std::wstring& user, const std::wstring& key) {
  return ReadKey(ini, user, key);
}

void InitDatabase(const std::wstring& ini) { WriteKeys(ini, {{L"Users", L"count", L"0"}, {L"General", L"Version", L"2"}}); }

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

std::wstring FileForm(std::wstring_view text) { return winapp::WideOfStored(winapp::StoredText(text)); }

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
