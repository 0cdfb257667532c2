// Measures the run's site-data step against a bare program that deletes the same keys through
// LevelDB and the same folders, on one Chromium profile under the user's local application data
// folder: ORIGINS origins in Local Storage with KEYS keys each, FOLDERS IndexedDB origin folders,
// the first KEPT origins kept by the keep-list.
//   sitedata_bench seed FOLDER MADE ORIGINS KEYS FOLDERS KEPT
//       lays the profile out from the made one (MADE: a made "User Data" folder) without its
//       cookies, fills its stores, and writes FOLDER\exclude.ini; FOLDER is the program folder
//   sitedata_bench run FOLDER   the run's step: browsers.dll through the clearing run's own call
//                               with the Cookies choice (the profile has no cookie database)
//   sitedata_bench bare FOLDER  the same keys deleted and the same folders removed, nothing else
// Each measuring mode prints "seconds=S cpu_s=C peak_mb=M left=N" (N: keys and folders of origins
// not kept that are still there).
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <leveldb/db.h>
#include <leveldb/write_batch.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "cleaners.h"
#include "settings.h"
#include "test_util.h"

namespace {

using bench::PeakMb;
using bench::Profile;

const std::string LocalStorage = Profile + "\\Local Storage\\leveldb";
const std::string IndexedDb = Profile + "\\IndexedDB";

std::string Host(int i) { return "o" + std::to_string(i) + ".example"; }
std::string Origin(int i) { return "http://" + Host(i); }
std::string FolderName(int i) { return "http_" + Host(i) + "_0.indexeddb.leveldb"; }

// The host of a Local Storage key's origin; empty for a key of no origin.
std::string HostOfKey(const std::string& key) {
  std::string origin;
  if (key.rfind("META:", 0) == 0)
    origin = key.substr(5);
  else if (key.rfind("METAACCESS:", 0) == 0)
    origin = key.substr(11);
  else if (key.rfind("_", 0) == 0)
    origin = key.substr(1, key.find('\0') - 1);
  size_t at = origin.find("://");
  if (at == std::string::npos) return {};
  std::string host = origin.substr(at + 3);
  return host.substr(0, host.find_first_of(":/"));
}

std::vector<std::string> KeptEntries(const std::string& folder) {
  auto text = winapp::ReadExclusionText(folder + "\\exclude.ini");
  return UpperCaseEntries(winapp::SplitAtCommas(text.value_or("")));
}

void WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD n;
  if (h == INVALID_HANDLE_VALUE) return;
  ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(h);
}

int Seed(const std::string& folder, const std::string& made, int origins, int keys, int folders, int kept) {
  testutil::CopyTree(made + "\\Default", Profile);
  // Site data alone: no cookie database, and only the two stores measured.
  for (const char* file : {"\\Network\\Cookies", "\\Network\\Cookies-journal", "\\Cookies", "\\Cookies-journal"})
    DeleteFileA((Profile + file).c_str());
  for (const char* store : {"\\Local Storage", "\\Session Storage", "\\Service Worker", "\\IndexedDB", "\\WebStorage"})
    testutil::RemoveTree(Profile + store);
  SHCreateDirectoryExA(nullptr, LocalStorage.c_str(), nullptr);
  leveldb::DB* db = nullptr;
  leveldb::Options options;
  options.create_if_missing = true;
  if (!leveldb::DB::Open(options, LocalStorage, &db).ok()) return 1;
  db->Put({}, "VERSION", "1");
  std::string value(40, 'v');
  for (int i = 0; i < origins; ++i) {
    leveldb::WriteBatch batch;
    batch.Put("META:" + Origin(i), "\x08\x01\x10\x02");
    batch.Put("METAACCESS:" + Origin(i), "\x08\x01");
    for (int k = 0; k < keys; ++k)
      batch.Put("_" + Origin(i) + std::string(1, '\0') + "\x01key" + std::to_string(k), "\x01" + value + std::to_string(i));
    db->Write({}, &batch);
  }
  // As a browser leaves it: most in tables, the latest writes in the log.
  db->CompactRange(nullptr, nullptr);
  for (int i = 0; i < origins; i += 20) db->Put({}, "METAACCESS:" + Origin(i), "\x08\x02");
  delete db;
  for (int i = 0; i < folders; ++i) {
    std::string idb = IndexedDb + "\\" + FolderName(i);
    SHCreateDirectoryExA(nullptr, idb.c_str(), nullptr);
    for (const char* file : {"\\CURRENT", "\\LOCK", "\\LOG", "\\MANIFEST-000001", "\\000003.log"})
      WriteFile(idb + file, std::string(200, 'i'));
  }
  std::string list;
  for (int j = 0; j < kept; ++j) list += Host(j) + ",";
  if (!list.empty()) list.pop_back();
  winapp::WriteExclusionText(folder + "\\exclude.ini", list);
  return 0;
}

void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = f.cFileName;
      if (name == "." || name == "..") continue;
      if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveFolder(folder + "\\" + name);
      else
        DeleteFileA((folder + "\\" + name).c_str());
    } while (FindNextFileA(h, &f));
    FindClose(h);
  }
  RemoveDirectoryA(folder.c_str());
}

// --- The bare program: the keys of the origins not kept deleted in one batch, the database
// compacted (its log into tables first, so no deleted value stays) and its manifest written anew,
// the folders of the origins not kept removed.
int Bare(const std::string& folder) {
  std::vector<std::string> entries = KeptEntries(folder);
  leveldb::DB* db = nullptr;
  leveldb::Options options;
  options.paranoid_checks = true;
  if (!leveldb::DB::Open(options, LocalStorage, &db).ok()) return 1;
  leveldb::WriteBatch batch;
  {
    leveldb::ReadOptions read;
    read.verify_checksums = true;
    std::unique_ptr<leveldb::Iterator> it(db->NewIterator(read));
    for (it->SeekToFirst(); it->Valid(); it->Next()) {
      std::string host = HostOfKey(it->key().ToString());
      if (!host.empty() && !IsExcluded(host, entries)) batch.Delete(it->key());
    }
  }
  db->CompactRange(nullptr, nullptr);
  leveldb::WriteOptions write;
  write.sync = true;
  bool ok = db->Write(write, &batch).ok();
  db->CompactRange(nullptr, nullptr);
  delete db;
  ok = ok && leveldb::DB::Open(options, LocalStorage, &db).ok();
  delete db;
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((IndexedDb + "\\*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = f.cFileName;
      if (name.rfind("http_", 0) != 0) continue;
      std::string host = name.substr(5, name.rfind('_') - 5);
      if (!IsExcluded(host, entries)) RemoveFolder(IndexedDb + "\\" + name);
    } while (FindNextFileA(h, &f));
    FindClose(h);
  }
  return ok ? 0 : 1;
}

// What both modes must leave: no key and no folder of an origin not kept.
long long Left(const std::string& folder) {
  std::vector<std::string> entries = KeptEntries(folder);
  long long left = 0;
  leveldb::DB* db = nullptr;
  if (!leveldb::DB::Open(leveldb::Options(), LocalStorage, &db).ok()) return -1;
  {
    std::unique_ptr<leveldb::Iterator> it(db->NewIterator({}));
    for (it->SeekToFirst(); it->Valid(); it->Next()) {
      std::string host = HostOfKey(it->key().ToString());
      left += !host.empty() && !IsExcluded(host, entries);
    }
  }
  delete db;
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((IndexedDb + "\\http_*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = f.cFileName;
      left += !IsExcluded(name.substr(5, name.rfind('_') - 5), entries);
    } while (FindNextFileA(h, &f));
    FindClose(h);
  }
  return left;
}

}  // namespace

int main(int argc, char** argv) {
  // The Cookies choice empties the site data; the profile has no cookie database.
  return bench::Main(argc, argv, "sitedata_bench", Seed, {0, 0, 1, 0, 0}, Bare,
                     [](const std::string& folder, double seconds, double cpu) {
                       std::printf("seconds=%.3f cpu_s=%.3f peak_mb=%.1f left=%lld\n", seconds, cpu, PeakMb(),
                                   Left(folder));
                     });
}
