// What the hostile-input cases share: damaged files made at test time, a file held locked or
// read-only while a program runs, and the checks every case makes of a program that met them
// (it ended or waits for the user, it did not crash, the files it found keep their bytes).
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "programs.h"
#include "test_util.h"

namespace hostile {

using e2e::Token;

// Bytes of no text at all: every value 0 to 255, in an order that repeats only after `size`.
inline std::string Binary(size_t size, unsigned seed = 7) {
  std::string out(size, '\0');
  unsigned x = seed;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return out;
}

// Plain ASCII text as UTF-16 (little-endian) with its byte-order mark, as Notepad saves "Unicode".
inline std::string Utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

// A file held open with no sharing, as another program that locks it does, for the guard's life.
class Lock {
 public:
  explicit Lock(const std::string& path)
      : h_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~Lock() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  // True when another opener is really refused.
  bool Held(const std::string& path) const {
    if (h_ == INVALID_HANDLE_VALUE) return false;
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (other == INVALID_HANDLE_VALUE) return true;
    CloseHandle(other);
    return false;
  }

 private:
  HANDLE h_;
};

inline bool Writable(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

// The host's path of a file, where the platform is Wine; empty elsewhere.
inline std::string UnixPath(const std::string& path) {
  using Fn = char*(CDECL*)(const WCHAR*);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!fn) return {};
  std::wstring wide(path.begin(), path.end());
  char* unix = fn(wide.c_str());
  if (!unix) return {};
  std::string out = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

// Runs a shell command on the host (Wine starts host programs through start.exe /unix) and
// waits for it to finish.
inline bool RunOnHost(const std::string& command) {
  static unsigned counter = 0;
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string script = std::string(temp) + "hostile_" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(++counter) + ".sh";
  std::string done = script + ".done";
  std::string unixScript = UnixPath(script), unixDone = UnixPath(done);
  if (unixScript.empty()) return false;
  if (!testutil::WriteWholeFile(script, command + "\ntouch '" + unixDone + "'\n")) return false;
  std::string line = "start.exe /unix /bin/sh " + unixScript;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  bool ran = false;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ran = testutil::PumpUntil([&] { return testutil::Exists(done); }, std::chrono::seconds(10));
  }
  DeleteFileA(script.c_str());
  DeleteFileA(done.c_str());
  return ran;
}

// A file made read-only for the guard's life: the read-only attribute, and where that does not
// stop a writer (Wine running as root ignores it) a read-only bind mount of the file over itself.
class ReadOnly {
 public:
  explicit ReadOnly(const std::string& path) : path_(path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    if (!Writable(path)) return;
    std::string unix = UnixPath(path);
    if (unix.empty()) return;
    mounted_ = RunOnHost("mount --bind '" + unix + "' '" + unix + "' && mount -o remount,ro,bind '" + unix + "'");
  }
  ~ReadOnly() {
    if (mounted_) RunOnHost("umount '" + UnixPath(path_) + "'");
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  ReadOnly(const ReadOnly&) = delete;
  ReadOnly& operator=(const ReadOnly&) = delete;
  // True when a writer is really refused.
  bool Held() const { return !Writable(path_); }

 private:
  std::string path_;
  bool mounted_ = false;
};

// Locks and read-only marks held on files of a folder while a program runs, each checked to have
// taken effect; let go when the guard goes.
struct Hold {
  std::vector<std::unique_ptr<Lock>> locks;
  std::vector<std::unique_ptr<ReadOnly>> readOnly;
  // False, with the reason, when one did not take effect.
  bool Apply(const std::string& dir, const std::vector<std::string>& lock,
             const std::vector<std::string>& readOnlyNames, std::string& why) {
    for (const auto& name : lock) {
      locks.push_back(std::make_unique<Lock>(dir + "\\" + name));
      if (!locks.back()->Held(dir + "\\" + name)) {
        why = name + " could not be locked";
        return false;
      }
    }
    for (const auto& name : readOnlyNames) {
      readOnly.push_back(std::make_unique<ReadOnly>(dir + "\\" + name));
      if (!readOnly.back()->Held()) {
        why = name + " could not be made read-only";
        return false;
      }
    }
    return true;
  }
};

// Exit codes of a program that did not end by its own choice: an access violation, a broken
// stack guard, a breakpoint, abort().
inline bool CrashCode(DWORD code) {
  return code == 0xC0000005 || code == 0xC0000409 || code == 0x80000003 || code == 3 || code == 0xC00000FD ||
         code == 0xC0000374 || code == 0xC0000094;
}

// Whether the platform's crash handler is running (it shows its crash dialog).
inline bool CrashHandlerRunning() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  bool found = false;
  for (BOOL more = Process32First(snap, &e); more; more = Process32Next(snap, &e))
    if (lstrcmpiA(e.szExeFile, "winedbg.exe") == 0) found = true;
  CloseHandle(snap);
  return found;
}

// The files of a folder (not its subfolders) with their bytes.
using Snapshot = std::map<std::string, std::string>;
inline Snapshot Take(const std::string& folder) {
  Snapshot s;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return s;
  do {
    if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    s[d.cFileName] = testutil::ReadWholeFile(folder + "\\" + d.cFileName);
  } while (FindNextFileA(h, &d));
  FindClose(h);
  return s;
}

// Names of the files of `before` whose bytes differ now, apart from those allowed to change.
inline std::vector<std::string> Changed(const std::string& folder, const Snapshot& before,
                                        const std::map<std::string, std::string>& allowed = {}) {
  std::vector<std::string> changed;
  Snapshot now = Take(folder);
  for (const auto& [name, bytes] : before) {
    if (allowed.count(name)) continue;
    auto it = now.find(name);
    if (it == now.end() || it->second != bytes) changed.push_back(name);
  }
  for (const auto& [name, bytes] : allowed) {
    auto it = now.find(name);
    if (it == now.end() || it->second != bytes) changed.push_back(name + " (not as expected)");
  }
  return changed;
}

inline bool IsFolder(const std::string& path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace hostile
