// The settings file quietrail.ini and the cookie exclusion list exclude.ini, as every program of
// the system reads and writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exclusion.h"
#include "files.h"
#include "programs.h"
#include "raii.h"
#include "values.h"

namespace winapp {

// Held while a program of the system replaces quietrail.ini or exclude.ini, and while one reads
// them: the platform replaces a file in steps that a reader opening it by name can fall between
// (no file there for a moment, or one it may not open), so readers wait for the replacement to
// finish. Waits at most a few seconds, then goes on without it: never a hang.
//
// Taken once for a whole operation (a run's look at the settings, a save): a lock taken inside
// another one on the same thread joins it and never waits again, whether the outer one got the
// lock or gave up on it. The lock is the user's own: its name holds the user's SID and only the
// user may open it, and an object of that name that the user does not own (taken over by another
// account, or of another type) is not waited for.
class SettingsFilesLock {
 public:
  SettingsFilesLock();
  ~SettingsFilesLock();
  SettingsFilesLock(const SettingsFilesLock&) = delete;
  SettingsFilesLock& operator=(const SettingsFilesLock&) = delete;

  // True when the operation holds the lock (false when it goes on without it).
  bool Held() const;

 private:
  Handle mutex_;
  bool owned_ = false;
  const SettingsFilesLock* outer_ = nullptr;
};

// The name of the lock's mutex for the current user, "Local\QuietrailSettingsFiles-<SID>"; empty
// when the user's SID cannot be read.
std::string SettingsFilesLockName();

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

// The bytes of an exclusion list as the field reader takes them, in the ANSI code page: a list
// with a UTF-16 or UTF-8 byte-order mark converted from it, one without from the stored code
// page; every NUL byte a line end.
std::string ExclusionTextOf(std::string content);

// Reads the exclusion list and joins its fields (core::JoinExclusionFields). Empty when the file
// cannot be read.
std::optional<std::string> ReadExclusionText(const std::string& path);
using core::JoinExclusionFields;

// Writes the list: the text split at every comma, untrimmed, one entry a line with CR LF. An
// empty text gives an empty file, in the stored code page. The old file is replaced only once the new one is complete.
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
// Largest settings file a save edits; a bigger one is left as it is. The profile functions read
// keys behind lines of many megabytes, so a file they read is one a save must be able to write.
constexpr size_t MaxSettingsFileSize = 32u << 20;

}  // namespace winapp
