// The other browsers' step against real profiles that Debian's chromium and firefox-esr made at
// test time (make_profiles.py), laid out where Windows keeps them in the test prefix: each choice
// on each family, the keep-list, what is never touched, and the browsers that must be left alone.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>
#include <map>

#include "browsers.h"
#include "cleaners.h"
#include "browser_places.h"
#include "openbrowsers.h"
#include "system.h"
#include "programs.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

using namespace browsertest;

using testutil::CopyTree;
using testutil::Exists;
using testutil::ReadWholeFile;
using testutil::WriteWholeFile;

const std::string Opera = Roaming + "\\Opera Software\\Opera Stable";
const std::string OperaLocal = Local + "\\Opera Software\\Opera Stable";
const std::string Kept = "http://127.0.0.1:47122/kept";

// A helper that holds a database the way a running browser does: open, exclusively locked.
class HeldDatabase {
 public:
  explicit HeldDatabase(const std::string& file) {
    sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    held_ = sqlite3_exec(db_, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  ~HeldDatabase() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
  }
  bool held() const { return held_; }

 private:
  sqlite3* db_ = nullptr;
  bool held_ = false;
};

// Chromium as Windows keeps it: the Default profile's cookies under Network, Profile 1's at the
// profile root where older versions kept them; a jump-list icon in each.
void LayChromium(const std::string& userData = Chromium) {
  MakeFolders(userData);
  CopyTree(Made("chromium") + "\\User Data", userData);
  Move(userData + "\\Default\\Cookies", userData + "\\Default\\Network\\Cookies");
  Move(userData + "\\Default\\Cookies-journal", userData + "\\Default\\Network\\Cookies-journal");
  for (const char* profile : {"\\Default", "\\Profile 1"}) {
    MakeFolders(userData + profile + "\\JumpListIconsMostVisited");
    WriteWholeFile(userData + profile + "\\JumpListIconsMostVisited\\1.ico", "icon");
  }
  // Traces this version made no file of in a short headless run, as other versions leave them.
  for (const char* f : {"DIPS", "MediaDeviceSalts", "HistoryEmbeddings", "Archived History", "History Index 2013-05",
                        "DownloadMetadata", "Shortcuts", "Network Action Predictor"})
    WriteWholeFile(userData + "\\Default\\" + f, "trace");
  // A form entry (older table and today's) beside an extension's storage, which stays.
  Exec(userData + "\\Default\\Web Data",
       "INSERT INTO autofill (name, value, value_lower) VALUES ('q', 'typed', 'typed');"
       "INSERT INTO autocomplete (name, label, label_normalized, value, value_lower) VALUES ('q', '', '', 'typed', 'typed')");
  MakeFolders(userData + "\\Default\\Local Extension Settings\\abcdefghijklmnop");
  WriteWholeFile(userData + "\\Default\\Local Extension Settings\\abcdefghijklmnop\\000003.log", "extension");
}

// Opera: the folder is the profile; its cache lies under the local folder.
void LayOpera() {
  MakeFolders(Opera);
  CopyTree(Made("chromium") + "\\User Data\\Default", Opera);
  Move(Opera + "\\Cache", OperaLocal + "\\Cache");
}

// Firefox: the profile under the roaming folder, named by profiles.ini; its cache local.
void LayFirefox() {
  MakeFolders(Firefox);
  CopyTree(Made("firefox-esr") + "\\profile", Firefox);
  WriteWholeFile(Roaming + "\\Mozilla\\Firefox\\profiles.ini",
                 "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/qr.default-release\r\n");
  Move(Firefox + "\\cache2", FirefoxLocal + "\\cache2");
  MakeFolders(FirefoxLocal + "\\jumpListCache");
  WriteWholeFile(FirefoxLocal + "\\jumpListCache\\1.ico", "icon");
  WriteWholeFile(Firefox + "\\AlternateServices.bin", "trace");
  WriteWholeFile(Firefox + "\\autofill-profiles.json", "{\"version\":1,\"addresses\":[]}");
  MakeFolders(Firefox + "\\extensions");
  WriteWholeFile(Firefox + "\\extensions\\kept@example.xpi", "extension");
}

// Every row of every table of a database but `except`, by table.
std::string TablesBut(const std::string& file, const std::vector<std::string>& except) {
  std::string all;
  for (const std::string& table : Rows(file, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"))
    if (std::find(except.begin(), except.end(), table) == except.end())
      all += table + ": " + testing::PrintToString(Rows(file, "SELECT * FROM \"" + table + "\"")) + "\n";
  return all;
}

// What no choice may change, byte for byte: bookmarks, passwords, preferences, sessions.
Snapshot NeverTouched() {
  Snapshot s;
  for (const char* f : {"\\Default\\Bookmarks", "\\Default\\Login Data", "\\Default\\Preferences",
                        "\\Default\\Secure Preferences", "\\Profile 1\\Preferences", "\\Local State"})
    if (Exists(Chromium + f)) s[Chromium + f] = ReadWholeFile(Chromium + f);
  for (const char* f : {"\\logins.json", "\\logins.db", "\\key4.db", "\\prefs.js", "\\sessionstore.jsonlz4",
                        "\\autofill-profiles.json", "\\permissions.sqlite", "\\extensions\\kept@example.xpi"})
    if (Exists(Firefox + f)) s[Firefox + f] = ReadWholeFile(Firefox + f);
  for (const char* folder : {"\\Default\\Local Extension Settings", "\\Default\\Sessions", "\\Default\\Extension State"})
    for (const auto& [name, bytes] : Take(Chromium + folder)) s[Chromium + folder + name] = bytes;
  // Saved addresses, payment cards, search engines: every table of Web Data but the form entries.
  if (Exists(Chromium + "\\Default\\Web Data"))
    s["web data"] = TablesBut(Chromium + "\\Default\\Web Data", {"autofill", "autocomplete"});
  if (Exists(Firefox + "\\places.sqlite"))
    s["bookmarks"] = testing::PrintToString(
        Rows(Firefox + "\\places.sqlite", "SELECT b.id, b.title, p.url FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk"));
  return s;
}

class BrowsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Made("chromium").empty() || Made("firefox-esr").empty()) << "no made profiles (QR_PROFILES_DIR)";
    ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\browsers.dll", program.path()));
    RemoveBrowsers();
  }
  void TearDown() override { RemoveBrowsers(); }
  std::string Run(BrowserFlags flags, const std::string& exclude = "") {
    WriteWholeFile(program / "exclude.ini", exclude);
    return ClearOtherBrowsers(program.path(), flags);
  }
  testutil::TempFolder program;
};

const std::string CrHistory = Chromium + "\\Default\\History";
const std::string FxPlaces = Firefox + "\\places.sqlite";

// Each choice on each family: what it erases, and that the other choices' traces stay.
TEST_F(BrowsersTest, EachChoiceErasesItsTracesInEveryProfile) {
  struct Case {
    const char* name;
    BrowserFlags flags;
    const char* exclude;
    std::function<void()> check;
  } cases[] = {
      {"history", {1, 0, 0, 0, 0}, "",
       [] {
         EXPECT_EQ(Rows(CrHistory, "SELECT url, visit_count FROM urls"), std::vector<std::string>{Kept + "|0"});
         EXPECT_EQ(One(CrHistory, "SELECT (SELECT count(*) FROM visits) + (SELECT count(*) FROM keyword_search_terms) + "
                                  "(SELECT count(*) FROM segments)"), "0");
         EXPECT_EQ(One(Chromium + "\\Profile 1\\History", "SELECT count(*) FROM urls"), "0");
         EXPECT_EQ(Rows(Chromium + "\\Default\\Favicons", "SELECT page_url FROM icon_mapping"), std::vector<std::string>{Kept});
         EXPECT_EQ(One(Chromium + "\\Default\\Favicons", "SELECT count(*) FROM favicons"), "1");
         EXPECT_FALSE(Exists(Chromium + "\\Default\\Top Sites") || Exists(Chromium + "\\Default\\Shortcuts") ||
                      Exists(Chromium + "\\Default\\Network Action Predictor"));
         EXPECT_EQ(One(Chromium + "\\Default\\Network\\Cookies", "SELECT count(*) FROM cookies"), "5");
         EXPECT_EQ(One(FxPlaces, "SELECT count(*) FROM moz_places WHERE foreign_count = 0"), "0");
         EXPECT_EQ(One(FxPlaces, "SELECT visit_count FROM moz_places WHERE url = '" + std::string(Kept) + "'"), "0");
         EXPECT_EQ(One(FxPlaces, "SELECT (SELECT count(*) FROM moz_historyvisits) + (SELECT count(*) FROM moz_inputhistory)"), "0");
         EXPECT_EQ(One(FxPlaces, "SELECT count(*) FROM moz_origins o WHERE NOT EXISTS "
                                 "(SELECT 1 FROM moz_places p WHERE p.origin_id = o.id)"), "0");
         EXPECT_EQ(One(Firefox + "\\favicons.sqlite", "SELECT count(*) FROM moz_pages_w_icons WHERE page_url LIKE '%localhost%'"), "0");
         EXPECT_EQ(One(Firefox + "\\favicons.sqlite", "SELECT count(*) FROM moz_icons WHERE root = 1"), "0");
         EXPECT_EQ(One(Firefox + "\\favicons.sqlite", "SELECT count(*) FROM moz_pages_w_icons"), "4");
         EXPECT_GT(FileCount(FirefoxLocal + "\\cache2"), 0u);
         for (const char* f : {"DIPS", "MediaDeviceSalts", "HistoryEmbeddings", "Archived History", "History Index 2013-05",
                               "DownloadMetadata", "Reporting and NEL"})
           EXPECT_FALSE(Exists(Chromium + "\\Default\\" + f)) << f;
         EXPECT_EQ(One(Chromium + "\\Default\\Web Data",
                       "SELECT (SELECT count(*) FROM autofill) + (SELECT count(*) FROM autocomplete)"), "0");
         EXPECT_FALSE(Exists(Firefox + "\\bounce-tracking-protection.sqlite") || Exists(Firefox + "\\AlternateServices.bin"));
         EXPECT_EQ(One(Firefox + "\\formhistory.sqlite", "SELECT count(*) FROM moz_formhistory"), "0");
         // The bookmarked page stays, to have its frecency worked out anew by the browser.
         EXPECT_EQ(One(FxPlaces, "SELECT frecency, recalc_frecency FROM moz_places WHERE url = '" + std::string(Kept) + "'"),
                   "-1|1");
       }},
      {"temporary files", {0, 1, 0, 0, 0}, "",
       [] {
         EXPECT_EQ(FileCount(Chromium + "\\Default\\Cache"), 0u);
         EXPECT_EQ(FileCount(Chromium + "\\Profile 1\\Code Cache"), 0u);
         EXPECT_TRUE(Exists(Chromium + "\\Default\\Cache"));
         EXPECT_EQ(FileCount(FirefoxLocal + "\\cache2"), 0u);
         EXPECT_EQ(One(CrHistory, "SELECT count(*) FROM urls"), "5");
       }},
      // The keep-list's rule: an entry kept where the host contains it, letter case ignored; the
      // empty entry a trailing comma leaves keeps nothing.
      {"cookies", {0, 0, 1, 0, 0}, "LocalHost,\r\n",
       [] {
         EXPECT_EQ(Rows(Chromium + "\\Default\\Network\\Cookies", "SELECT DISTINCT host_key FROM cookies"),
                   std::vector<std::string>{"localhost"});
         EXPECT_EQ(One(Chromium + "\\Profile 1\\Cookies", "SELECT count(*) FROM cookies"), "0");
         EXPECT_EQ(Rows(Firefox + "\\cookies.sqlite", "SELECT DISTINCT host FROM moz_cookies"),
                   std::vector<std::string>{"localhost"});
         EXPECT_EQ(One(CrHistory, "SELECT count(*) FROM visits"), "5");
       }},
      {"cookies, empty list", {0, 0, 1, 0, 0}, "",
       [] {
         EXPECT_EQ(One(Chromium + "\\Default\\Network\\Cookies", "SELECT count(*) FROM cookies"), "0");
         EXPECT_EQ(One(Firefox + "\\cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
       }},
      {"typed addresses", {0, 0, 0, 0, 1}, "",
       [] {
         EXPECT_EQ(One(CrHistory, "SELECT sum(typed_count) FROM urls"), "0");
         EXPECT_EQ(One(CrHistory, "SELECT count(*) FROM keyword_search_terms"), "0");
         EXPECT_EQ(One(CrHistory, "SELECT count(*) FROM visits"), "5");
         EXPECT_FALSE(Exists(Chromium + "\\Default\\Shortcuts") || Exists(Chromium + "\\Default\\Network Action Predictor"));
         EXPECT_TRUE(Exists(Chromium + "\\Default\\Top Sites") && Exists(Chromium + "\\Default\\DIPS"));
         EXPECT_EQ(One(Chromium + "\\Default\\Web Data", "SELECT count(*) FROM autofill"), "1");
         EXPECT_EQ(One(FxPlaces, "SELECT sum(typed) FROM moz_places"), "0");
         EXPECT_EQ(One(FxPlaces, "SELECT count(*) FROM moz_inputhistory"), "0");
         EXPECT_NE(One(FxPlaces, "SELECT count(*) FROM moz_historyvisits"), "0");
         EXPECT_EQ(Rows(Firefox + "\\formhistory.sqlite", "SELECT fieldname FROM moz_formhistory"),
                   std::vector<std::string>{"q"});
       }},
      {"recent documents", {0, 0, 0, 1, 0}, "",
       [] {
         EXPECT_EQ(FileCount(Chromium + "\\Default\\JumpListIconsMostVisited"), 0u);
         EXPECT_EQ(FileCount(FirefoxLocal + "\\jumpListCache"), 0u);
         EXPECT_EQ(One(CrHistory, "SELECT count(*) FROM urls"), "5");
       }},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    RemoveBrowsers();
    LayChromium();
    LayFirefox();
    Snapshot kept = NeverTouched();
    EXPECT_EQ(Run(cases[i].flags, cases[i].exclude), "") << i;
    cases[i].check();
    EXPECT_EQ(NeverTouched(), kept) << i;
    // Nothing deleted lives on in a log beside its database.
    for (const std::string& db : {CrHistory, FxPlaces, Firefox + "\\cookies.sqlite"})
      EXPECT_FALSE(Exists(db + "-wal") && ReadWholeFile(db + "-wal").size() > 0) << i << " " << db;
  }
}

// A browser that runs (its lock file or a database held), or whose data is damaged, is named and
// left byte for byte as it was; the others are still cleared.
TEST_F(BrowsersTest, ABrowserThatRunsOrIsDamagedIsLeftWholeAndNamed) {
  struct Case {
    const char* name;
    std::function<std::function<void()>()> hold;  // sets up, returns what releases
    const char* line;
    bool chromiumLeft, firefoxLeft;
  } cases[] = {
      {"Chromium's History held", [] { auto h = std::make_shared<HeldDatabase>(CrHistory); EXPECT_TRUE(h->held());
                                       return [h] {}; },
       "Not cleared while open: Chromium", true, false},
      {"Chromium's lock file held", [] { auto h = std::make_shared<HeldFile>(Chromium + "\\lockfile");
                                         return [h] {}; },
       "Not cleared while open: Chromium", true, false},
      {"Firefox's cookies held", [] { auto h = std::make_shared<HeldDatabase>(Firefox + "\\cookies.sqlite");
                                      EXPECT_TRUE(h->held()); return [h] {}; },
       "Not cleared while open: Firefox", false, true},
      {"Firefox's parent.lock held", [] { auto h = std::make_shared<HeldFile>(Firefox + "\\parent.lock");
                                          return [h] {}; },
       "Not cleared while open: Firefox", false, true},
      {"Chromium's cookies damaged", [] {
         std::string file = Chromium + "\\Profile 1\\Cookies";
         std::string bytes = ReadWholeFile(file);
         for (size_t at = 4096; at < bytes.size(); at += 7) bytes[at] = static_cast<char>(at * 31);
         WriteWholeFile(file, bytes);
         return [] {}; },
       "Not cleared, data damaged: Chromium", true, false},
      {"both held", [] { auto a = std::make_shared<HeldFile>(Chromium + "\\lockfile");
                         auto b = std::make_shared<HeldDatabase>(FxPlaces); return [a, b] {}; },
       "Not cleared while open: Chromium, Firefox", true, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    RemoveBrowsers();
    LayChromium();
    LayFirefox();
    auto release = cases[i].hold();
    Snapshot chromium = Take(Chromium), firefox = Take(Firefox), firefoxLocal = Take(FirefoxLocal);
    EXPECT_EQ(Run({1, 1, 1, 1, 1}), cases[i].line) << i;
    // Looked at while still held: the holder's own close may checkpoint what it holds.
    EXPECT_EQ(Take(Chromium) == chromium, cases[i].chromiumLeft) << i;
    EXPECT_EQ(Take(Firefox) == firefox && Take(FirefoxLocal) == firefoxLocal, cases[i].firefoxLeft) << i;
    release = nullptr;
  }
}

// A database whose schema brings code of its own, as anyone who could write into the user's
// folder could leave it: none of it runs with the cleaning. Triggers and views (which the
// browsers keep in none of these files) make the browser's layout an unknown one, left whole and
// named; an index or a computed column may not call the keep function, so the cleaning's
// statements fail on one that does, leaving the browser whole and named. Nothing else changes.
TEST_F(BrowsersTest, CodeADatabaseBringsAlongIsNeverRun) {
  const std::string crCookies = Chromium + "\\Default\\Network\\Cookies";
  const std::string fxCookies = Firefox + "\\cookies.sqlite";
  struct Case {
    const char* name;
    std::string file;
    const char* sql;      // run with a stand-in keep function, for an index to be made on it
    bool browserWhole;    // refused at the look before anything changes; otherwise the file alone
  } cases[] = {
      {"a trigger keeping every cookie through the keep function", crCookies,
       "CREATE TRIGGER keep_all BEFORE DELETE ON cookies WHEN qr_keep(old.host_key) = 0 BEGIN SELECT RAISE(IGNORE); END",
       true},
      {"a trigger copying each deleted address elsewhere", CrHistory,
       "CREATE TABLE stash(url TEXT); CREATE TRIGGER copy AFTER DELETE ON urls BEGIN INSERT INTO stash VALUES (old.url); END",
       true},
      {"a view that loads a library", fxCookies, "CREATE VIEW v AS SELECT load_extension('evil.dll') FROM moz_cookies",
       true},
      {"an index on the keep function", crCookies, "CREATE INDEX kept ON cookies(qr_keep(host_key))", false},
      {"an indexed column computed by the keep function", crCookies,
       "ALTER TABLE cookies ADD COLUMN kept AS (qr_keep(host_key)); CREATE INDEX by_kept ON cookies(kept)", false},
  };
  auto standIn = [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int(c, 1); };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveBrowsers();
    LayChromium();
    LayFirefox();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(c.file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_create_function(db, "qr_keep", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, standIn, nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(db, c.sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    const bool firefox = c.file == fxCookies;
    const std::string browser = firefox ? Firefox : Chromium;
    WriteWholeFile(program / "exclude.ini", "localhost\r\n");
    Snapshot before = Take(browser), folder = Take(program.path());
    const std::string bytes = ReadWholeFile(c.file);
    EXPECT_EQ(Run({1, 0, 1, 0, 0}, "localhost\r\n"), std::string("Not cleared completely: ") + (firefox ? "Firefox" : "Chromium"));
    EXPECT_TRUE(ReadWholeFile(c.file) == bytes) << "the file that brought code was changed";
    if (c.browserWhole) EXPECT_TRUE(Take(browser) == before) << "the browser was changed";
    EXPECT_TRUE(Take(program.path()) == folder) << "the program folder changed";
    // The other browser is cleared as ever.
    if (firefox) {
      EXPECT_EQ(Rows(crCookies, "SELECT DISTINCT host_key FROM cookies"), std::vector<std::string>{"localhost"});
      EXPECT_EQ(Rows(CrHistory, "SELECT url FROM urls"), std::vector<std::string>{Kept});
    } else {
      EXPECT_EQ(Rows(fxCookies, "SELECT DISTINCT host FROM moz_cookies"), std::vector<std::string>{"localhost"});
    }
  }
}

// Where the browsers and their profiles are: none at all, a profile no list names, a schema
// without some tables, Opera's folder that is itself the profile.
TEST_F(BrowsersTest, ProfilesAreFoundWhereverTheBrowsersKeepThem) {
  EXPECT_EQ(Run({1, 1, 1, 1, 1}), "") << "no browser installed";

  LayChromium();
  CopyTree(Chromium + "\\Profile 1", Chromium + "\\Profile 7");  // not in Local State
  ASSERT_TRUE(Exec(Chromium + "\\Profile 1\\History", "DROP TABLE keyword_search_terms; DROP TABLE segments"));
  LayOpera();
  EXPECT_EQ(Run({1, 1, 0, 0, 0}), "");
  EXPECT_EQ(One(Chromium + "\\Profile 7\\History", "SELECT count(*) FROM visits"), "0");
  EXPECT_EQ(One(Chromium + "\\Profile 1\\History", "SELECT count(*) FROM visits"), "0") << "older schema";
  EXPECT_EQ(Rows(Opera + "\\History", "SELECT url FROM urls"), std::vector<std::string>{Kept});
  EXPECT_EQ(FileCount(OperaLocal + "\\Cache"), 0u);
}

// The run as the user meets it, from the panel's "Clear Now" or from Windows start (launch.exe
// starts the same run): the progress window's last line names the browser left alone, and stays
// long enough to read before the run ends by itself.
TEST_F(BrowsersTest, TheProgressWindowNamesTheBrowserItLeftAlone) {
  for (const char* start : {"clear.exe", "launch.exe"}) {
    SCOPED_TRACE(start);
    RemoveBrowsers();
    LayChromium();
    HeldFile running(Chromium + "\\lockfile");
    testutil::TempFolder folder;
    for (const char* f : {"clear.exe", "launch.exe", "browsers.dll"})
      ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\" + f, folder.path()));
    WriteWholeFile(folder / "exclude.ini", "");
    WriteWholeFile(folder / "quietrail.ini",
                   "[Settings]\r\nHistory=0\r\nTmpInt=1\r\nCookies=0\r\nRecent=0\r\nURL=0\r\nStartup=1\r\n"
                   "ClearDialog=1\r\nBrowsers=1\r\n\r\n[Launch]\r\nSplash=0\r\nTray=0\r\n");
    e2e::Program p(folder.path(), start, "K4T9B3");
    ASSERT_TRUE(p.Started());
    std::string line;
    auto shown = std::chrono::steady_clock::now();
    bool ended = testutil::PumpUntil(
        [&] {
          HWND w = FindWindowA("frmMain", nullptr);
          if (w && line.empty()) {
            line = testutil::TextOf(e2e::Control(w, "lblBrowsers"));
            shown = std::chrono::steady_clock::now();
          }
          return !line.empty() && !FindWindowA("frmMain", nullptr);
        },
        std::chrono::seconds(90));
    EXPECT_TRUE(ended);
    EXPECT_EQ(line, "Not cleared while open: Chromium");
    // Read while the window stood; the run's own timer, not this test, says how long.
    EXPECT_GT(std::chrono::steady_clock::now() - shown, std::chrono::seconds(3));
    p.WaitForEnd();
  }
}

// A stand-in browser (fakebrowser.exe) copied under a browser's program name into `folder` and
// started on the profile's lock file; `shown` 0 runs it in the background, 1 with a window, 2
// with a window that will not close.
class FakeBrowser {
 public:
  FakeBrowser(const std::string& folder, const std::string& exe, const std::string& lock, int shown)
      : report_(folder + "\\report-" + std::to_string(shown) + ".txt") {
    MakeFolders(folder);
    DeleteFileA(report_.c_str());
    EXPECT_TRUE(testutil::CopyInto(winapp::ProgramFolder() + "\\fakebrowser.exe", folder, exe));
    program_ = std::make_unique<e2e::Program>(folder, exe, "\"" + lock + "\" " + std::to_string(shown) + " \"" + report_ + "\"");
    EXPECT_TRUE(testutil::PumpUntil([&] { return !Report().empty(); }, std::chrono::seconds(30)));
    if (shown) {
      EXPECT_TRUE(testutil::PumpUntil([&] { return !testutil::TopWindows("QrFakeBrowser", program_->Id(), true).empty(); },
                                      std::chrono::seconds(30)));
    }
  }
  std::string Report() const { return ReadWholeFile(report_); }
  e2e::Program& program() { return *program_; }

 private:
  std::string report_;
  std::unique_ptr<e2e::Program> program_;
};

const std::string ChromiumProgram = Local + "\\Chromium\\Application";

// The module's own calls, as the panel and the tray make them.
struct Module {
  HMODULE h;
  explicit Module(const std::string& folder) : h(LoadLibraryA((folder + "\\browsers.dll").c_str())) {}
  ~Module() { FreeLibrary(h); }
  template <typename P>
  P Proc(const char* name) const {
    return reinterpret_cast<P>(reinterpret_cast<void*>(GetProcAddress(h, name)));
  }
  BrowserRun Find(int history = 1) {
    BrowserRun run{};
    run.size = sizeof run;
    run.History = history;
    auto find = Proc<FindOpenBrowsersProc>(FIND_OPEN_BROWSERS_EXPORT);
    EXPECT_EQ(find(&run), 0);
    return run;
  }
  int Close(BrowserRun& run, unsigned wait) {
    return Proc<CloseBrowsersProc>(CLOSE_BROWSERS_EXPORT)(&run, wait);
  }
};

// An open browser is found by its program in its own install folder, for this user: one with a
// window gets the ordinary close and saves, one in the background is ended, one that will not
// close is never forced, and a program of the same name elsewhere is none of its business.
TEST_F(BrowsersTest, OpenBrowsersAreClosedAsTheyRun) {
  struct Case {
    const char* name;
    std::string folder;
    int shown;
    int state;           // what the module sees
    bool closes;         // gone after the close
    const char* report;  // what the stand-in wrote
    const char* line;    // the run afterwards
  } cases[] = {
      {"with a window", ChromiumProgram, 1, BrowserInWindows, true, "held\nsaved\n", ""},
      {"in the background", ChromiumProgram, 0, BrowserInBackground, true, "held\n", ""},
      {"a window that will not close", ChromiumProgram, 2, BrowserInWindows, false, "held\n",
       "Not cleared while open: Chromium"},
      {"same name elsewhere", Local + "\\Elsewhere", 1, BrowserClosed, false, "held\n",
       "Not cleared while open: Chromium"},
  };
  Module module(program.path());
  ASSERT_TRUE(module.h);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveBrowsers();
    LayChromium();
    FakeBrowser browser(c.folder, "chrome.exe", Chromium + "\\lockfile", c.shown);
    BrowserRun found = module.Find();
    EXPECT_EQ(found.Outcome[BrowserChromium], c.state);
    EXPECT_EQ(found.Outcome[BrowserFirefox], BrowserClosed);
    // Closed only as the user said: the test says yes to every browser open.
    if (c.state == BrowserClosed) found.Outcome[BrowserChromium] = BrowserInWindows;
    EXPECT_EQ(module.Close(found, c.closes ? 10000 : 1500), c.closes ? 0 : 1);
    EXPECT_EQ(!browser.program().Running(), c.closes);
    EXPECT_EQ(browser.Report(), c.report);
    EXPECT_EQ(Run({1, 1, 0, 0, 0}), c.line);
  }
  EXPECT_EQ(module.Find(0).Outcome[BrowserChromium], BrowserClosed) << "no choice, nothing to close";
}

// The question before a run started from a window: Yes closes, No leaves the browser to be named
// by the run, Cancel starts no run. Answered here as a user would, by the message box's buttons.
TEST_F(BrowsersTest, TheQuestionBeforeARunFollowsTheAnswer) {
  WriteWholeFile(program / "quietrail.ini", "[Settings]\r\nHistory=1\r\nTmpInt=0\r\nCookies=0\r\nRecent=0\r\nURL=0\r\nBrowsers=1\r\n");
  for (int answer : {IDYES, IDNO, IDCANCEL}) {
    SCOPED_TRACE(answer);
    RemoveBrowsers();
    LayChromium();
    FakeBrowser browser(ChromiumProgram, "chrome.exe", Chromium + "\\lockfile", 0);
    std::string question;
    std::thread answering([&] {
      HWND box = nullptr;
      for (int i = 0; i < 600 && !box; ++i, Sleep(50)) box = FindWindowA("#32770", "Quietrail 2003");
      if (!box) return;
      HWND text = FindWindowExA(box, nullptr, "Static", nullptr);
      while (text && testutil::TextOf(text).empty()) text = FindWindowExA(box, text, "Static", nullptr);
      question = text ? testutil::TextOf(text) : "";
      PostMessageA(box, WM_COMMAND, answer, 0);
    });
    bool start = winapp::ReadyBrowsersForRun(nullptr, program.path());
    answering.join();
    EXPECT_NE(question.find("These browsers are open: Chromium (in the background)."), std::string::npos) << question;
    EXPECT_EQ(start, answer != IDCANCEL);
    EXPECT_EQ(browser.program().Running(), answer != IDYES);
  }
  // Nothing is asked where the browsers are not chosen.
  WriteWholeFile(program / "quietrail.ini", "[Settings]\r\nHistory=1\r\nBrowsers=0\r\n");
  FakeBrowser browser(ChromiumProgram, "chrome.exe", Chromium + "\\lockfile", 0);
  EXPECT_TRUE(winapp::ReadyBrowsersForRun(nullptr, program.path()));
  EXPECT_TRUE(browser.program().Running());
}

// A browser started while its profile is being cleaned finds the profile in use, and the
// databases are sound afterwards. It is started from inside the run, while Chromium's cookies are
// being decided, so that it meets the run at work every time.
TEST_F(BrowsersTest, ABrowserStartedDuringTheRunFindsItsProfileInUse) {
  RemoveBrowsers();
  LayChromium();
  struct Context {
    std::unique_ptr<FakeBrowser> browser;
  } context;
  BrowserRun run{};
  run.size = sizeof run;
  run.History = run.Cookies = run.TmpInt = 1;
  run.KeepContext = &context;
  run.KeepCookie = [](void* p, const char*) {
    auto* c = static_cast<Context*>(p);
    if (!c->browser) {
      c->browser = std::make_unique<FakeBrowser>(ChromiumProgram, "chrome.exe", Chromium + "\\lockfile", 0);
      c->browser->program().WaitForEnd();
    }
    return 0;
  };
  Module module(program.path());
  auto clear = module.Proc<ClearBrowsersProc>(CLEAR_BROWSERS_EXPORT);
  ASSERT_EQ(clear(&run), 0);
  ASSERT_TRUE(context.browser);
  EXPECT_EQ(context.browser->Report(), "busy\n");
  EXPECT_EQ(run.Outcome[BrowserChromium], BrowserCleared);
  EXPECT_FALSE(Exists(Chromium + "\\lockfile")) << "the lock file made for the run goes with it";
  for (const char* db : {"\\Default\\History", "\\Default\\Network\\Cookies", "\\Default\\Favicons"})
    EXPECT_EQ(One(Chromium + db, "PRAGMA integrity_check"), "ok") << db;
}

}  // namespace

// The sites with cookies as the keep-list's picker lists them: every browser's hosts and the
// platform's cookies counted by site and judged by the list's rule, every profile left byte for
// byte (no side file made), and a browser whose cookies cannot be read named for it.
TEST_F(BrowsersTest, CookieSitesAreCountedAndTheProfilesLeftAsTheyWere) {
  const std::string crDefault = Chromium + "\\Default\\Network\\Cookies", crProfile1 = Chromium + "\\Profile 1\\Cookies",
                    fxCookies = Firefox + "\\cookies.sqlite";
  WriteWholeFile(program / "quietrail.ini", "[Settings]\r\nBrowsers=1\r\n");
  Module module(program.path());
  auto list = module.Proc<ListCookieSitesProc>(LIST_COOKIE_SITES_EXPORT);
  ASSERT_TRUE(list);
  struct Listed {
    std::map<std::string, std::string> sites;  // name -> "count kept"
    BrowserRun run{};
  };
  auto List = [&](const char* text) {
    Listed l;
    l.run.size = sizeof l.run;
    EXPECT_EQ(list((program / "quietrail.ini").c_str(), text, &l.run,
                   [](void* c, const char* site, unsigned long n, int kept) {
                     (*static_cast<std::map<std::string, std::string>*>(c))[site] = std::to_string(n) + (kept ? " kept" : "");
                   }, &l.sites), 0);
    return l;
  };
  // What the databases hold, counted by the test: hosts with their leading dot dropped.
  const std::string crSql = "SELECT ltrim(host_key, '.'), count(*) FROM cookies GROUP BY 1",
                    fxSql = "SELECT ltrim(host, '.'), count(*) FROM moz_cookies GROUP BY 1";
  auto Counted = [](const std::vector<std::pair<std::string, std::string>>& files) {
    std::map<std::string, long> n;
    for (const auto& [file, sql] : files)
      for (const std::string& row : Rows(file, sql)) n[row.substr(0, row.find('|'))] += std::stol(row.substr(row.find('|') + 1));
    return n;
  };

  testcache::EmptyCache();
  ASSERT_TRUE(testcache::SeedCookie("Cookie:qr@www.localhost/"));
  LayChromium();
  LayFirefox();
  std::map<std::string, long> expected = Counted({{crDefault, crSql}, {crProfile1, crSql}, {fxCookies, fxSql}});
  ASSERT_EQ(expected.size(), 2u) << "the made profiles' two hosts";
  // Taken after the test's own reading, which may leave a side file of its own.
  Snapshot chromium = Take(Chromium), firefox = Take(Firefox);
  auto Changed = [](const Snapshot& before, const Snapshot& after) {
    std::string names;
    for (const auto& [name, bytes] : after)
      if (!before.count(name) || before.at(name) != bytes) names += name + " ";
    for (const auto& [name, bytes] : before)
      if (!after.count(name)) names += name + " (gone) ";
    return names;
  };
  Listed l = List("bank, LocalHost,");
  EXPECT_EQ(l.sites, (std::map<std::string, std::string>{{"127.0.0.1", std::to_string(expected["127.0.0.1"])},
                                                          {"localhost", std::to_string(expected["localhost"] + 1) + " kept"}}));
  EXPECT_EQ(l.run.Outcome[BrowserChromium], BrowserCleared);
  EXPECT_EQ(l.run.Outcome[BrowserFirefox], BrowserCleared);
  EXPECT_EQ(l.run.Outcome[BrowserChrome], BrowserNotFound);
  EXPECT_EQ(Changed(chromium, Take(Chromium)) + Changed(firefox, Take(Firefox)), "");

  // Open in a browser that does not lock others out (a read under way on a connection of its
  // own): read all the same.
  {
    sqlite3* open = nullptr;
    ASSERT_EQ(sqlite3_open_v2(fxCookies.c_str(), &open, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* read = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(open, "SELECT host FROM moz_cookies", -1, &read, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(read), SQLITE_ROW);
    EXPECT_EQ(List("").run.Outcome[BrowserFirefox], BrowserCleared);
    sqlite3_finalize(read);
    sqlite3_close(open);
  }

  // Firefox held as a running Firefox holds it; a damaged profile of Chromium's.
  std::string bytes = ReadWholeFile(crProfile1);
  for (size_t at = 4096; at < bytes.size(); at += 7) bytes[at] = static_cast<char>(at * 31);
  WriteWholeFile(crProfile1, bytes);
  {
    HeldDatabase held(fxCookies);
    ASSERT_TRUE(held.held());
    expected = Counted({{crDefault, crSql}});
    chromium = Take(Chromium);
    l = List("");
    EXPECT_EQ(l.run.Outcome[BrowserFirefox], BrowserRunning);
    EXPECT_EQ(l.run.Outcome[BrowserChromium], BrowserDamaged);
    EXPECT_EQ(l.sites["127.0.0.1"], std::to_string(expected["127.0.0.1"])) << "the sound profile is still read";
    EXPECT_EQ(Changed(chromium, Take(Chromium)), "");
  }
  testcache::EmptyCache();
}

namespace {

// Counting reads every profile and changes no byte of it (no -wal, -shm or -journal left, no lock
// file made), and its numbers are the ones the run that follows erases.
TEST_F(BrowsersTest, CountingChangesNothingAndAgreesWithTheRun) {
  for (const char* exclude : {"", "127.0.0.1"}) {
    SCOPED_TRACE(exclude);
    RemoveBrowsers();
    LayChromium();
    LayOpera();
    LayFirefox();
    WriteWholeFile(program / "exclude.ini", exclude);
    const BrowserFlags all{1, 1, 1, 1, 1};
    unsigned long long visits = 0;
    for (const std::string& db : {CrHistory, Chromium + "\\Profile 1\\History", Opera + "\\History"})
      visits += std::stoull(One(db, "SELECT count(*) FROM visits"));
    const unsigned long long firefoxVisits = std::stoull(One(FxPlaces, "SELECT count(*) FROM moz_historyvisits"));
    // The browsers' folders only: the user's folders also hold Wine's links to the home folder.
    const std::string folders[] = {Local + "\\Chromium", Roaming + "\\Opera Software", Local + "\\Opera Software",
                                   Roaming + "\\Mozilla", Local + "\\Mozilla"};
    std::vector<Snapshot> before;
    for (const std::string& f : folders) before.push_back(Take(f));

    BrowserTally counted{};
    unsigned char outcomes[BrowserCount] = {};
    EXPECT_EQ(ClearOtherBrowsers(program.path(), all, &counted, true, outcomes), "");
    for (size_t f = 0; f < std::size(folders); ++f) {
      EXPECT_FALSE(before[f].empty()) << folders[f];
      EXPECT_TRUE(Take(folders[f]) == before[f]) << folders[f];
    }
    ASSERT_EQ(counted.size, sizeof counted);
    const BrowserCounts& cr = counted.Browser[BrowserChromium];
    const BrowserCounts& fx = counted.Browser[BrowserFirefox];
    EXPECT_EQ(outcomes[BrowserChromium], BrowserCleared);
    EXPECT_EQ(outcomes[BrowserFirefox], BrowserCleared);
    EXPECT_EQ(cr.Visits + counted.Browser[BrowserOpera].Visits, visits);
    EXPECT_EQ(fx.Visits, firefoxVisits);
    EXPECT_GT(cr.Pages * fx.Pages * cr.Files * cr.Bytes * fx.Files * fx.Rows, 0u);
    EXPECT_EQ(cr.CookiesKept == 0 && fx.CookiesKept == 0, std::string(exclude).empty());

    BrowserTally erased{};
    EXPECT_EQ(ClearOtherBrowsers(program.path(), all, &erased), "");
    for (int b = 0; b < BrowserCount; ++b) {
      SCOPED_TRACE(b);
      const BrowserCounts &c = counted.Browser[b], &e = erased.Browser[b];
      const BrowserSites &cs = counted.Sites[b], &es = erased.Sites[b];
      EXPECT_EQ(std::vector<unsigned long long>({c.Pages, c.Visits, c.Cookies, c.CookiesKept, c.Rows, c.Files, c.Bytes,
                                                 cs.Sites, cs.SitesKept}),
                std::vector<unsigned long long>({e.Pages, e.Visits, e.Cookies, e.CookiesKept, e.Rows, e.Files, e.Bytes,
                                                 es.Sites, es.SitesKept}));
    }
  }
}

}  // namespace
