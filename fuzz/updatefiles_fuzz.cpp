// What the update checker reads from a server's bytes, on whatever arrives: a Content-Length is
// absent or a count that fits, an image is a program or a library and of the machine its header
// names, never both, and a value read from a version list is one trimmed line.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updatefiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  long long length = core::ContentLengthOf(bytes);
  if (length < -1 || length > (1LL << 50) * 10 + 9) std::abort();

  for (unsigned machine : {core::MachineAmd64, core::MachineI386}) {
    bool program = core::IsWindowsImage(bytes, machine, false);
    bool library = core::IsWindowsImage(bytes, machine, true);
    if (program && library) std::abort();
    if ((program || library) && core::MachineOf(bytes) != machine) std::abort();
  }

  for (const char* key : {"Serial", "PanelVer", "x"}) {
    std::optional<std::string> value = core::ProfileValue(bytes, "WIN", key);
    if (!value) continue;
    if (value->find('\n') != std::string::npos) std::abort();
    if (!value->empty() && (value->front() == ' ' || value->back() == ' ' || value->back() == '\t')) std::abort();
  }
  if (core::UpdateFolderFor("https://a/b/", core::MachineOf(bytes)).empty() != (core::MachineOf(bytes) != core::MachineAmd64 && core::MachineOf(bytes) != core::MachineI386)) std::abort();
  return 0;
}
