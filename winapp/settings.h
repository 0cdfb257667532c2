// The settings file quietrail.ini and the cookie exclusion list exclude.ini, as every program of
// the system reads and writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exclusion.h"
#include "files.h"
#include "values.h"

namespace winapp {

constexpr const char* SettingsFileName = "quietrail.ini";
constexpr const char* ExcludeFileName = "exclude.ini";

// Held while a program of the system replaces quietrail.ini or exclude.ini, and while one reads
// them: the platform replaces a file in steps that a reader opening it by name can fall between
// (no file there for a moment, or one it may not open), so readers wait for the replacement to
// finish. Waits at most a few seconds, then goes on without it: never a hang.
class SettingsFilesLock {
 public:
  SettingsFilesLock();
  ~SettingsFilesLock();
  SettingsFilesLock(const SettingsFilesLock&) = delete;
  SettingsFilesLock& operator=(const SettingsFilesLock&) = delete;

 private:
  void* mutex_ = nullptr;
  bool owned_ = false;
};

// The existence test of a settings file, taken under the lock.
bool SettingsFileExists(const std::string& path);

// Reads one value: GetPrivateProfileStringA with the file's own path as the default text and a
// 50-character buffer, trimmed of blanks at both ends.
std::string ReadIniValue(const std::string& file, const char* section, const char* key);

// A value as a flag: the number rounded down to a 16-bit integer. A value that is not a number
// (a missing key reads as the file's path) or lies outside the 16-bit range counts as 0, "off".
using core::FlagValue;

// Writes one flag "1" or "0"; returns the profile function's result.
bool WriteIniFlag(const std::string& file, const char* section, const char* key, short value);

// One flag of a save: its section, its key and the value written ("1" for 1, "0" otherwise).
struct IniFlag {
  const char* section;
  const char* key;
  short value;
};

// Writes several flags as one change. The profile function edits a copy beside the file, which
// then replaces the file whole: a program reading meanwhile sees the old settings or the new
// ones, never some of each, and a failure (a full or read-only disk, a copy the writer could not
// finish) leaves the old file byte for byte. The file's lines stay as the profile function
// writes them.
bool WriteIniFlags(const std::string& file, const IniFlag* flags, size_t count);

// The first-run files of the program folder `folder`: quietrail.ini deleted and written anew with
// its fourteen lines, then exclude.ini emptied. Every failing step is skipped.
void WriteFirstRunFiles(const std::string& folder);

// The fourteen lines of a fresh settings file, each ended by CR LF.
std::string FirstRunSettingsText();

// The bytes of an exclusion list as the field reader takes them: a list with a UTF-16 or UTF-8
// byte-order mark in the ANSI code page, and every NUL byte a line end.
std::string ExclusionTextOf(std::string content);

// Reads the exclusion list and joins its fields (core::JoinExclusionFields). Empty when the file
// cannot be read.
std::optional<std::string> ReadExclusionText(const std::string& path);
using core::JoinExclusionFields;

// Writes the list: the text split at every comma, untrimmed, one entry a line with CR LF. An
// empty text gives an empty file. The old file is replaced only once the new one is complete.
bool WriteExclusionText(const std::string& path, std::string_view text);

// Creates an empty file, or empties an existing one.
bool CreateEmptyFile(const std::string& path);

// Creates an empty file where there is none; a file already there, or one another program makes
// at the same moment, is left as it is. True when the file exists afterwards.
bool CreateFileIfMissing(const std::string& path);

using core::ExclusionFileContent;
using core::SplitAtCommas;

// Largest exclusion list read; a bigger file is taken as damaged.
constexpr size_t MaxExclusionFileSize = 32u << 20;

}  // namespace winapp
