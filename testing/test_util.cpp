#include "test_util.h"

#include <cstdlib>
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
}

TempFolder::~TempFolder() { RemoveTree(path_); }

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

namespace {
// A Unix folder the build passes in an environment variable, as a Windows path.
std::string FolderFromEnvironment(const char* variable) {
  const char* unix = std::getenv(variable);
  if (!unix || !*unix) return {};
  std::string path = std::string("Z:") + unix;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}
}  // namespace

std::string ProgramFolder() { return FolderFromEnvironment("QR_PROGRAM_DIR"); }
std::string FreshFolder() { return FolderFromEnvironment("QR_FRESH_DIR"); }

std::string TextOf(HWND w) {
  char buf[4096] = {};
  // WM_GETTEXT reads another process's window as well as our own.
  SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf;
}

}  // namespace testutil
