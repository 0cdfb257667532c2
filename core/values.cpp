#include "values.h"

#include <cmath>

#include "decimal.h"

namespace core {

std::string TrimSpaces(std::string_view text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool ParseNumber(std::string_view text, double& value) {
  size_t i = 0, n = text.size();
  std::string digits;
  auto take = [&](bool keep) {
    size_t start = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    if (keep) digits.append(text.substr(start, i - start));
    return i - start;
  };
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  size_t whole = take(true);
  size_t fraction = 0;
  if (i < n && text[i] == '.') {
    ++i;
    fraction = take(true);
  }
  if (whole + fraction == 0) return false;
  long long exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool down = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) down = text[i++] == '-';
    size_t start = i;
    // Past a billion the value is zero or infinite whatever follows.
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i)
      if (exponent < 1000000000) exponent = exponent * 10 + (text[i] - '0');
    if (i == start) return false;
    if (down) exponent = -exponent;
  }
  if (i != n) return false;
  value = DecimalToDouble(negative, digits, static_cast<long long>(whole) + exponent);
  return std::isfinite(value);
}

bool ParseNumber(std::wstring_view text, double& value) {
  std::string narrow;
  narrow.reserve(text.size());
  for (wchar_t c : text) {
    if (!(c > 0 && c <= 127)) return false;
    narrow += static_cast<char>(c);
  }
  return ParseNumber(narrow, value);
}

short FlagValue(std::string_view text) {
  double value;
  if (!ParseNumber(text, value)) return 0;
  value = std::floor(value);
  if (value < -32768.0 || value > 32767.0) return 0;
  return static_cast<short>(value);
}

std::string CutProfileValue(std::string_view text, size_t bufferChars) {
  if (bufferChars == 0) return {};
  text = text.substr(0, bufferChars - 1);
  text = text.substr(0, text.find('\0'));
  return TrimSpaces(text);
}

}  // namespace core
