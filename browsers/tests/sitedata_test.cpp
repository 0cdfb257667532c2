// The Cookies choice's site data against profiles that Debian's chromium and firefox-esr made by
// visiting pages that store values on two hosts (make_profiles.py): the kept host's values stay,
// the other's are gone from the stores and from their files' bytes, extensions' data is untouched,
// and a store that is damaged, of an unknown version or held leaves its browser whole and named.
#include <windows.h>

#include <gtest/gtest.h>
#include <leveldb/db.h>

#include <functional>
#include <memory>
#include <set>

#include "browser_places.h"
#include "cleaners.h"
#include "sitedata.h"
#include "test_util.h"

namespace {

using namespace browsertest;
using namespace std::string_literals;
using testutil::Exists;
using testutil::WriteWholeFile;

const std::string Profile = Chromium + "\\Default";
const std::string LocalStorage = Profile + "\\Local Storage\\leveldb";
const std::string SessionStorage = Profile + "\\Session Storage";
const std::string Workers = Profile + "\\Service Worker\\Database";
const std::string IndexedDb = Profile + "\\IndexedDB";
const std::string SharedStorage = Profile + "\\SharedStorage";
const std::string Dictionaries = Profile + "\\Shared Dictionary";
const std::string WebSql = Profile + "\\databases";
const std::string ExtensionIdb = IndexedDb + "\\chrome-extension_qrextension_0.indexeddb.leveldb";
const std::string FirefoxStorage = Firefox + "\\storage\\default";
const std::string FirefoxExtension = FirefoxStorage + "\\moz-extension+++0b1c2d3e^userContextId=4294967295";
const std::string Erased = "127.0.0.1";  // the keep-list below keeps localhost alone

using Records = std::map<std::string, std::string>;

Records Read(const std::string& folder) {
  Records out;
  leveldb::DB* db = nullptr;
  leveldb::Options options;
  if (!leveldb::DB::Open(options, folder, &db).ok()) return {{"error", "not opened"}};
  std::unique_ptr<leveldb::Iterator> it(db->NewIterator({}));
  for (it->SeekToFirst(); it->Valid(); it->Next()) out[it->key().ToString()] = it->value().ToString();
  it.reset();
  delete db;
  return out;
}

void Write(const std::string& folder, const Records& records) {
  leveldb::DB* db = nullptr;
  ASSERT_TRUE(leveldb::DB::Open(leveldb::Options(), folder, &db).ok()) << folder;
  for (const auto& [key, value] : records) db->Put({}, key, value);
  delete db;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA f;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &f);
  if (h == INVALID_HANDLE_VALUE) return names;
  do
    if (strcmp(f.cFileName, ".") && strcmp(f.cFileName, "..")) names.insert(f.cFileName);
  while (FindNextFileA(h, &f));
  FindClose(h);
  return names;
}

// The files of a folder whose bytes hold `text` (LevelDB's own logs of its work aside).
std::vector<std::string> FilesHolding(const std::string& folder, const std::string& text) {
  std::vector<std::string> found;
  for (const auto& [name, bytes] : Take(folder))
    if (name.find("\\LOG") == std::string::npos && bytes.find(text) != std::string::npos) found.push_back(name);
  return found;
}

std::string Guid(char c) { return std::string(8, c) + "_" + std::string(4, c) + "_" + std::string(4, c) + "_" +
                                  std::string(4, c) + "_" + std::string(12, c); }

// The made site-data profiles where Windows keeps them, with what a page cannot make: an
// extension's data, and tabs' session storage (the made one ended with its tabs).
void LaySiteData() {
  MakeFolders(Chromium);
  testutil::CopyTree(Made("chromium") + "\\Site Data", Chromium);
  MakeFolders(Firefox);
  testutil::CopyTree(Made("firefox-esr") + "\\site-data", Firefox);
  WriteWholeFile(Roaming + "\\Mozilla\\Firefox\\profiles.ini",
                 "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\nPath=Profiles/qr.default-release\r\n");
  Write(LocalStorage, {{"_chrome-extension://qrextension\0\x01k"s, "\x01EXTVAL"},
                       {"META:chrome-extension://qrextension", "\x08\x01"}});
  // Two tabs of the erased host, one sharing its map with a kept host's tab.
  Write(SessionStorage, {{"namespace-" + Guid('a') + "-http://127.0.0.1:47122/", "7"}, {"map-7-qr", "SSVAL-127.0.0.1"},
                         {"namespace-" + Guid('b') + "-http://localhost:47122/", "8"}, {"map-8-qr", "SSVAL-localhost"},
                         {"namespace-" + Guid('c') + "-http://127.0.0.1:47122/", "8"}, {"next-map-id", "9"}});
  MakeFolders(ExtensionIdb);
  WriteWholeFile(ExtensionIdb + "\\000003.log", "EXTVAL");
  MakeFolders(FirefoxExtension + "\\idb");
  WriteWholeFile(FirefoxExtension + "\\idb\\1.sqlite", "EXTVAL");
  // Stores the browser makes only for enrolled sites (Shared Storage) or no longer makes (WebSQL), in
  // the browser's own layout; the extension's rows stay with the kept host's.
  ASSERT_TRUE(Exec(SharedStorage,
                   "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
                   "INSERT INTO meta VALUES ('version', '6'), ('last_compatible_version', '6');"
                   "CREATE TABLE values_mapping(context_origin TEXT NOT NULL, key BLOB NOT NULL, value BLOB NOT NULL,"
                   " last_used_time INTEGER NOT NULL, PRIMARY KEY(context_origin, key)) WITHOUT ROWID;"
                   "CREATE TABLE per_origin_mapping(context_origin TEXT NOT NULL PRIMARY KEY, creation_time INTEGER NOT NULL,"
                   " num_bytes INTEGER NOT NULL) WITHOUT ROWID;"
                   "CREATE TABLE budget_mapping(id INTEGER NOT NULL PRIMARY KEY, context_site TEXT NOT NULL,"
                   " time_stamp INTEGER NOT NULL, bits_debit REAL NOT NULL);"
                   "INSERT INTO values_mapping VALUES ('http://127.0.0.1:47122', 'qr', CAST('SHVAL-127.0.0.1' AS BLOB), 1),"
                   " ('http://localhost:47122', 'qr', CAST('SHVAL-localhost' AS BLOB), 1),"
                   " ('chrome-extension://qrextension', 'qr', CAST('EXTVAL' AS BLOB), 1);"
                   "INSERT INTO per_origin_mapping VALUES ('http://127.0.0.1:47122', 1, 30), ('http://localhost:47122', 1, 30),"
                   " ('chrome-extension://qrextension', 1, 12);"
                   "INSERT INTO budget_mapping VALUES (1, 'http://127.0.0.1', 1, 1.5), (2, 'http://localhost', 1, 1.5);",
                   true));
  MakeFolders(WebSql);
  ASSERT_TRUE(Exec(WebSql + "\\Databases.db",
                   "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);"
                   "INSERT INTO meta VALUES ('version', '2'), ('last_compatible_version', '1');"
                   "CREATE TABLE Databases (id INTEGER PRIMARY KEY AUTOINCREMENT, origin TEXT NOT NULL, name TEXT NOT NULL,"
                   " description TEXT NOT NULL, estimated_size INTEGER NOT NULL);"
                   "INSERT INTO Databases (origin, name, description, estimated_size) VALUES"
                   " ('http_127.0.0.1_47122', 'qr', '', 1), ('http_localhost_47122', 'qr', '', 1),"
                   " ('chrome-extension_qrextension_0', 'qr', '', 1);",
                   true));
  for (const char* origin : {"http_127.0.0.1_47122", "http_localhost_47122", "chrome-extension_qrextension_0"}) {
    MakeFolders(WebSql + "\\" + origin);
    WriteWholeFile(WebSql + "\\" + origin + "\\1", "WSQLVAL-"s + origin);
  }
  for (const char* file : {"\\webappsstore.sqlite", "\\storage\\ls-archive.sqlite"})
    ASSERT_TRUE(Exec(Firefox + file, "INSERT INTO webappsstore2 VALUES ('', '1.0.0.721.:http:47122', '', 'qr', 'WSVAL-127.0.0.1'),"
                                     " ('', 'tsohlacol.:http:47122', '', 'qr', 'WSVAL-localhost')"));
}

class SiteDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Made("chromium").empty() || Made("firefox-esr").empty()) << "no made profiles (QR_PROFILES_DIR)";
    ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\browsers.dll", program.path()));
    RemoveBrowsers();
    LaySiteData();
  }
  void TearDown() override { RemoveBrowsers(); }
  std::string RunCookies(BrowserTally* tally = nullptr, bool countOnly = false) {
    WriteWholeFile(program / "exclude.ini", "LocalHost,\r\n");
    return ClearOtherBrowsers(program.path(), {0, 0, 1, 0, 0}, tally, countOnly);
  }
  testutil::TempFolder program;
};

TEST_F(SiteDataTest, TheCookiesChoiceKeepsTheKeptSitesDataAndErasesEveryOtherSites) {
  Records extension;
  for (const auto& [key, value] : Read(LocalStorage))
    if (key.find("chrome-extension://") != std::string::npos) extension[key] = value;
  Snapshot extensionFiles = Take(ExtensionIdb), firefoxExtension = Take(FirefoxExtension);
  ASSERT_EQ(extension.size(), 2u);

  // Counting reads every store as the run's check does, from copies: no byte of either browser
  // changes, and its sites are the ones the run then erases and keeps.
  Snapshot chromium = Take(Chromium), firefox = Take(Firefox);
  BrowserTally counted, erased;
  EXPECT_EQ(RunCookies(&counted, true), "");
  EXPECT_TRUE(Take(Chromium) == chromium && Take(Firefox) == firefox);
  EXPECT_EQ(RunCookies(&erased), "");
  for (BrowserId b : {BrowserChromium, BrowserFirefox}) {
    SCOPED_TRACE(b);
    EXPECT_EQ(counted.Sites[b].Sites, 1u) << "127.0.0.1";
    EXPECT_EQ(counted.Sites[b].SitesKept, 1u) << "localhost";
    EXPECT_EQ(erased.Sites[b].Sites, counted.Sites[b].Sites);
    EXPECT_EQ(erased.Sites[b].SitesKept, counted.Sites[b].SitesKept);
  }

  // The kept host's values, the extension's, nothing of the other host.
  Records local = Read(LocalStorage);
  EXPECT_EQ(local["_http://localhost:47122\0\x01qr"s], "\x01LSVAL-localhost");
  for (const auto& [key, value] : extension) EXPECT_EQ(local[key], value) << key;
  Records session = Read(SessionStorage);
  EXPECT_EQ(session["map-8-qr"], "SSVAL-localhost") << "a map a kept tab shares stays";
  EXPECT_FALSE(session.count("map-7-qr"));
  Records workers = Read(Workers);
  EXPECT_TRUE(workers.count("INITDATA_UNIQUE_ORIGIN:http://localhost:47122/"));
  size_t purged = 0;
  for (const Records* store : {&local, &session, &workers})
    for (const auto& [key, value] : *store) {
      EXPECT_EQ(key.find(Erased), std::string::npos) << key;
      purged += key.rfind("PRES:", 0) == 0;
    }
  EXPECT_GT(purged, 0u) << "the erased worker's scripts handed to the browser's purge";
  EXPECT_EQ(Names(IndexedDb), (std::set<std::string>{"chrome-extension_qrextension_0.indexeddb.leveldb",
                                                     "http_localhost_47122.indexeddb.leveldb"}));
  EXPECT_EQ(Names(Profile + "\\Service Worker\\CacheStorage").size(), 1u);
  EXPECT_EQ(Rows(Profile + "\\WebStorage\\QuotaManager", "SELECT host FROM buckets"), std::vector<std::string>{"localhost"});
  EXPECT_EQ(Take(ExtensionIdb), extensionFiles);
  // Nothing deleted stays readable in any file of the stores.
  EXPECT_EQ(Names(Profile + "\\File System").size(), 2u) << "the store and the kept origin's folder";
  for (const std::string& folder : {LocalStorage, SessionStorage, Workers, Profile + "\\Service Worker\\CacheStorage",
                                    IndexedDb, Profile + "\\File System"})
    EXPECT_EQ(FilesHolding(folder, "VAL-" + Erased), std::vector<std::string>{}) << folder;
  for (const std::string& folder : {LocalStorage, SessionStorage, Profile + "\\File System\\Origins"})
    EXPECT_EQ(FilesHolding(folder, Erased), std::vector<std::string>{}) << folder;

  // The SQLite stores of site data: the kept host's rows and the extension's, no erased byte left.
  const std::string extensionOrigin = "chrome-extension://qrextension", kept = "http://localhost:47122";
  EXPECT_EQ(Rows(SharedStorage, "SELECT context_origin FROM values_mapping ORDER BY 1"),
            (std::vector<std::string>{extensionOrigin, kept}));
  EXPECT_EQ(Rows(SharedStorage, "SELECT context_origin FROM per_origin_mapping ORDER BY 1"),
            (std::vector<std::string>{extensionOrigin, kept}));
  EXPECT_EQ(Rows(SharedStorage, "SELECT context_site FROM budget_mapping"), std::vector<std::string>{"http://localhost"});
  EXPECT_EQ(Rows(Dictionaries + "\\db", "SELECT host FROM dictionaries"), std::vector<std::string>{kept});
  EXPECT_EQ(One(Dictionaries + "\\db", "SELECT value = (SELECT sum(size) FROM dictionaries) FROM meta WHERE key = 'total_dict_size'"), "1");
  EXPECT_EQ(Rows(WebSql + "\\Databases.db", "SELECT origin FROM Databases ORDER BY 1"),
            (std::vector<std::string>{"chrome-extension_qrextension_0", "http_localhost_47122"}));
  EXPECT_EQ(Names(WebSql), (std::set<std::string>{"Databases.db", "chrome-extension_qrextension_0", "http_localhost_47122"}));
  EXPECT_EQ(ReadWholeFile(SharedStorage).find("SHVAL-" + Erased), std::string::npos);
  for (const std::string& folder : {Dictionaries, WebSql})
    EXPECT_EQ(FilesHolding(folder, Erased), std::vector<std::string>{}) << folder;

  EXPECT_EQ(Names(FirefoxStorage), (std::set<std::string>{"http+++localhost+47122",
                                                          "moz-extension+++0b1c2d3e^userContextId=4294967295"}));
  EXPECT_EQ(Take(FirefoxExtension), firefoxExtension);
  std::string registrations = ReadWholeFile(Firefox + "\\serviceworker.txt");
  EXPECT_NE(registrations.find("http://localhost:47122/"), std::string::npos);
  EXPECT_EQ(registrations.find(Erased), std::string::npos);
  EXPECT_EQ(One(Firefox + "\\storage.sqlite", "SELECT valid FROM cache"), "0");
  EXPECT_EQ(One(Firefox + "\\storage.sqlite", "SELECT count(*) FROM origin WHERE origin LIKE '%127.0.0.1%'"), "0");
  for (const char* file : {"\\webappsstore.sqlite", "\\storage\\ls-archive.sqlite"}) {
    EXPECT_EQ(Rows(Firefox + file, "SELECT value FROM webappsstore2"), std::vector<std::string>{"WSVAL-localhost"}) << file;
    EXPECT_EQ(ReadWholeFile(Firefox + file).find("WSVAL-" + Erased), std::string::npos) << file;
  }

  // For the browsers to read back (make_profiles.py --check-site-data).
  std::string cleaned = testutil::FolderFromEnvironment("QR_PROFILES_DIR") + "\\cleaned";
  testutil::RemoveTree(cleaned);
  MakeFolders(cleaned + "\\chromium");
  MakeFolders(cleaned + "\\firefox");
  testutil::CopyTree(Chromium, cleaned + "\\chromium");
  testutil::CopyTree(Firefox, cleaned + "\\firefox");
}

void Damage(const std::string& folder) {
  for (const auto& [name, bytes] : Take(folder))
    if (name.size() > 4 && name.substr(name.size() - 4) == ".log") {
      std::string damaged = bytes;
      for (size_t at = 20; at < damaged.size(); at += 5) damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
      WriteWholeFile(folder + name, damaged);
    }
}

// A store that LevelDB finds damaged, one of a version the module does not know, and one a
// running browser holds: the browser is left byte for byte as it was, and named, by counting
// first as by the run.
TEST_F(SiteDataTest, ADamagedUnknownOrHeldStoreLeavesItsBrowserWhole) {
  struct Case {
    const char* name;
    std::function<std::shared_ptr<void>()> make;
    const char* line;
    bool chromiumLeft;
  } cases[] = {
      {"Shared Storage of an unknown version", [] { Exec(SharedStorage, "UPDATE meta SET value = '7' WHERE key = 'version'"); return nullptr; },
       "Not cleared completely: Chromium", true},
      {"a dictionary's cache entry of an unknown format",
       [] {
         for (const std::string& name : Names(Dictionaries + "\\cache"))
           if (name.size() == 18 && name.substr(16) == "_0") {
             std::string entry = ReadWholeFile(Dictionaries + "\\cache\\" + name);
             WriteWholeFile(Dictionaries + "\\cache\\" + name, entry.replace(8, 1, "\x06"));
           }
         return nullptr;
       },
       "Not cleared completely: Chromium", true},
      {"a WebSQL folder of no known name", [] { MakeFolders(WebSql + "\\qr"); return nullptr; },
       "Not cleared completely: Chromium", true},
      {"Local Storage damaged", [] { Damage(LocalStorage); return nullptr; }, "Not cleared, data damaged: Chromium", true},
      // Read after two sound stores were opened: opening them changed none of their files.
      {"service-worker database damaged", [] { Damage(Workers); return nullptr; }, "Not cleared, data damaged: Chromium",
       true},
      {"Local Storage of an unknown version", [] { Write(LocalStorage, {{"VERSION", "2"}}); return nullptr; },
       "Not cleared completely: Chromium", true},
      {"Local Storage held", [] { return std::make_shared<HeldFile>(LocalStorage + "\\LOCK"); },
       "Not cleared while open: Chromium", true},
      {"Firefox's registrations of an unknown version",
       [] {
         std::string text = ReadWholeFile(Firefox + "\\serviceworker.txt");
         WriteWholeFile(Firefox + "\\serviceworker.txt", "13" + text.substr(text.find('\n')));
         return nullptr;
       },
       "Not cleared completely: Firefox", false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    if (i) {
      RemoveBrowsers();
      LaySiteData();
    }
    std::shared_ptr<void> held = cases[i].make();
    Snapshot chromium = Take(Chromium), firefox = Take(Firefox);
    BrowserTally counted;
    EXPECT_EQ(RunCookies(&counted, true), cases[i].line) << i;
    EXPECT_EQ(RunCookies(), cases[i].line) << i;
    EXPECT_EQ(Take(Chromium) == chromium, cases[i].chromiumLeft) << i;
    EXPECT_EQ(Take(Firefox) == firefox, !cases[i].chromiumLeft) << i;
  }
}

// Whose data a stored name is, in the forms the browsers write.
TEST(SiteDataNames, EachFormNamesItsOwner) {
  using browsers::Owner;
  struct Case {
    browsers::SiteOwner (*read)(std::string_view);
    const char* name;
    Owner owner;
    const char* host;
  } cases[] = {
      {browsers::OwnerOfOrigin, "https://Mail.Example.com", Owner::Web, "mail.example.com"},
      {browsers::OwnerOfOrigin, "http://127.0.0.1:47122/", Owner::Web, "127.0.0.1"},
      {browsers::OwnerOfOrigin, "https://[::1]:8443/", Owner::Web, "[::1]"},
      {browsers::OwnerOfOrigin, "https://embedded.example/^0https://top.example", Owner::Web, "embedded.example"},
      {browsers::OwnerOfOrigin, "chrome-extension://abcdef", Owner::Other, ""},
      {browsers::OwnerOfOrigin, "chrome://settings", Owner::Other, ""},
      {browsers::OwnerOfOrigin, "about:blank", Owner::Unknown, ""},
      {browsers::OwnerOfOrigin, "https://user@host", Owner::Unknown, ""},
      {browsers::OwnerOfIndexedDbFolder, "https_www.example.com_0.indexeddb.leveldb", Owner::Web, "www.example.com"},
      {browsers::OwnerOfIndexedDbFolder, "http_localhost_47122.indexeddb.blob", Owner::Web, "localhost"},
      {browsers::OwnerOfIndexedDbFolder, "chrome-extension_abcdef_0.indexeddb.leveldb", Owner::Other, ""},
      {browsers::OwnerOfIndexedDbFolder, "https_www.example.com_0.leveldb", Owner::Unknown, ""},
      {browsers::OwnerOfIndexedDbFolder, "https_x.indexeddb.leveldb", Owner::Unknown, ""},
      {browsers::OwnerOfFirefoxFolder, "https+++www.example.com", Owner::Web, "www.example.com"},
      {browsers::OwnerOfFirefoxFolder, "http+++localhost+47122^userContextId=2", Owner::Web, "localhost"},
      {browsers::OwnerOfFirefoxFolder, "https+++a.example^partitionKey=%28https%2Cb.example%29", Owner::Web, "a.example"},
      {browsers::OwnerOfFirefoxFolder, "http+++[++1]+8080", Owner::Web, "[++1]"},
      {browsers::OwnerOfFirefoxFolder, "moz-extension+++0b1c2d3e^userContextId=4294967295", Owner::Other, ""},
      {browsers::OwnerOfFirefoxFolder, "about+home", Owner::Other, ""},
      {browsers::OwnerOfFirefoxFolder, "https+++host+port", Owner::Unknown, ""},
      {browsers::OwnerOfFirefoxOriginKey, "moc.elpmaxe.www.:https:443", Owner::Web, "www.example.com"},
      {browsers::OwnerOfFirefoxOriginKey, "tsohlacol.:http:47122", Owner::Web, "localhost"},
      {browsers::OwnerOfFirefoxOriginKey, "localhost", Owner::Unknown, ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    browsers::SiteOwner o = cases[i].read(cases[i].name);
    EXPECT_EQ(o.owner, cases[i].owner) << i;
    EXPECT_EQ(o.host, cases[i].host) << i;
  }
}

}  // namespace
