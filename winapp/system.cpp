#include "system.h"

#include <shellapi.h>

#include <cmath>
#include <cstdlib>

#include "raii.h"

namespace winapp {

std::string ProgramFolder() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return ".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  auto slash = path.find_last_of("\\/");
  path.resize(slash == std::string::npos ? 0 : slash);
  return path;
}

std::string InProgramFolder(std::string_view name) {
  std::string path = ProgramFolder();
  path += '\\';
  path += name;
  return path;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAA data;
  FindHandle found(FindFirstFileA(path.c_str(), &data));
  if (!found) return false;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0]) return true;
  } while (FindNextFileA(found.get(), &data));
  return false;
}

std::string CommandTextOf(const char* line) {
  if (!line) return {};
  const char* p = line;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  }
  // Windows ends an unquoted program name at the first blank or tab; so does the text after a
  // closing quote that runs straight on.
  while (*p && *p != ' ' && *p != '\t') ++p;
  // Only the one blank that separates the name from the arguments goes: "clear.exe   K4T9B3"
  // carries "  K4T9B3", which is not the token.
  if (*p == ' ' || *p == '\t') ++p;
  return p;
}

std::string CommandText() { return CommandTextOf(GetCommandLineA()); }

void StartProgram(HWND owner, const char* file, const char* parameters) {
  // By the program folder's own file and nothing else: given a bare name, the shell goes on
  // looking (App Paths, the system folders, PATH) when the file is missing here, and would start
  // whatever program of that name it finds there.
  std::string folder = ProgramFolder();
  std::string path = folder + '\\' + file;
  if (!FileExists(path)) return;
  std::string quoted = '"' + path + '"';
  ShellExecuteA(owner, "Open", quoted.c_str(), parameters, folder.c_str(), SW_SHOWNORMAL);
}

}  // namespace winapp
