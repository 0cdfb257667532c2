// The recording stand-in: copied into a program folder under the name of a program that another
// one starts, it appends one line to started.txt beside itself: its own file name, its whole
// argument text and its working directory, separated by "|". Then it ends.
#include <windows.h>

#include <string>

#include "system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char exe[MAX_PATH] = {}, cwd[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string self = exe;
  std::string name = self.substr(self.find_last_of('\\') + 1);
  std::string line = name + "|" + winapp::CommandText() + "|" + cwd + "\r\n";
  std::string log = winapp::ProgramFolder() + "\\started.txt";
  HANDLE f = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(f);
  return 0;
}
