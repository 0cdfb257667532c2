// The text rules the programs share that need no window and no system call: reading numbers out
// of settings values and stored fields, trimming and cutting profile values. Plain C++, built for
// Windows with the programs and natively for the fuzzers.
#pragma once

#include <string>
#include <string_view>

namespace core {

// Removes blanks (spaces only) at both ends.
std::string TrimSpaces(std::string_view text);

// Plain decimal numbers: optional sign, digits with an optional decimal point, optional exponent.
// Blanks are not allowed; anything else (and a value beyond the range of a double) is not a
// number.
bool ParseNumber(std::string_view text, double& value);
// The same for wide text: any character outside plain ASCII makes it no number.
bool ParseNumber(std::wstring_view text, double& value);

// A settings value as a flag: the number rounded down to a 16-bit integer. A value that is not a
// number, or lies outside the 16-bit range, counts as 0, "off".
short FlagValue(std::string_view text);

// What a profile read into a buffer of `bufferChars` characters gives: at most bufferChars - 1
// characters, ending at the first NUL, then trimmed of blanks.
std::string CutProfileValue(std::string_view text, size_t bufferChars);

}  // namespace core
