// The settings file quietrail.ini and the cookie exclusion list exclude.ini, as every program of
// the system reads and writes them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exclusion.h"
#include "values.h"

namespace winapp {

constexpr const char* SettingsFileName = "quietrail.ini";
constexpr const char* ExcludeFileName = "exclude.ini";

// Reads one value: GetPrivateProfileStringA with the file's own path as the default text and a
// 50-character buffer, trimmed of blanks at both ends.
std::string ReadIniValue(const std::string& file, const char* section, const char* key);

// A value as a flag: the number rounded down to a 16-bit integer. A value that is not a number
// (a missing key reads as the file's path) or lies outside the 16-bit range counts as 0, "off".
using core::FlagValue;

// Writes one flag "1" or "0"; returns the profile function's result.
bool WriteIniFlag(const std::string& file, const char* section, const char* key, short value);

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

using core::ExclusionFileContent;
using core::SplitAtCommas;

// Replaces a file whole with `content`: written beside it first, then moved over it, so that a
// failure leaves the old file as it was and never a half-written one.
bool ReplaceWholeFile(const std::string& path, std::string_view content);

// Largest exclusion list read; a bigger file is taken as damaged.
constexpr size_t MaxExclusionFileSize = 32u << 20;

}  // namespace winapp
