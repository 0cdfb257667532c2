// The update checker's version rules on whatever a version list holds: the text comparison is a
// strict total order, a kept fixed-point value is the number the text says and reads back from
// its own writing, a download total lies within 0..32767 KB or is refused, and an accepted server
// file name cannot leave the update folder.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "values.h"
#include "versions.h"

namespace {

// The lines of the input (LF or CR LF), as a version list's values come.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

// A count of ten-thousandths as a version list would write it: "-12.0345".
std::string Written(long long count) {
  unsigned long long magnitude = count < 0 ? 0ULL - static_cast<unsigned long long>(count) : count;
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (count < 0 ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

void CheckOrder(const std::string& a, const std::string& b, const std::string& c) {
  if (core::IsNewerText(a, a)) std::abort();
  bool ab = core::IsNewerText(a, b), ba = core::IsNewerText(b, a);
  if (ab && ba) std::abort();
  if (a != b && !ab && !ba) std::abort();
  if (ab && core::IsNewerText(b, c) && !core::IsNewerText(a, c)) std::abort();
}

void CheckFixedPoint(const std::string& text) {
  long long count = 0;
  if (!core::ParseFixedPoint4(text, count)) return;
  double value = 0;
  if (!core::ParseNumber(text, value)) std::abort();  // a kept value is a number first
  // Within half a ten-thousandth of the number read, give or take the double's own precision.
  double kept = static_cast<double>(count) / 10000.0;
  if (std::fabs(kept - value) > 0.5e-4 + 1e-15 * std::fabs(value) + 1e-300) std::abort();
  long long again = 0;
  if (!core::ParseFixedPoint4(Written(count), again) || again != count) std::abort();
  double installed = 0;
  if (core::ParseVersionNumber(Written(count), installed) && core::IsNewerNumber(count, installed)) std::abort();
}

void CheckSizes(const std::vector<std::string>& sizes) {
  std::optional<short> total = core::TotalSizeKB(sizes);
  if (total && (*total < 0 || *total > core::MaxTotalSizeKB)) std::abort();
  for (const std::string& s : sizes) {
    double size = 0;
    if (total && (!core::ParseNumber(s, size) || size < 0)) std::abort();
  }
}

void CheckServerName(const std::string& name) {
  if (!core::IsServerFileName(name)) return;
  if (name.empty() || name.front() == '/') std::abort();
  if (name.find_first_of("\\:%?#") != std::string::npos) std::abort();
  std::string padded = "/" + name + "/";
  if (padded.find("/../") != std::string::npos || padded.find("/./") != std::string::npos) std::abort();
  for (unsigned char c : name)
    if (c <= ' ' || c == 0x7F || c == '/' || c >= 0x80) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    CheckOrder(lines[i], lines[(i + 1) % lines.size()], lines[(i + 2) % lines.size()]);
    CheckFixedPoint(lines[i]);
    // A value as the list's key=value line gives it.
    size_t equals = lines[i].find('=');
    if (equals != std::string::npos) {
      CheckFixedPoint(lines[i].substr(equals + 1));
      CheckServerName(lines[i].substr(equals + 1));
    }
    CheckServerName(lines[i]);
  }
  CheckFixedPoint(std::string(text));
  CheckSizes(lines);
  std::vector<std::string> values;
  for (const std::string& line : lines)
    if (size_t equals = line.find('='); equals != std::string::npos) values.push_back(line.substr(equals + 1));
  CheckSizes(values);
  return 0;
}
