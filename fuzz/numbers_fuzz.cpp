// Settings values and stored numbers: whatever a file holds, reading it as a number or a flag
// ends, and gives a finite number (the exactly rounded one) or none, a flag within 16 bits, a cut
// value within its buffer.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  double value = 0;
  bool number = core::ParseNumber(text, value);
  if (number && !std::isfinite(value)) std::abort();
  // The reader of our own must give the C library's exactly rounded value, bit for bit.
  if (number) {
    double expected = std::strtod(std::string(text).c_str(), nullptr);
    if (std::memcmp(&value, &expected, sizeof value) != 0) std::abort();
  }
  short flag = core::FlagValue(text);
  if (!number && flag != 0) std::abort();
  if (number && std::floor(value) >= -32768 && std::floor(value) <= 32767 && flag != std::floor(value))
    std::abort();

  std::wstring wide;
  for (size_t i = 0; i + 1 < size; i += 2) wide += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
  double wideValue = 0;
  if (core::ParseNumber(wide, wideValue) && !std::isfinite(wideValue)) std::abort();

  std::string cut = core::CutProfileValue(text, 50);
  if (cut.size() > 49 || cut.find('\0') != std::string::npos) std::abort();
  if (!cut.empty() && (cut.front() == ' ' || cut.back() == ' ')) std::abort();
  return 0;
}
