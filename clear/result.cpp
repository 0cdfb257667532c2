// The numbers a run and its counting show: grouped by thousands, bytes in the unit that reads best.
#include "cleaners.h"

std::string Grouped(unsigned long long n) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + n % 10));
    n /= 10;
  } while (n);
  for (size_t at = digits.size(); at > 3;) {
    at -= 3;
    digits.insert(at, ",");
  }
  return digits;
}

std::string ByteSize(unsigned long long bytes) {
  static const char* const units[] = {"KB", "MB", "GB", "TB"};
  if (bytes < 1024) return Grouped(bytes) + (bytes == 1 ? " byte" : " bytes");
  // Tenths of the unit, rounded; a value that rounds up to 1024 moves to the next unit.
  unsigned long long scale = 1024;
  size_t unit = 0;
  while (unit + 1 < std::size(units) && bytes >= scale * 1024 - scale / 20) {
    scale *= 1024;
    ++unit;
  }
  auto tenths = static_cast<unsigned long long>(static_cast<long double>(bytes) * 10 / scale + 0.5L);
  return Grouped(tenths / 10) + "." + static_cast<char>('0' + tenths % 10) + " " + units[unit];
}

std::string ResultLine(unsigned long long items, unsigned long long bytes, unsigned long long kept) {
  std::string line = "Cleared " + Grouped(items) + (items == 1 ? " item, " : " items, ") + ByteSize(bytes);
  if (kept) line += "; " + Grouped(kept) + (kept == 1 ? " cookie kept" : " cookies kept");
  return line;
}

Tally BrowserTotal(const BrowserCounts& c) {
  return {c.Pages + c.Visits + c.Cookies + c.Rows + c.Files, c.Bytes, c.CookiesKept};
}
