#include "versions.h"

#include <climits>
#include <cmath>

#include "values.h"

namespace core {

bool IsNewerText(std::string_view available, std::string_view installed) {
  // char_traits<char> compares as unsigned char: the character codes, as bytes.
  return available.compare(installed) > 0;
}

bool ParseVersionNumber(std::string_view text, double& value) { return ParseNumber(text, value); }

bool ParseFixedPoint4(std::string_view text, long long& tenThousandths) {
  // Whether the text is a number at all is ParseNumber's to say; the count is then taken from
  // the decimal digits themselves, so that what is kept is exactly what the list says (a double
  // on the way would blur values past fifteen digits).
  double value;
  if (!ParseNumber(text, value)) return false;
  size_t i = 0, n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;  // the significant digits, whole and fraction together
  long long scale = 4;  // the count is digits * 10^scale
  while (i < n && text[i] >= '0' && text[i] <= '9') digits += text[i++];
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      digits += text[i++];
      --scale;
    }
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool down = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) down = text[i++] == '-';
    long long exponent = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
      // Far past any count's reach either way; the digits need not be counted further.
      if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
      ++i;
    }
    scale += down ? -exponent : exponent;
  }
  if (i != n) return false;  // a form of number this reading does not know

  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    tenThousandths = 0;
    return true;
  }
  digits.erase(0, first);
  // Split into the whole count and the digits past the fourth decimal place.
  long long wholeLength = static_cast<long long>(digits.size()) + scale;
  if (wholeLength > 19) return false;
  unsigned long long count = 0;
  const unsigned long long limit = static_cast<unsigned long long>(LLONG_MAX);
  for (long long k = 0; k < wholeLength; ++k) {
    unsigned d = k < static_cast<long long>(digits.size()) ? static_cast<unsigned>(digits[k] - '0') : 0;
    if (count > (limit - d) / 10) return false;
    count = count * 10 + d;
  }
  if (wholeLength >= 0 && wholeLength < static_cast<long long>(digits.size())) {
    // Half to even: above a half rounds up, a half exactly goes to the even count.
    std::string_view rest = std::string_view(digits).substr(static_cast<size_t>(wholeLength));
    bool above = rest[0] > '5' || (rest[0] == '5' && rest.find_first_not_of('0', 1) != std::string_view::npos);
    bool half = rest[0] == '5' && !above;
    if (above || (half && count % 2 == 1)) {
      if (count == limit) return false;
      ++count;
    }
  }
  tenThousandths = negative ? -static_cast<long long>(count) : static_cast<long long>(count);
  return true;
}

bool IsNewerNumber(long long availableTenThousandths, double installed) {
  // Both as doubles, as a fixed-point value meets a plain number. The available one is the double
  // its decimal writing reads as, the same as the installed text would: dividing the count would
  // round twice past 2^53 ten-thousandths, and a version could then seem newer than itself.
  unsigned long long magnitude = availableTenThousandths < 0
                                     ? 0ULL - static_cast<unsigned long long>(availableTenThousandths)
                                     : static_cast<unsigned long long>(availableTenThousandths);
  std::string fraction = std::to_string(magnitude % 10000);
  std::string text = (availableTenThousandths < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." +
                     std::string(4 - fraction.size(), '0') + fraction;
  double available = 0;
  ParseNumber(text, available);
  return available > installed;
}

std::optional<short> TotalSizeKB(const std::vector<std::string>& sizes) {
  double total = 0;
  for (const std::string& text : sizes) {
    double size;
    if (!ParseNumber(text, size) || size < 0) return std::nullopt;
    total += std::floor(size);
    if (total > MaxTotalSizeKB) return std::nullopt;
  }
  return static_cast<short>(total);
}

bool IsServerFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
          c == '-'))
      return false;
  return true;
}

bool ParseWholeNumber(std::string_view text, long long& value) {
  if (text.empty() || text.size() > 18) return false;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  value = v;
  return true;
}

}  // namespace core
