// The update checker's rules on the version list: how versions compare, what a download total
// is, and which server file names may be fetched. Plain C++, built for Windows with the program
// and natively for the fuzzers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// The largest download total: the size prompt counts in a 16-bit signed number of KB.
constexpr int MaxTotalSizeKB = 32767;

// The product, panel and launch rows: the available text is greater than the installed one,
// character by character on the character codes, a longer text greater than its own prefix.
bool IsNewerText(std::string_view available, std::string_view installed);

// The clear row compares numbers. The available version is kept as a fixed-point number with
// four decimal places, counted here in ten-thousandths (a signed 64-bit count): the decimal text
// exactly, rounded half to even at the fourth place. False when the text is not a number
// (ParseNumber) or the count does not fit.
bool ParseFixedPoint4(std::string_view text, long long& tenThousandths);
// The installed clear version: a plain number (ParseNumber).
bool ParseVersionNumber(std::string_view text, double& value);
bool IsNewerNumber(long long availableTenThousandths, double installed);

// The total of the download sizes, each rounded down to a whole number of KB before it is
// added. Nothing when a size is not a number or is negative, or when the total passes
// MaxTotalSizeKB: such a list is damaged.
std::optional<short> TotalSizeKB(const std::vector<std::string>& sizes);

// A server file name as the version list gives it: a plain name of letters, digits, '.', '_'
// and '-' right inside the update folder, neither "." nor "..". Anything else (a path, an
// escape, a query, a blank) is refused before anything is fetched.
bool IsServerFileName(std::string_view name);

// A serial number or a byte count of the version list: 1 to 18 decimal digits, nothing else.
bool ParseWholeNumber(std::string_view text, long long& value);

}  // namespace core
