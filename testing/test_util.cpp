#include "test_util.h"

#include "controlid.h"

#include <shlobj.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace testutil {

TempFolder::TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static unsigned counter = 0;
  for (;;) {
    path_ = std::string(base) + "qrtest_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
  // Long names everywhere: messages built from this path are compared with those the programs
  // build from their own folder.
  char full[MAX_PATH];
  if (GetLongPathNameA(path_.c_str(), full, MAX_PATH)) path_ = full;
  if (ForeignFolders()) {
    outer_ = path_;
    path_ += std::string("\\") + ForeignFolderName;
    CreateDirectoryA(path_.c_str(), nullptr);
  }
}

TempFolder::~TempFolder() { RemoveTree(outer_.empty() ? path_ : outer_); }

bool ForeignFolders() {
  static const bool on = GetEnvironmentVariableA("QR_FOREIGN_FOLDER", nullptr, 0) > 0;
  // Asked for by a test program that cannot spell the name: it would test nothing of it.
  if (on && GetACP() != CP_UTF8) {
    fprintf(stderr, "QR_FOREIGN_FOLDER is set, but this test program does not run in the UTF-8 code page\n");
    ExitProcess(3);
  }
  return on;
}

void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = d.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = path + "\\" + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
      else DeleteFileA(full.c_str());
    } while (FindNextFileA(h, &d));
    FindClose(h);
  }
  RemoveDirectoryA(path.c_str());
}

void CopyTree(const std::string& from, const std::string& to) {
  SHCreateDirectoryExA(nullptr, to.c_str(), nullptr);
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((from + "\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = f.cFileName;
    if (name == "." || name == "..") continue;
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      CopyTree(from + "\\" + name, to + "\\" + name);
    else
      CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
  } while (FindNextFileA(h, &f));
  FindClose(h);
}

std::string ReadWholeFile(const std::string& path, bool* ok) {
  std::string out;
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (ok) *ok = h != INVALID_HANDLE_VALUE;
  if (h == INVALID_HANDLE_VALUE) return out;
  char buf[65536];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  BOOL ok = content.empty() || WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &put, nullptr);
  CloseHandle(h);
  return ok && put == content.size();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CopyInto(const std::string& from, const std::string& toFolder, const std::string& name) {
  std::string target = name;
  if (target.empty()) {
    auto slash = from.find_last_of("\\/");
    target = slash == std::string::npos ? from : from.substr(slash + 1);
  }
  return CopyFileA(from.c_str(), (toFolder + "\\" + target).c_str(), FALSE) != FALSE;
}

namespace {

double FileTimeSeconds(const FILETIME& t) {
  return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

// The wineserver's user and system time from its line in /proc, which Wine shows as drive Z:.
double ServerSeconds() {
  const char* pid = std::getenv("BENCH_SERVER_PID");
  if (!pid || !*pid) return 0;
  std::string path = std::string("Z:\\proc\\") + pid + "\\stat";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  char line[1024] = {};
  size_t n = std::fread(line, 1, sizeof line - 1, f);
  std::fclose(f);
  line[n] = 0;
  // Fields after the command name in parentheses: state is the 3rd, utime and stime the 14th and 15th.
  const char* p = std::strrchr(line, ')');
  if (!p) return 0;
  unsigned long long utime = 0, stime = 0;
  if (std::sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2) return 0;
  return static_cast<double>(utime + stime) / 100.0;  // clock ticks of the kernel, 100 a second
}

}  // namespace

double ProcessorSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  return FileTimeSeconds(kernel) + FileTimeSeconds(user) + ServerSeconds();
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
  auto end = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(std::chrono::milliseconds span) {
  auto end = std::chrono::steady_clock::now() + span;
  PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, span + std::chrono::seconds(1));
}

std::string FolderFromEnvironment(const char* variable) {
  const char* unix = std::getenv(variable);
  if (!unix || !*unix) return {};
  std::string path = std::string("Z:") + unix;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string ProgramFolder() { return FolderFromEnvironment("QR_PROGRAM_DIR"); }
std::string FreshFolder() { return FolderFromEnvironment("QR_FRESH_DIR"); }

std::string TextOf(HWND w) {
  char buf[4096] = {};
  // WM_GETTEXT reads another process's window as well as our own.
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

namespace {
struct WindowSearch {
  DWORD pid;
  const char* cls;
  bool visibleOnly;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[128] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (pid == s->pid && lstrcmpA(cls, s->cls) == 0 && (!s->visibleOnly || IsWindowVisible(w))) s->found.push_back(w);
  return TRUE;
}
// Callbacks are named functions: a lambda converts to the 64-bit calling convention only.
BOOL CALLBACK CountChild(HWND, LPARAM n) {
  ++*reinterpret_cast<int*>(n);
  return TRUE;
}
BOOL CALLBACK CountWindow(HWND w, LPARAM lp) {
  ++*reinterpret_cast<int*>(lp);
  EnumChildWindows(w, CountChild, lp);
  return TRUE;
}
// An entry of the GDI handle table that the process environment block points to (the same
// layout on Windows and Wine).
struct GdiHandleEntry {
  uint64_t object;
  USHORT processId, count, unique;
  UCHAR type, flags;
  uint64_t user;
};
}  // namespace

std::vector<HWND> TopWindows(const char* cls, DWORD pid, bool visibleOnly) {
  WindowSearch search{pid ? pid : GetCurrentProcessId(), cls, visibleOnly, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ChildNamed(HWND form, const char* name) {
  return GetDlgItem(form, core::ControlId(name));
}

namespace {
struct Outside {
  HWND form;
  RECT client;
  std::vector<std::string> found;
};
BOOL CALLBACK CheckInside(HWND w, LPARAM lp) {
  auto* o = reinterpret_cast<Outside*>(lp);
  // The control's own mark, so that a window not shown yet is checked as it will be shown.
  if (GetParent(w) != o->form || !(GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE)) return TRUE;
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(HWND_DESKTOP, o->form, reinterpret_cast<POINT*>(&r), 2);
  if (r.left < 0 || r.top < 0 || r.right > o->client.right || r.bottom > o->client.bottom) {
    std::string text = TextOf(w);
    o->found.push_back(text.empty() ? "#" + std::to_string(GetDlgCtrlID(w)) : text);
  }
  return TRUE;
}
}  // namespace

std::vector<std::string> ControlsOutside(HWND form) {
  Outside o{form, {}, {}};
  GetClientRect(form, &o.client);
  EnumChildWindows(form, CheckInside, reinterpret_cast<LPARAM>(&o));
  return o.found;
}

int GdiObjectCount() {
  if (DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(n);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  auto* peb = reinterpret_cast<BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
  auto* table = *reinterpret_cast<GdiHandleEntry**>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
  if (!table) return -1;
  int n = 0;
  for (int i = 0; i < 0x10000; ++i)
    if (table[i].object && table[i].type) ++n;
  return n;
}

int UserObjectCount() {
  if (DWORD n = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<int>(n);
  int n = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
  return n;
}

}  // namespace testutil
