#include "running.h"

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <memory>

#include "disk.h"

namespace browsers {

namespace {

// PROCESS_QUERY_LIMITED_INFORMATION, which the headers give from Windows Vista on.
constexpr DWORD QueryLimited = 0x1000;

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~Handle() {
    if (h) CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

// The user a process runs as, as its token gives it (a TOKEN_USER record).
std::unique_ptr<char[]> UserOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return nullptr;
  Handle owner(token);
  DWORD size = 0;
  GetTokenInformation(token, ::TokenUser, nullptr, 0, &size);
  if (size == 0 || size > 4096) return nullptr;
  auto buffer = std::make_unique<char[]>(size);
  if (!GetTokenInformation(token, ::TokenUser, buffer.get(), size, &size)) return nullptr;
  return buffer;
}

PSID SidOf(const std::unique_ptr<char[]>& user) {
  return user ? reinterpret_cast<TOKEN_USER*>(user.get())->User.Sid : nullptr;
}

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
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.h) return found;
  DWORD session = 0, ownSession = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
  auto me = UserOf(GetCurrentProcess());
  if (!me) return found;
  std::vector<std::wstring> folders;
  PROCESSENTRY32W p;
  p.dwSize = sizeof p;
  for (BOOL more = Process32FirstW(snapshot.h, &p); more; more = Process32NextW(snapshot.h, &p)) {
    if (!IsImageOf(entry, p.szExeFile)) continue;
    if (!ProcessIdToSessionId(p.th32ProcessID, &session) || session != ownSession) continue;
    Handle process(OpenProcess(QueryLimited, FALSE, p.th32ProcessID));
    if (!process.h) continue;  // another user's, or gone
    auto user = UserOf(process.h);
    if (!user || !EqualSid(SidOf(user), SidOf(me))) continue;
    wchar_t image[MAX_PATH * 2];
    DWORD length = static_cast<DWORD>(std::size(image));
    if (!ImageOf(process.h, image, &length)) continue;
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
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    if (process.h) TerminateProcess(process.h, 1);
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
