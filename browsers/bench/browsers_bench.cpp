// Measures the run's browser step against a bare loop of the same SQLite statements and the same
// deletes, on one Chromium profile under the user's local application data folder.
//   browsers_bench seed FOLDER MADE VISITS COOKIES EXCLUSIONS FILES
//       lays the profile out from the made one (MADE: a made "User Data" folder), fills it, and
//       writes FOLDER\exclude.ini; FOLDER is the program folder (with browsers.dll)
//   browsers_bench run FOLDER   the run's step: browsers.dll through the clearing run's own call
//   browsers_bench bare FOLDER  the same statements and deletes, written out, nothing else
//   browsers_bench analyze FOLDER  the Analyze window's count: browsers.dll counting, nothing changed
//   browsers_bench countbare FOLDER  the same count written out: each database read into memory and
//       the same statements run there, the same folders listed
//   browsers_bench seedcache N    fills the user's URL cache with N content entries
//   browsers_bench analyzeall FOLDER  the whole of Analyze's count (the URL cache's two steps, then
//       the browsers); countall FOLDER the same written out; runall FOLDER the run's cache steps
//       and browser step
// Each measuring mode prints "seconds=S cpu_s=C peak_mb=M left=N" (C: processor time, the
// prefix's wineserver's included when BENCH_SERVER_PID names it; N: rows and files the choices
// erase that are still there); the bare loop adds its processor time in the statements and in
// the deletes (sql_cpu_s, deletes_cpu_s).
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <wininet.h>

#include "bench_util.h"
#include "cleaners.h"
#include "nameList.h"
#include "settings.h"
#include "test_cache.h"
#include "test_util.h"
#include "urlcache.h"

namespace {

using bench::PeakMb;
using bench::Profile;


bool Exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

long long Count(const std::string& file, const char* sql) {
  sqlite3* db = nullptr;
  long long n = -1;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
    n = sqlite3_column_int64(s, 0);
  sqlite3_finalize(s);
  sqlite3_close(db);
  return n;
}

size_t Files(const std::string& folder) {
  size_t n = 0;
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    std::string name = f.cFileName;
    if (name == "." || name == "..") continue;
    n += (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? Files(folder + "\\" + name) : 1;
  } while (FindNextFileA(h, &f));
  FindClose(h);
  return n;
}

// The bare loop's own split: processor time in its statements and in its deletes (what Wine
// costs for the same work, whoever does it).
double bareSql = -1, bareDeletes = -1;

void Report(double seconds, double cpu) {
  // What both modes must leave: no visit, only the kept cookies, no cache file.
  long long left = Count(Profile + "\\History", "SELECT count(*) FROM visits") +
                   Count(Profile + "\\Network\\Cookies", "SELECT count(*) FROM cookies") +
                   static_cast<long long>(Files(Profile + "\\Cache"));
  std::printf("seconds=%.3f cpu_s=%.3f peak_mb=%.1f left=%lld", seconds, cpu, PeakMb(), left);
  if (bareSql >= 0) std::printf(" sql_cpu_s=%.3f deletes_cpu_s=%.3f", bareSql, bareDeletes);
  std::printf("\n");
}

int Seed(const std::string& folder, const std::string& made, int visits, int cookies, int exclusions, int files) {
  testutil::CopyTree(made + "\\Default", Profile);
  SHCreateDirectoryExA(nullptr, (Profile + "\\Network").c_str(), nullptr);
  MoveFileExA((Profile + "\\Cookies").c_str(), (Profile + "\\Network\\Cookies").c_str(), MOVEFILE_REPLACE_EXISTING);
  sqlite3* db = nullptr;
  // A visit a page, five visits to each address, as a history of some months holds.
  if (sqlite3_open((Profile + "\\History").c_str(), &db) != SQLITE_OK) return 1;
  bool ok = Exec(db, "BEGIN") &&
            Exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                         std::to_string(visits / 5) +
                         ") INSERT INTO urls (url, title, visit_count, typed_count, last_visit_time, hidden) "
                         "SELECT 'http://site' || (i % 500) || '.example/page' || i, 'Page ' || i, 5, i % 3, i, 0 FROM n") &&
            Exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(visits) +
                         ") INSERT INTO visits (url, visit_time, transition) "
                         "SELECT (SELECT min(id) FROM urls) + (i % " + std::to_string(visits / 5) + "), i, 805306368 FROM n") &&
            Exec(db, "COMMIT");
  sqlite3_close(db);
  if (!ok || sqlite3_open((Profile + "\\Network\\Cookies").c_str(), &db) != SQLITE_OK) return 1;
  ok = Exec(db, "BEGIN") &&
       Exec(db, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(cookies) +
                    ") INSERT INTO cookies (creation_utc, host_key, top_frame_site_key, name, value, encrypted_value, path, "
                    "expires_utc, is_secure, is_httponly, last_access_utc, has_expires, is_persistent, priority, samesite, "
                    "source_scheme, source_port, last_update_utc, source_type, has_cross_site_ancestor) "
                    "SELECT i, '.host' || i || '.example', '', 'c', 'v', x'', '/', 0, 0, 0, 0, 1, 1, 1, 0, 1, 80, 0, 0, 0 FROM n") &&
       Exec(db, "COMMIT");
  sqlite3_close(db);
  if (!ok) return 1;
  // Every tenth cookie host is kept.
  std::string list;
  for (int j = 0; j < exclusions; ++j) list += "host" + std::to_string(j * 10) + ".example,";
  if (!list.empty()) list.pop_back();
  winapp::WriteExclusionText(folder + "\\exclude.ini", list);
  std::string cache = Profile + "\\Cache\\Cache_Data";
  SHCreateDirectoryExA(nullptr, cache.c_str(), nullptr);
  std::string body(2048, 'x');
  for (int i = 0; i < files; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\f_%06x", i);
    HANDLE h = CreateFileA((cache + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD n;
    WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &n, nullptr);
    CloseHandle(h);
  }
  return 0;
}

// --- The bare loop: the statements the module runs for these three choices, and its deletes.

void KeepCookie(sqlite3_context* context, int, sqlite3_value** values) {
  const auto* entries = static_cast<const std::vector<std::string>*>(sqlite3_user_data(context));
  const unsigned char* host = sqlite3_value_text(values[0]);
  sqlite3_result_int(context, host && IsExcluded(reinterpret_cast<const char*>(host), *entries));
}

bool countOnly = false;
unsigned long long counted = 0, countedBytes = 0;

// Counting: the file copied into memory, where the statements then run.
sqlite3* InMemory(const std::string& file) {
  sqlite3 *source = nullptr, *db = nullptr;
  bool ok = sqlite3_open_v2(file.c_str(), &source, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_open(":memory:", &db) == SQLITE_OK;
  sqlite3_backup* copy = ok ? sqlite3_backup_init(db, "main", source, "main") : nullptr;
  ok = copy && sqlite3_backup_step(copy, -1) == SQLITE_DONE;
  if (copy) sqlite3_backup_finish(copy);
  sqlite3_close(source);
  if (!ok) sqlite3_close(db);
  return ok ? db : nullptr;
}

bool Clean(const std::string& file, const std::vector<const char*>& statements, std::vector<std::string>* entries) {
  sqlite3* db = nullptr;
  if (countOnly) {
    if (!(db = InMemory(file))) return false;
  } else if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    return false;
  }
  sqlite3_busy_timeout(db, 300);
  bool ok = Exec(db, countOnly ? "BEGIN" : "BEGIN IMMEDIATE") && Exec(db, "PRAGMA quick_check") &&
            (countOnly || Exec(db, "PRAGMA secure_delete = ON"));
  if (entries)
    sqlite3_create_function(db, "qr_keep", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, entries, KeepCookie, nullptr, nullptr);
  ok = ok && Exec(db, "CREATE TEMP TABLE kept_urls(url TEXT PRIMARY KEY NOT NULL)");
  for (const char* sql : statements) {
    if (ok) ok = Exec(db, sql);
    counted += static_cast<unsigned long long>(sqlite3_changes(db));
  }
  if (countOnly) {
    sqlite3_close(db);
    return ok;
  }
  ok = ok && Exec(db, "COMMIT") && Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
  sqlite3_close(db);
  return ok;
}

void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = f.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = folder + "\\" + name;
    if (f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path);
      if (!countOnly) RemoveDirectoryA(path.c_str());
    } else if (countOnly) {
      ++counted;
      countedBytes += static_cast<unsigned long long>(f.nFileSizeHigh) << 32 | f.nFileSizeLow;
    } else {
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(h, &f));
  FindClose(h);
}

int Bare(const std::string& folder) {
  auto text = winapp::ReadExclusionText(folder + "\\exclude.ini");
  std::vector<std::string> entries = UpperCaseEntries(winapp::SplitAtCommas(text.value_or("")));
  double start = testutil::ProcessorSeconds();
  bool ok = Clean(Profile + "\\History",
                  {"DELETE FROM visits", "DELETE FROM visit_source", "DELETE FROM keyword_search_terms",
                   "DELETE FROM segment_usage", "DELETE FROM segments", "DELETE FROM downloads_url_chains",
                   "DELETE FROM downloads_slices", "DELETE FROM downloads", "DELETE FROM visited_links",
                   "DELETE FROM clusters_and_visits", "DELETE FROM cluster_keywords",
                   "DELETE FROM cluster_visit_duplicates", "DELETE FROM clusters", "DELETE FROM content_annotations",
                   "DELETE FROM context_annotations", "DELETE FROM journey_history_entries",
                   "DELETE FROM journey_continuation_queries", "DELETE FROM journeys",
                   "DELETE FROM urls WHERE NOT EXISTS (SELECT 1 FROM temp.kept_urls k WHERE k.url = urls.url)",
                   "UPDATE urls SET visit_count = 0, last_visit_time = 0"},
                  nullptr);
  ok &= Clean(Profile + "\\Favicons",
              {"DELETE FROM icon_mapping WHERE NOT EXISTS (SELECT 1 FROM temp.kept_urls k WHERE k.url = icon_mapping.page_url)",
               "DELETE FROM favicons WHERE NOT EXISTS (SELECT 1 FROM icon_mapping m WHERE m.icon_id = favicons.id)",
               "DELETE FROM favicon_bitmaps WHERE NOT EXISTS (SELECT 1 FROM favicons f WHERE f.id = favicon_bitmaps.icon_id)"},
              nullptr);
  ok &= Clean(Profile + "\\Web Data", {"DELETE FROM autofill", "DELETE FROM autocomplete"}, nullptr);
  ok &= Clean(Profile + "\\Network\\Cookies", {"DELETE FROM cookies WHERE NOT qr_keep(host_key)"}, &entries);
  double statements = testutil::ProcessorSeconds();
  bareSql = statements - start;
  for (const char* whole : {"\\Visited Links", "\\Top Sites", "\\Shortcuts", "\\Network Action Predictor",
                            "\\History Provider Cache", "\\DIPS", "\\Reporting and NEL", "\\MediaDeviceSalts",
                            "\\HistoryEmbeddings", "\\Archived History", "\\DownloadMetadata"})
    for (const char* suffix : {"", "-journal", "-wal", "-shm"}) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (countOnly)
        counted += GetFileAttributesExA((Profile + whole + suffix).c_str(), GetFileExInfoStandard, &data) ? 1 : 0;
      else
        DeleteFileA((Profile + whole + suffix).c_str());
    }
  for (const char* cache : {"\\Cache", "\\Code Cache", "\\GPUCache", "\\DawnWebGPUCache", "\\DawnGraphiteCache"})
    EmptyFolder(Profile + cache);
  bareDeletes = testutil::ProcessorSeconds() - statements;
  return ok ? 0 : 1;
}

}  // namespace

// The URL cache as Analyze and the run take it: one walk for both cache steps, counted or deleted.
int CacheSteps(const std::string& folder, bool countOnly) {
  NameList names;
  FillCacheNames(names, countOnly ? winapp::CacheWalk::Read : winapp::CacheWalk::Probed);
  Tally temporary, cookies;
  ClearTemporaryEntries(names, temporary, countOnly);
  std::vector<std::string> entries;
  if (!ReadKeepList(folder, entries, !countOnly)) return 1;
  ClearCookieEntries(names, entries, cookies, countOnly);
  return temporary.items ? 0 : 1;
}

// The same count written out over Analyze's own reading of the cache (one block for the walk,
// an entry a call): the entries told apart and their sizes added up as they come.
int BareCacheCount() {
  unsigned long long items = 0, bytes = 0, cookies = 0;  // as the two steps count them
  winapp::WalkUrlCache([&](const INTERNET_CACHE_ENTRY_INFOA& entry) {
    if (!(entry.CacheEntryType & NORMAL_CACHE_ENTRY) || !entry.lpszSourceUrlName) return;
    if (entry.CacheEntryType & COOKIE_CACHE_ENTRY) {
      ++cookies;
    } else {
      ++items;
      bytes += (static_cast<unsigned long long>(entry.dwSizeHigh) << 32) | entry.dwSizeLow;
    }
  }, winapp::CacheWalk::Read);
  return items ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "seedcache")) {
    for (int i = 0, n = std::atoi(argv[2]); i < n; ++i)
      if (!testcache::SeedContent("http://bench" + std::to_string(i % 97) + ".example/page" + std::to_string(i) + ".html"))
        return 1;
    return 0;
  }
  // QR_BENCH_CHOICES ("110": History and Temporary Internet Files) measures a part of the step.
  const char* only = std::getenv("QR_BENCH_CHOICES");
  auto on = [&](int i) -> short { return !only || (std::strlen(only) > static_cast<size_t>(i) && only[i] == '1'); };
  // Analyze's count of the same profile, and the bare loop's count made without changing anything.
  auto counting = [](const std::string& mode, const std::string& folder) {
    if (mode == "analyze") {
      BrowserTally tally{};
      std::string line = ClearOtherBrowsers(folder, {1, 1, 1, 0, 0}, &tally, true);
      if (!line.empty()) std::fprintf(stderr, "%s\n", line.c_str());
      return line.empty() && tally.size ? 0 : 1;
    }
    if (mode == "countbare") {
      countOnly = true;
      return Bare(folder);
    }
    if (mode == "analyzeall") {
      BrowserTally tally{};
      int rc = CacheSteps(folder, true);
      std::string line = ClearOtherBrowsers(folder, {1, 1, 1, 0, 0}, &tally, true);
      return rc || !line.empty() || !tally.size ? 1 : 0;
    }
    if (mode == "countall") {
      countOnly = true;
      return BareCacheCount() | Bare(folder);
    }
    if (mode == "runall") {
      int rc = CacheSteps(folder, false);
      return rc || !ClearOtherBrowsers(folder, {1, 1, 1, 0, 0}).empty() ? 1 : 0;
    }
    return -1;
  };
  return bench::Main(argc, argv, "browsers_bench", Seed, {on(0), on(1), on(2), 0, 0}, Bare,
                     [](const std::string&, double seconds, double cpu) { Report(seconds, cpu); }, +counting);
}
