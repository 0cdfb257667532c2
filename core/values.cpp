#include "values.h"

#include <cmath>
#include <cstdlib>

namespace core {

std::string TrimSpaces(std::string_view text) {
  auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

bool ParseNumber(std::string_view text, double& value) {
  size_t i = 0, n = text.size();
  auto digits = [&] {
    size_t start = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    return i - start;
  };
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t whole = digits();
  size_t fraction = 0;
  if (i < n && text[i] == '.') {
    ++i;
    fraction = digits();
  }
  if (whole + fraction == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  if (i != n) return false;
  // strtod stops where this grammar stops, so the copy it reads is the whole text.
  std::string copy(text);
  value = std::strtod(copy.c_str(), nullptr);
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
