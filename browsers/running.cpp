#include "running.h"

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>

#include "disk.h"
#include "raii.h"

namespace browsers {

namespace {

// PROCESS_QUERY_LIMITED_INFORMATION, which the headers give from Windows Vista on.
constexpr DWORD QueryLimited = 0x1000;

// The folders a browser's programs may lie in, in lower case and ended by a backslash.
std::vector<std::wstring> InstallFolders(const CatalogEntry& entry) {
  std::vector<std::wstring> bases;
  for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_LOCAL_APPDATA}) {
    std::wstring base = UserFolder(csidl);
    if (base.empty()) continue;
    bases.push_back(base);
    if (csidl == CSIDL_LOCAL_APPDATA) bases.push_back(base + L"\\Programs");
  }
  std::vector<std::wstring> folders;
  for (const std::wstring& base : bases)
    for (const wchar_t* install : entry.installs)
      if (install) folders.push_back(Lower(base + L"\\" + install + L"\\"));
  return folders;
}

bool IsImageOf(const CatalogEntry& entry, const wchar_t* image) {
  for (const wchar_t* name : entry.images)
    if (name && !_wcsicmp(name, image)) return true;
  return false;
}

struct Windows {
  const std::vector<unsigned long>* processes;
  std::vector<HWND> shown;
};

// The windows a user can see and close: top-level, shown, owned by no other window.
BOOL CALLBACK CollectShown(HWND window, LPARAM context) {
  auto* w = reinterpret_cast<Windows*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (std::find(w->processes->begin(), w->processes->end(), process) != w->processes->end() &&
      IsWindowVisible(window) && !GetWindow(window, GW_OWNER))
    w->shown.push_back(window);
  return TRUE;
}

std::vector<HWND> ShownWindows(const std::vector<unsigned long>& processes) {
  Windows w{&processes, {}};
  if (!processes.empty()) EnumWindows(CollectShown, reinterpret_cast<LPARAM>(&w));
  return w.shown;
}

// The full path of a process's program. The call came with Windows Vista: where it is missing, no
// process is known as a browser's, and the run skips an open browser as it always has.
bool ImageOf(HANDLE process, wchar_t* image, DWORD* length) {
  using Query = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
  static const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW")));
  return query && query(process, 0, image, length);
}

// Keeps the caller's windows painted and its input answered while it waits.
void DispatchWaiting(DWORD milliseconds) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds, QS_ALLINPUT);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to take: the caller's loop ends on it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

std::vector<unsigned long> ProcessesOf(const CatalogEntry& entry) {
  std::vector<unsigned long> found;
  winapp::File snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  DWORD session = 0, ownSession = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
  std::vector<unsigned char> mine, theirs;
  PSID me = UserSidOf(GetCurrentProcess(), mine);
  if (!me) return found;
  std::vector<std::wstring> folders;
  PROCESSENTRY32W p;
  p.dwSize = sizeof p;
  for (BOOL more = Process32FirstW(snapshot.get(), &p); more; more = Process32NextW(snapshot.get(), &p)) {
    if (!IsImageOf(entry, p.szExeFile)) continue;
    if (!ProcessIdToSessionId(p.th32ProcessID, &session) || session != ownSession) continue;
    winapp::Handle process(OpenProcess(QueryLimited, FALSE, p.th32ProcessID));
    if (!process) continue;  // another user's, or gone
    PSID user = UserSidOf(process.get(), theirs);
    if (!user || !EqualSid(user, me)) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD length = static_cast<DWORD>(std::size(image));
    if (!ImageOf(process.get(), image, &length)) continue;
    if (folders.empty()) folders = InstallFolders(entry);
    std::wstring path = Lower(std::wstring(image, length));
    for (const std::wstring& folder : folders)
      if (path.compare(0, folder.size(), folder) == 0) {
        found.push_back(p.th32ProcessID);
        break;
      }
  }
  return found;
}

BrowserOpenState OpenStateOf(const CatalogEntry& entry) {
  std::vector<unsigned long> processes = ProcessesOf(entry);
  if (processes.empty()) return BrowserClosed;
  return ShownWindows(processes).empty() ? BrowserInBackground : BrowserInWindows;
}

void CloseBrowser(const CatalogEntry& entry) {
  std::vector<unsigned long> processes = ProcessesOf(entry);
  std::vector<HWND> shown = ShownWindows(processes);
  if (!shown.empty()) {
    for (HWND window : shown) PostMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  for (unsigned long id : processes) {
    winapp::Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (process) TerminateProcess(process.get(), 1);
  }
}

bool WaitUntilClosed(const std::vector<const CatalogEntry*>& entries, const std::vector<std::wstring>& lockFiles,
                     unsigned milliseconds) {
  DWORD start = GetTickCount();
  for (;;) {
    bool closed = true;
    for (const CatalogEntry* entry : entries) closed = closed && ProcessesOf(*entry).empty();
    for (const std::wstring& lock : lockFiles) closed = closed && !InUse(lock);
    if (closed) return true;
    if (GetTickCount() - start >= milliseconds) return false;
    DispatchWaiting(100);
  }
}

}  // namespace browsers
