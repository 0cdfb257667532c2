// Stands in for a program of the system in end-to-end tests. Copied into a test's program folder
// under the name of the program it replaces, it appends one line to started.txt beside itself:
// its file name, its argument text, its working directory and its creation time, separated by
// tabs, and ends.
#include <windows.h>

#include <string>

#include "system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string self(MAX_PATH, '\0');
  self.resize(GetModuleFileNameA(nullptr, self.data(), MAX_PATH));
  auto slash = self.find_last_of('\\');
  std::string folder = self.substr(0, slash), name = self.substr(slash + 1);

  char cwd[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, cwd);
  FILETIME created{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  unsigned long long when = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime;

  std::string line = name + "\t" + winapp::CommandText() + "\t" + cwd + "\t" + std::to_string(when) + "\r\n";
  // Programs started together append side by side: one write each, retried while another holds
  // the file.
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE h = CreateFileA((folder + "\\started.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      Sleep(10);
      continue;
    }
    DWORD put = 0;
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
    CloseHandle(h);
    break;
  }
  return 0;
}
