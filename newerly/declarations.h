// What the update checker's windows share: the programs the user chose to update, the files of the
// program folder it works with, and the version rules of the compare table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace declarations {

// Set by the compare window for each program row that shows an update when the user proceeds;
// the download window fetches exactly these. Nothing clears them while the program runs.
inline bool UpdatePanel = false;
inline bool UpdateLaunch = false;
inline bool UpdateClear = false;

constexpr const char* AvailableFile = "\\available.ini";
constexpr const char* LibraryFile = "\\library.ini";
constexpr const char* VersionSection = "WIN";

// The larger the download total may be: the prompt counts in a 16-bit signed number of KB.
constexpr int MaxTotalSizeKB = 32767;

// Reads one key of the section WIN: the file's own path as the default text, a 50-character
// buffer (so at most 49 characters), trimmed of spaces at both ends.
std::string ReadVersionKey(const std::string& file, const char* key);

// The product, panel and launch rows: the available text is greater than the installed one,
// character by character on the character codes, a longer text greater than its own prefix.
bool IsNewerText(std::string_view available, std::string_view installed);

// The clear row compares numbers. The available version is kept as a fixed-point number with
// four decimal places, counted here in ten-thousandths; false when the text is not a number or
// does not fit.
bool ParseFixedPoint4(std::string_view text, long long& tenThousandths);
bool ParseVersionNumber(std::string_view text, double& value);
bool IsNewerNumber(long long availableTenThousandths, double installed);

// The total of the download sizes, each rounded down to a whole number of KB before it is
// added. Nothing when a size is not a number or is negative, or when the total passes
// MaxTotalSizeKB: such a list is damaged.
std::optional<short> TotalSizeKB(const std::vector<std::string>& sizes);

// The text of the size prompt for a total.
std::string SizePromptText(short total);

// A server file name as the version list gives it: a name relative to the update folder. A name
// that is empty, absolute, climbs out of the folder or holds a drive or backslash (a missing key
// reads as the local path of the list) is refused before anything is fetched.
bool IsServerFileName(std::string_view name);

}  // namespace declarations
