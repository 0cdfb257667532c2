// Where the browser tests lay the made profiles out in the test prefix, and the small helpers
// they share: the made profiles, folders, snapshots of files, a file held as a running browser
// holds it.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <sqlite3.h>

#include <map>
#include <string>
#include <vector>

#include "test_util.h"

namespace browsertest {

using testutil::ReadWholeFile;

inline std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
inline const std::string Local = ShellFolder(CSIDL_LOCAL_APPDATA);
inline const std::string Roaming = ShellFolder(CSIDL_APPDATA);
inline const std::string Chromium = Local + "\\Chromium\\User Data";
inline const std::string Firefox = Roaming + "\\Mozilla\\Firefox\\Profiles\\qr.default-release";
inline const std::string FirefoxLocal = Local + "\\Mozilla\\Firefox\\Profiles\\qr.default-release";

// The profiles made for this browser's version: <made>\<browser>-<version>.
inline std::string Made(const std::string& browser) {
  std::string folder = testutil::FolderFromEnvironment("QR_PROFILES_DIR");
  std::string current = ReadWholeFile(folder + "\\current");
  size_t at = current.find(browser + "-");
  if (folder.empty() || at == std::string::npos) return {};
  return folder + "\\" + current.substr(at, current.find('\n', at) - at);
}

inline void MakeFolders(const std::string& path) { SHCreateDirectoryExA(nullptr, path.c_str(), nullptr); }

inline void Move(const std::string& from, const std::string& to) {
  MakeFolders(to.substr(0, to.rfind('\\')));
  MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// Every file under a folder with its bytes, by relative path.
using Snapshot = std::map<std::string, std::string>;
inline void Take(const std::string& root, const std::string& rel, Snapshot& out) {
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((root + rel + "\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = f.cFileName;
    if (name == "." || name == "..") continue;
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      Take(root, rel + "\\" + name, out);
    else
      out[rel + "\\" + name] = ReadWholeFile(root + rel + "\\" + name);
  } while (FindNextFileA(h, &f));
  FindClose(h);
}
inline Snapshot Take(const std::string& root) {
  Snapshot s;
  Take(root, "", s);
  return s;
}
inline size_t FileCount(const std::string& folder) { return Take(folder).size(); }

// A lock file as a running browser keeps it: open, shared with nobody.
struct HeldFile {
  HANDLE h;
  explicit HeldFile(const std::string& path)
      : h(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr)) {}
  ~HeldFile() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

inline void RemoveBrowsers() {
  for (const std::string& f : {Local + "\\Chromium", Local + "\\Google", Roaming + "\\Opera Software",
                               Local + "\\Opera Software", Roaming + "\\Mozilla", Local + "\\Mozilla", Local + "\\Elsewhere"})
    testutil::RemoveTree(f);
}

// The rows of a query, each row's columns joined by '|'.
inline std::vector<std::string> Rows(const std::string& file, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK)
      while (sqlite3_step(s) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
          const unsigned char* v = sqlite3_column_text(s, c);
          row += (c ? "|" : "") + std::string(v ? reinterpret_cast<const char*>(v) : "NULL");
        }
        rows.push_back(row);
      }
    else
      rows.push_back(std::string("error: ") + sqlite3_errmsg(db));
    sqlite3_finalize(s);
  }
  sqlite3_close(db);
  return rows;
}
inline std::string One(const std::string& file, const std::string& sql) {
  auto rows = Rows(file, sql);
  return rows.size() == 1 ? rows[0] : "(" + std::to_string(rows.size()) + " rows)";
}

inline bool Exec(const std::string& file, const char* sql, bool create = false) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0), nullptr) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

}  // namespace browsertest
