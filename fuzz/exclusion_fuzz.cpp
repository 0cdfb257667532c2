// The cookie exclusion list: any file reads to one line of fields, and a text typed into the
// editor that the field rules leave alone comes back from its file unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "exclusion.h"

namespace {

// Texts whose entries the field rules keep as they are: no quotes or line ends, no entry that
// begins with a blank, and a first entry that is not empty.
bool KeptWhole(std::string_view text) {
  if (text.empty() || text.front() == ',') return false;
  if (text.find_first_of("\"\r\n", 0) != std::string_view::npos) return false;
  if (text.find('\0') != std::string_view::npos) return false;
  if (text.front() == ' ' || text.find(", ") != std::string_view::npos) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view content(reinterpret_cast<const char*>(data), size);
  std::string joined = core::JoinExclusionFields(content);
  if (joined.find_first_of("\r\n") != std::string::npos || joined.find('\0') != std::string::npos)
    std::abort();
  if (joined.size() > content.size() + 1) std::abort();

  std::string file = core::ExclusionFileContent(content);
  if (KeptWhole(content) && core::JoinExclusionFields(file) != content) std::abort();
  return 0;
}
