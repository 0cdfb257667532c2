#include "declarations.h"

#include <windows.h>

#include <cmath>

#include "settings.h"
#include "system.h"

namespace declarations {

std::string ReadVersionKey(const std::string& file, const char* key) {
  return winapp::ReadIniValue(file, VersionSection, key);
}

bool IsNewerText(std::string_view available, std::string_view installed) {
  // char_traits<char> compares as unsigned char: the character codes, as bytes.
  return available.compare(installed) > 0;
}

bool ParseVersionNumber(std::string_view text, double& value) { return winapp::ParseNumber(text, value); }

bool ParseFixedPoint4(std::string_view text, long long& tenThousandths) {
  double value;
  if (!winapp::ParseNumber(text, value)) return false;
  double scaled = std::nearbyint(value * 10000.0);
  // The range of a 64-bit count of ten-thousandths, with room to spare for the conversion.
  if (!(std::fabs(scaled) < 9.2e18)) return false;
  tenThousandths = static_cast<long long>(scaled);
  return true;
}

bool IsNewerNumber(long long availableTenThousandths, double installed) {
  // Both as doubles, as a fixed-point value meets a plain number: 11400 ten-thousandths is then
  // exactly the double that "1.14" reads as.
  return static_cast<double>(availableTenThousandths) / 10000.0 > installed;
}

std::optional<short> TotalSizeKB(const std::vector<std::string>& sizes) {
  double total = 0;
  for (const std::string& text : sizes) {
    double size;
    if (!winapp::ParseNumber(text, size) || size < 0) return std::nullopt;
    total += std::floor(size);
    if (total > MaxTotalSizeKB) return std::nullopt;
  }
  return static_cast<short>(total);
}

std::string SizePromptText(short total) {
  return "The total size you are about to download is " + std::to_string(total) +
         " KB.\r\nDo you wish to continue?";
}

bool IsServerFileName(std::string_view name) {
  if (name.empty() || name.front() == '/') return false;
  if (name.find_first_of("\\:?#") != std::string_view::npos) return false;
  for (unsigned char c : name)
    if (c <= ' ' || c == 0x7F) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view part = name.substr(start, end - start);
    if (part == ".." || part == ".") return false;
    start = end + 1;
  }
  return true;
}

}  // namespace declarations
