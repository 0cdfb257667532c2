#include "updatefiles.h"

#include <cstdint>

namespace core {

namespace {

unsigned Read16(std::string_view b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}
std::uint32_t Read32(std::string_view b, size_t at) {
  return Read16(b, at) | static_cast<std::uint32_t>(Read16(b, at + 2)) << 16;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

constexpr unsigned ExecutableImage = 0x0002, LibraryImage = 0x2000;
constexpr unsigned Optional32 = 0x10B, Optional64 = 0x20B;

// Where the file header of a PE image starts (after "PE\0\0"); 0 when `b` has none.
size_t FileHeaderOf(std::string_view b) {
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') return 0;
  size_t pe = Read32(b, 0x3C);
  if (pe < 0x40 || pe > b.size() || b.size() - pe < 24) return 0;
  if (b.substr(pe, 4) != std::string_view("PE\0\0", 4)) return 0;
  return pe + 4;
}

}  // namespace

long long ContentLengthOf(std::string_view headers) {
  constexpr std::string_view name = "content-length:";
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find('\n', start);
    std::string_view line = headers.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (line.size() > name.size() && SameName(line.substr(0, name.size()), name)) {
      long long value = 0;
      bool digits = false;
      for (char c : line.substr(name.size())) {
        if (c == ' ' || c == '\t') {
          if (digits) break;
          continue;
        }
        if (c < '0' || c > '9') break;
        digits = true;
        if (value > (1LL << 50)) return -1;
        value = value * 10 + (c - '0');
      }
      return digits ? value : -1;
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return -1;
}

unsigned MachineOf(std::string_view b) {
  size_t file = FileHeaderOf(b);
  return file ? Read16(b, file) : 0;
}

bool IsWindowsImage(std::string_view b, unsigned machine, bool library) {
  size_t file = FileHeaderOf(b);
  if (!file || Read16(b, file) != machine) return false;
  unsigned sections = Read16(b, file + 2);
  unsigned optionalSize = Read16(b, file + 16);
  unsigned characteristics = Read16(b, file + 18);
  if (!(characteristics & ExecutableImage) || ((characteristics & LibraryImage) != 0) != library) return false;
  size_t optional = file + 20;
  if (optionalSize < 2 || b.size() < optional + optionalSize) return false;
  unsigned wanted = machine == MachineAmd64 ? Optional64 : Optional32;
  if (Read16(b, optional) != wanted || sections == 0) return false;
  size_t table = optional + optionalSize;
  if (b.size() < table + static_cast<size_t>(sections) * 40) return false;
  // A file cut short loses the data of its last sections.
  for (unsigned i = 0; i < sections; ++i) {
    size_t s = table + static_cast<size_t>(i) * 40;
    std::uint64_t rawSize = Read32(b, s + 16), rawAt = Read32(b, s + 20);
    if (rawSize && rawAt + rawSize > b.size()) return false;
  }
  return true;
}

std::optional<std::string> ProfileValue(std::string_view text, std::string_view section, std::string_view key) {
  bool inSection = false, seenSection = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trimmed(line);
    if (!line.empty() && line.front() == '[') {
      // Only the first section of the name is read.
      if (inSection) return std::nullopt;
      size_t close = line.find(']');
      std::string_view name = Trimmed(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      inSection = !seenSection && SameName(name, section);
      seenSection = seenSection || inSection;
    } else if (inSection) {
      size_t equals = line.find('=');
      if (equals != std::string_view::npos && SameName(Trimmed(line.substr(0, equals)), key))
        return std::string(Trimmed(line.substr(equals + 1)));
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return std::nullopt;
}

std::string UpdateFolderFor(const std::string& base, unsigned machine) {
  if (machine == MachineAmd64) return base;
  if (machine == MachineI386) return base + "x86/";
  return {};
}

}  // namespace core
