#include "newerly_files.h"

#include <windows.h>

#include "signature.h"
#include "test_util.h"

namespace newerlytest {

std::string VersionFile(const std::vector<std::pair<const char*, const char*>>& keys) {
  std::string text = "[WIN]\r\n";
  for (const auto& [key, value] : keys)
    if (value) text += std::string(key) + "=" + value + "\r\n";
  return text;
}

std::string Library(const char* quiet, const char* panel, const char* launch, const char* clear) {
  return VersionFile({{"QuietVer", quiet}, {"PanelVer", panel}, {"LaunchVer", launch}, {"ClearVer", clear}});
}

std::string Available(const Offer& o) {
  std::string described[6];
  const std::string* programs[3] = {&o.panelProgram, &o.launchProgram, &o.clearProgram};
  for (int i = 0; i < 3; ++i) {
    if (programs[i]->empty()) continue;
    described[2 * i] = std::to_string(programs[i]->size());
    described[2 * i + 1] = newerly::HexOf(*newerly::Sha256(*programs[i]));
  }
  auto key = [&](int i) { return described[i].empty() ? nullptr : described[i].c_str(); };
  return VersionFile({{"Serial", o.serial},
                      {"QuietVer", o.quiet},
                      {"PanelVer", o.panel},
                      {"LaunchVer", o.launch},
                      {"ClearVer", o.clear},
                      {"PanelSize", o.panelSize},
                      {"LaunchSize", o.launchSize},
                      {"ClearSize", o.clearSize},
                      {"PanelFile", o.panelFile},
                      {"LaunchFile", o.launchFile},
                      {"ClearFile", o.clearFile},
                      {"PanelBytes", key(0)},
                      {"PanelHash", key(1)},
                      {"LaunchBytes", key(2)},
                      {"LaunchHash", key(3)},
                      {"ClearBytes", key(4)},
                      {"ClearHash", key(5)}}) +
         (o.browsers ? VersionFile({{"BrowsersVer", o.browsers},
                                    {"BrowsersSize", o.browsersSize},
                                    {"BrowsersFile", o.browsersFile},
                                    {"BrowsersBytes", o.browsersModule.empty() ? nullptr : std::to_string(o.browsersModule.size()).c_str()},
                                    {"BrowsersHash", o.browsersModule.empty() ? nullptr : newerly::HexOf(*newerly::Sha256(o.browsersModule)).c_str()}})
                           .substr(7)
                     : std::string());
}

std::string TestBinFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  return s.substr(0, s.find_last_of('\\'));
}

std::string ProgramBytes(const std::string& mark) {
  static const std::string standIn = testutil::ReadWholeFile(TestBinFolder() + "\\newerly_standin.exe");
  return standIn + mark;
}

std::string ModuleBytes(const std::string& mark) {
  std::string bytes = ProgramBytes(mark);
  size_t pe = static_cast<unsigned char>(bytes[0x3C]) | static_cast<unsigned char>(bytes[0x3D]) << 8;
  bytes[pe + 23] = static_cast<char>(bytes[pe + 23] | 0x20);  // IMAGE_FILE_DLL
  return bytes;
}

std::string ProgramForMachine(const std::string& mark, unsigned short machine) {
  std::string bytes = ProgramBytes(mark);
  if (bytes.size() < 0x40) return bytes;
  size_t pe = static_cast<unsigned char>(bytes[0x3C]) | static_cast<unsigned char>(bytes[0x3D]) << 8;
  if (pe + 6 > bytes.size()) return bytes;
  bytes[pe + 4] = static_cast<char>(machine & 0xFF);
  bytes[pe + 5] = static_cast<char>(machine >> 8);
  return bytes;
}

std::string MarkOf(const std::string& bytes) {
  std::string tail = bytes.size() > 24 ? bytes.substr(bytes.size() - 24) : bytes;
  for (char& c : tail)
    if (static_cast<unsigned char>(c) < ' ' || static_cast<unsigned char>(c) > '~') c = '.';
  return "..." + tail + " (" + std::to_string(bytes.size()) + " bytes)";
}

}  // namespace newerlytest
