// What the update checker's windows share: the programs the user chose to update, the files of the
// program folder it works with, and the version rules of the compare table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "versions.h"

namespace declarations {

// Set by the compare window for each program row that shows an update when the user proceeds;
// the download window fetches exactly these. Nothing clears them while the program runs.
inline bool UpdatePanel = false;
inline bool UpdateLaunch = false;
inline bool UpdateClear = false;

constexpr const char* AvailableFile = "\\available.ini";
constexpr const char* LibraryFile = "\\library.ini";
constexpr const char* VersionSection = "WIN";

// The version rules of the compare table, the download total and the server file names are the
// shared text rules' (core/versions.h).
using core::IsNewerNumber;
using core::IsNewerText;
using core::IsServerFileName;
using core::MaxTotalSizeKB;
using core::ParseFixedPoint4;
using core::ParseVersionNumber;
using core::TotalSizeKB;

// Reads one key of the section WIN: the file's own path as the default text, a 50-character
// buffer (so at most 49 characters), trimmed of spaces at both ends.
std::string ReadVersionKey(const std::string& file, const char* key);

// The text of the size prompt for a total.
std::string SizePromptText(short total);

}  // namespace declarations
