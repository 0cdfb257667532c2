#include "clear_fixture.h"

#include <shlobj.h>

#include "system.h"

namespace cleartest {

namespace {
std::string ReadDefault(HKEY key, const char* name) {
  char buf[1024] = {};
  DWORD size = sizeof buf, type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS) return {};
  return buf;
}
void SetString(HKEY key, const char* name, const std::string& value) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
}
}  // namespace

HistoryClassOverride::HistoryClassOverride(const std::string& serverPath) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, HistoryClassKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    hadKey_ = true;
    original_ = ReadDefault(key, nullptr);
    threading_ = ReadDefault(key, "ThreadingModel");
    RegCloseKey(key);
  }
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, HistoryClassKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    SetString(key, nullptr, serverPath);
    SetString(key, "ThreadingModel", "Apartment");
    RegCloseKey(key);
  }
}

HistoryClassOverride::~HistoryClassOverride() {
  if (!hadKey_) {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, HistoryClassKey);
    return;
  }
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, HistoryClassKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    SetString(key, nullptr, original_);
    if (threading_.empty()) RegDeleteValueA(key, "ThreadingModel");
    else SetString(key, "ThreadingModel", threading_);
    RegCloseKey(key);
  }
}

std::string TestBinFolder() { return winapp::ProgramFolder(); }

void WriteSettings(const std::string& folder, const char* history, const char* tmpInt, const char* cookies,
                   const char* recent, const char* url, const char* clearDialog, const char* browsers) {
  std::string text = "[Settings]\r\nHistory=" + std::string(history) + "\r\nTmpInt=" + tmpInt +
                     "\r\nCookies=" + cookies + "\r\nRecent=" + recent + "\r\nURL=" + url +
                     "\r\nStartup=1\r\nClearDialog=" + clearDialog +
                     (browsers ? "\r\nBrowsers=" + std::string(browsers) : std::string()) + "\r\n\r\n[Launch]\r\nSplash=1\r\nTray=1\r\n";
  testutil::WriteWholeFile(folder + "\\quietrail.ini", text);
}

void SeedTypedUrls() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, TypedUrlsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  SetString(key, "url1", "http://example.com/");
  SetString(key, "url2", "http://example.org/private");
  RegCloseKey(key);
}

bool TypedUrlsPresent() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, TypedUrlsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string RecentFolder() {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_RECENT | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

void SeedRecentDocs() {
  std::string folder = RecentFolder();
  CreateDirectoryA(folder.c_str(), nullptr);
  testutil::WriteWholeFile(folder + "\\letter.doc.lnk", "shortcut");
  testutil::WriteWholeFile(folder + "\\budget.xls.lnk", "shortcut");
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    SetString(key, "a", "letter.doc");
    RegCloseKey(key);
  }
}

int RecentShortcutCount() {
  int n = 0;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((RecentFolder() + "\\*.lnk").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do ++n;
  while (FindNextFileA(h, &d));
  FindClose(h);
  return n;
}

std::string HistoryCalls() { return testutil::ReadWholeFile(TestBinFolder() + "\\history_calls.txt"); }
void ForgetHistoryCalls() { DeleteFileA((TestBinFolder() + "\\history_calls.txt").c_str()); }

}  // namespace cleartest
