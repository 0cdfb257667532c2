// The sites that have cookies now, for the keep-list's picker in the panel: the platform's cookie
// entries and today's browsers' cookie databases, counted by site and judged by the keep rule that
// the clearing run applies (winapp/urlcache.h). It lives in this module, which the panel loads only
// for it, so that the panel carries none of it. Each cookie database is only read: opened read-only, with no lock that a browser would wait on, and
// whatever side file (-wal, -shm, -journal) the reading made taken away again, so that the
// profiles are byte for byte as they were.
#include <windows.h>
#include <sqlite3.h>

#include <cstddef>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "browsers.h"
#include "catalog.h"
#include "disk.h"
#include "exclusion.h"
#include "profiles.h"
#include "urlcache.h"
#include "values.h"

namespace {

using namespace browsers;

// A browser that runs holds its lock for as long as it runs: waiting longer only delays the list.
constexpr int BusyMilliseconds = 300;

struct CookieFile {
  const wchar_t* name;  // under the profile's data folder
  const char* query;    // host, number of cookies
};
const CookieFile ChromiumCookieFiles[] = {
    {L"\\Network\\Cookies", "SELECT host_key, count(*) FROM cookies GROUP BY host_key"},
    {L"\\Cookies", "SELECT host_key, count(*) FROM cookies GROUP BY host_key"},
};
const CookieFile FirefoxCookieFiles[] = {
    {L"\\cookies.sqlite", "SELECT host, count(*) FROM moz_cookies GROUP BY host"},
};

// How a read went, the worse outcome kept: a browser is named by its worst database.
BrowserOutcome Worse(BrowserOutcome a, BrowserOutcome b) {
  auto rank = [](BrowserOutcome o) { return o == BrowserCleared ? 0 : o == BrowserRunning ? 1 : 2; };
  return rank(b) > rank(a) ? b : a;
}

struct Site {
  unsigned long cookies = 0;
  bool kept = true;
};

struct Gathering {
  std::map<std::string, Site> sites;
  std::vector<std::string> keep;  // the list's entries in upper case
  // Cookies of one host; `name` is what the keep rule is asked about (for the platform's cookies
  // the entry's whole name, as the run asks it).
  void Add(std::string_view host, std::string_view name, unsigned long cookies) {
    while (!host.empty() && host.front() == '.') host.remove_prefix(1);
    std::string site(host);
    if (!site.empty()) CharLowerBuffA(site.data(), static_cast<DWORD>(site.size()));
    if (site.size() > 4 && site.compare(0, 4, "www.") == 0) site.erase(0, 4);
    if (site.empty() || !cookies) return;
    Site& s = sites[site];
    s.cookies += cookies;
    if (s.kept && !winapp::IsExcluded(name, keep)) s.kept = false;
  }
};

// Reads one cookie database's hosts into the gathering. BrowserCleared when it was read whole,
// BrowserRunning when the browser holds it, BrowserDamaged when it cannot be read (damaged, or
// not the layout this module knows).
BrowserOutcome ReadCookieFile(const std::wstring& path, const char* query, Gathering& gathering) {
  SideFilesMade sideFiles(path, true);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, BusyMilliseconds);
    // Another program's file, made by anyone who could write into the user's folder: nothing of
    // its schema (views, triggers) is run, and nothing can be written through this connection.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(db, query, -1, &s, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(s)) == SQLITE_ROW) {
      const unsigned char* host = sqlite3_column_text(s, 0);
      sqlite3_int64 count = sqlite3_column_int64(s, 1);
      if (host && count > 0) {
        std::string_view name(reinterpret_cast<const char*>(host), static_cast<size_t>(sqlite3_column_bytes(s, 0)));
        gathering.Add(name, name, count > 0xFFFFFFFF ? 0xFFFFFFFFul : static_cast<unsigned long>(count));
      }
      rc = SQLITE_OK;
    }
    sqlite3_finalize(s);
  }
  sqlite3_close_v2(db);
  // Only what this reading made, and only while no one else has it open (the platform refuses to
  // delete a file that the browser holds).
  sideFiles.RemoveMade();
  if (rc == SQLITE_DONE) return BrowserCleared;
  int code = rc & 0xFF;
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED || InUse(path)) return BrowserRunning;
  return BrowserDamaged;
}

// Every profile's cookie databases, and per browser how its reading went.
void GatherBrowsers(Gathering& gathering, unsigned char* outcomes, size_t room) {
  for (const Browser& browser : FindBrowsers()) {
    BrowserOutcome outcome = BrowserNotFound;
    if (browser.refused) {
      outcome = BrowserRefused;
    } else {
      bool chromium = browser.family == Family::Chromium;
      const CookieFile* files = chromium ? ChromiumCookieFiles : FirefoxCookieFiles;
      size_t count = chromium ? std::size(ChromiumCookieFiles) : std::size(FirefoxCookieFiles);
      for (const Profile& profile : browser.profiles)
        for (size_t f = 0; f < count; ++f) {
          std::wstring path = profile.data + files[f].name;
          if (!IsFile(path)) continue;
          BrowserOutcome read = ReadCookieFile(path, files[f].query, gathering);
          outcome = outcome == BrowserNotFound ? read : Worse(outcome, read);
        }
    }
    if (static_cast<size_t>(browser.id) < room) outcomes[browser.id] = static_cast<unsigned char>(outcome);
  }
}

}  // namespace

extern "C" __declspec(dllexport) int ListCookieSites(const char* settingsFile, const char* listText, BrowserRun* run,
                                                     CookieSiteFound found, void* context) {
  constexpr size_t first = offsetof(BrowserRun, Outcome);
  if (!settingsFile || !listText || !found || !run || run->size < first + BROWSER_FIRST_COUNT) return 1;
  size_t room = run->size - first < size_t{BrowserCount} ? run->size - first : size_t{BrowserCount};
  for (size_t b = 0; b < room; ++b) run->Outcome[b] = BrowserNotFound;
  Gathering gathering;
  // The entries as the run will read them once the text is saved: split, one a line, read back
  // by the file's field rules (leading blanks dropped, quotes taken off).
  gathering.keep = winapp::UpperCaseEntries(
      core::SplitAtCommas(core::JoinExclusionFields(core::ExclusionFileContent(listText))));
  // The platform's cookies: the entries the run's cookie step takes.
  winapp::WalkUrlCache([&](const INTERNET_CACHE_ENTRY_INFOA& entry) {
    if (!(entry.CacheEntryType & NORMAL_CACHE_ENTRY) || !entry.lpszSourceUrlName) return;
    std::string_view name = entry.lpszSourceUrlName;
    if (winapp::IsCookieEntry(name)) gathering.Add(winapp::CookieEntryHost(name), name, 1);
  }, winapp::CacheWalk::Read);
  // Read without the settings lock, as the question before a run reads it.
  char browsers[50] = {};
  GetPrivateProfileStringA("Settings", "Browsers", "", browsers, sizeof browsers, settingsFile);
  if (core::FlagValue(core::TrimSpaces(browsers)) == 1) GatherBrowsers(gathering, run->Outcome, room);
  for (const auto& [name, site] : gathering.sites) found(context, name.c_str(), site.cookies, site.kept ? 1 : 0);
  return 0;
}
