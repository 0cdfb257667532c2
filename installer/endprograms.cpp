// endprograms.exe FOLDER [NAME...]: ends every program that runs from FOLDER (only those with
// one of the file NAMEs, when given), so that the setup program and the uninstaller never replace
// or delete a file that is in use. The setup program names the programs of its set: a folder
// chosen for the installation may hold other programs too, which are none of its business. The tray icon is the one
// that normally runs; a control panel or a clearing run may too.
//
// Each program is first asked to close (the tray through its menu's "Exit", any other through
// WM_CLOSE to its top-level windows, as when the user closes it), then, when it has not ended
// within a few seconds, ended outright. A program is known by the full path of its image, so the
// same names in another folder (another installation, another product) are left alone.
//
// Exit code: 0 when nothing of the folder runs any more, 1 when something could not be ended,
// 2 on a bad command line.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "controlid.h"
#include "raii.h"

namespace {

struct Running {
  DWORD pid;
  winapp::Handle process;
};

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH * 2];
  DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 2) return path;
  // Short (8.3) and long spellings of the same folder are the same folder.
  wchar_t longer[MAX_PATH * 2];
  DWORD m = GetLongPathNameW(full, longer, MAX_PATH * 2);
  return m && m < MAX_PATH * 2 ? std::wstring(longer, m) : std::wstring(full, n);
}

std::wstring FolderOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring WithoutTrailingSlash(std::wstring path) {
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  return path;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool Wanted(const std::wstring& image, const std::vector<std::wstring>& names) {
  if (names.empty()) return true;
  const std::wstring name = FileNameOf(image);
  for (const std::wstring& n : names)
    if (lstrcmpiW(n.c_str(), name.c_str()) == 0) return true;
  return false;
}

std::vector<Running> ProgramsIn(const std::wstring& folder, const std::vector<std::wstring>& names) {
  std::vector<Running> found;
  winapp::File snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self || entry.th32ProcessID == 0) continue;
    // The calls that name another process's image in the Win32 way all need these rights from
    // Windows XP on; the ones that need fewer came with Vista.
    winapp::Handle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_TERMINATE | SYNCHRONIZE,
                                       FALSE, entry.th32ProcessID));
    if (!process) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD size = GetModuleFileNameExW(process.get(), nullptr, image, MAX_PATH * 2);
    std::wstring path(image, size);
    if (size && SameFolder(FullPath(FolderOf(path)), folder) && Wanted(path, names))
      found.push_back({entry.th32ProcessID, std::move(process)});
  }
  return found;
}

// A window's command ID of a menu item or control: the form layer numbers them by name.
WPARAM CommandOf(const char* name) { return static_cast<WPARAM>(core::ControlId(name)); }

struct Asking {
  DWORD pid;
  HWND tray;                  // the tray's own window, when the program is the tray
  std::vector<HWND> visible;  // the windows a user could close
};

BOOL CALLBACK CollectWindows(HWND window, LPARAM lp) {
  auto* asking = reinterpret_cast<Asking*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != asking->pid) return TRUE;
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (wcscmp(cls, L"FrmSysTray") == 0)
    asking->tray = window;
  else if (IsWindowVisible(window))
    asking->visible.push_back(window);
  return TRUE;
}

// The tray ends through its own "Exit" alone, which takes its icon out of the notification area
// first; any other program is asked as its title bar would ask it. Hidden windows (the program's
// own helpers, the system's input windows) are left alone: closing one could stop the program
// from ending cleanly.
void AskToEnd(DWORD pid) {
  Asking asking{pid, nullptr, {}};
  EnumWindows(CollectWindows, reinterpret_cast<LPARAM>(&asking));
  if (asking.tray) {
    PostMessageW(asking.tray, WM_COMMAND, CommandOf("mExit"), 0);
    return;
  }
  for (HWND window : asking.visible) PostMessageW(window, WM_CLOSE, 0, 0);
}

bool EndProgramsIn(const std::wstring& folderPath, const std::vector<std::wstring>& names, DWORD graceMs) {
  const std::wstring folder = WithoutTrailingSlash(FullPath(folderPath));
  std::vector<Running> running = ProgramsIn(folder, names);
  for (const Running& r : running) AskToEnd(r.pid);

  bool allEnded = true;
  const DWORD start = GetTickCount();
  for (const Running& r : running) {
    DWORD spent = GetTickCount() - start;
    DWORD wait = spent < graceMs ? graceMs - spent : 0;
    if (WaitForSingleObject(r.process.get(), wait) != WAIT_OBJECT_0) {
      TerminateProcess(r.process.get(), 1);
      if (WaitForSingleObject(r.process.get(), 5000) != WAIT_OBJECT_0) allEnded = false;
    }
  }
  // A program of the folder may have started another one meanwhile (the launcher starts the
  // tray and a clearing run): whatever runs now is ended outright.
  for (const Running& r : ProgramsIn(folder, names)) {
    TerminateProcess(r.process.get(), 1);
    if (WaitForSingleObject(r.process.get(), 5000) != WAIT_OBJECT_0) allEnded = false;
  }
  return allEnded;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  // A quoted folder with a trailing backslash ("C:\Folder\") reaches us with a quote at its end:
  // the backslash escapes it. No path holds a quote.
  std::wstring folder = argv[1];
  while (!folder.empty() && folder.back() == L'"') folder.pop_back();
  if (folder.empty()) return 2;
  return EndProgramsIn(folder, std::vector<std::wstring>(argv + 2, argv + argc), 4000) ? 0 : 1;
}
