// The cleaners on the real platform: a seeded URL cache, cookies and exclusion lists, typed URLs,
// recent documents and the URL history object.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "cleaners.h"
#include "clear_fixture.h"
#include "frmError.h"
#include "frmMain.h"
#include "modulelock.h"
#include "nameList.h"
#include "test_cache.h"

using namespace winapp;

namespace {

std::set<std::string> Left() {
  auto all = testcache::AllEntries();
  return {all.begin(), all.end()};
}

class Cleaners : public ::testing::Test {
 protected:
  void SetUp() override {
    app::ResetForTests();
    testcache::EmptyCache();
  }
  // One run of the real progress window in the test's program folder, first tick only.
  void RunOnce() {
    frmError error;
    frmMain run(error, dir.path(), LaunchToken);
    run.ShowAsStartup();
    SendMessageA(run.hwnd(), WM_TIMER, ControlId("Timer1"), 0);
    // The window keeps its hidden list box; the steps' names never pass through it.
    HWND list = GetDlgItem(run.hwnd(), ControlId("List1"));
    EXPECT_TRUE(list && !IsWindowVisible(list) && SendMessageA(list, LB_GETCOUNT, 0, 0) == 0);
    run.Unload();
    app::ResetForTests();
  }
  void SeedSites() {
    for (const char* url : {"http://example.com/index.html", "http://example.com/logo.gif",
                            "http://news.example.org/today.html", "http://example.com/images/Cookie.gif",
                            "http://example.com/cookie-recipe.html"})
      ASSERT_TRUE(testcache::SeedContent(url)) << url;
    for (const char* cookie : {"Cookie:user@yahoo.com/", "Cookie:user@mail.yahoo.com/", "Cookie:user@google.com/",
                               "Cookie:user@ads.tracker.net/"})
      ASSERT_TRUE(testcache::SeedCookie(cookie)) << cookie;
  }
  testutil::TempFolder dir;
};

TEST(CookieMatching, EntriesMatchAnywhereIgnoringCase) {
  struct Case {
    std::vector<std::string> entries;
    const char* name;
    bool excluded;
  } cases[] = {
      {{"yahoo"}, "Cookie:user@yahoo.com/", true},
      {{"YAHOO"}, "Cookie:user@mail.yahoo.com/", true},
      {{"yahoo"}, "Cookie:user@google.com/", false},
      {{"cookie"}, "Cookie:user@google.com/", true},
      {{"USER@"}, "Cookie:user@google.com/", true},
      {{""}, "Cookie:user@google.com/", false},  // an empty entry names no site
      {{"", "goo"}, "Cookie:user@google.com/", true},
      {{"zzz", "goo"}, "Cookie:user@google.com/", true},
      {{}, "Cookie:user@google.com/", false},
      {{" yahoo"}, "Cookie:user@yahoo.com/", false},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(IsExcluded(cases[i].name, UpperCaseEntries(cases[i].entries)), cases[i].excluded) << "case " << i;

  EXPECT_TRUE(IsCookieEntry("Cookie:user@x/"));
  EXPECT_FALSE(IsCookieEntry("cookie:user@x/"));
  EXPECT_FALSE(IsCookieEntry("http://x/Cookie"));
  EXPECT_FALSE(IsTemporaryFileEntry("http://x/Cookie.gif"));
  EXPECT_TRUE(IsTemporaryFileEntry("http://x/cookie.gif"));
}

TEST(CacheNameList, KeepsEachWalksNamesInOrderEndedForThePlatform) {
  NameList list;
  const char* walks[][3] = {{"Cookie:user@a.example/", "", "http://b.example/x.html"}, {"http://c/", "d", "e"}};
  for (size_t w = 0; w < std::size(walks); ++w) {
    list.Clear();
    for (const char* name : walks[w]) list.AddItem(name);
    ASSERT_EQ(list.ListCount(), 3) << "walk " << w;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(list.List(i), walks[w][i]) << "walk " << w << ", name " << i;
      EXPECT_EQ(list.List(i).data()[list.List(i).size()], '\0') << "walk " << w << ", name " << i;
    }
  }
}

TEST_F(Cleaners, TemporaryFilesAndCookiesSpareExactlyWhatTheyShould) {
  SeedSites();
  cleartest::WriteSettings(dir.path(), "0", "1", "1", "0", "0");
  testutil::WriteWholeFile(dir / "exclude.ini", "yahoo\r\n");
  RunOnce();
  std::set<std::string> expected = {"Cookie:user@yahoo.com/", "Cookie:user@mail.yahoo.com/",
                                    "http://example.com/images/Cookie.gif"};
  EXPECT_EQ(Left(), expected);
  EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), "yahoo\r\n");  // read, never rewritten
}

TEST_F(Cleaners, ExclusionListVariants) {
  struct Case {
    const char* file;  // null: no exclude.ini at all
    std::set<std::string> cookiesLeft;
  } cases[] = {
      {nullptr, {}},
      {"", {}},
      {"GOOGLE\r\n", {"Cookie:user@google.com/"}},
      // The empty entry after the comma names no site: only yahoo's cookies stay.
      {"yahoo,\r\n", {"Cookie:user@yahoo.com/", "Cookie:user@mail.yahoo.com/"}},
      {"google\r\n\r\n\r\n", {"Cookie:user@google.com/"}},  // empty lines after an entry too
      {"\r\n\r\ngoogle\r\n", {"Cookie:user@google.com/"}},  // leading empty lines add nothing
      {"mail.yahoo, tracker\r\n", {"Cookie:user@mail.yahoo.com/", "Cookie:user@ads.tracker.net/"}},
      {"\"google\r\n", {"Cookie:user@google.com/"}},  // unbalanced quote
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    testcache::EmptyCache();
    SeedSites();
    cleartest::WriteSettings(dir.path(), "0", "0", "1", "0", "0");
    DeleteFileA((dir / "exclude.ini").c_str());
    if (cases[i].file) testutil::WriteWholeFile(dir / "exclude.ini", cases[i].file);
    RunOnce();
    std::set<std::string> cookies;
    for (const std::string& name : Left())
      if (IsCookieEntry(name)) cookies.insert(name);
    EXPECT_EQ(cookies, cases[i].cookiesLeft) << "case " << i;
    // The cookie step leaves the content alone.
    EXPECT_TRUE(Left().count("http://example.com/index.html")) << "case " << i;
    if (!cases[i].file) {
      bool made = false;
      EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini", &made), "") << "case " << i;
      EXPECT_TRUE(made) << "case " << i;
    }
  }
}

TEST_F(Cleaners, AnExclusionListThatCannotBeReadOrMadeSparesEveryCookie) {
  for (int variant = 0; variant < 2; ++variant) {
    testcache::EmptyCache();
    SeedSites();
    cleartest::WriteSettings(dir.path(), "0", "1", "1", "0", "0");
    testutil::RemoveTree(dir / "exclude.ini");
    DeleteFileA((dir / "exclude.ini").c_str());
    HANDLE locked = INVALID_HANDLE_VALUE;
    if (variant == 0) {
      testutil::WriteWholeFile(dir / "exclude.ini", "nothing\r\n");
      locked = CreateFileA((dir / "exclude.ini").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
      ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    } else {
      ASSERT_TRUE(CreateDirectoryA((dir / "exclude.ini").c_str(), nullptr));  // cannot be created
    }
    RunOnce();
    if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked);
    int cookies = 0;
    for (const std::string& name : Left()) cookies += IsCookieEntry(name);
    EXPECT_EQ(cookies, 4) << "variant " << variant;
    EXPECT_FALSE(Left().count("http://example.com/index.html")) << "variant " << variant;  // content went
  }
  testutil::RemoveTree(dir / "exclude.ini");
}

TEST_F(Cleaners, DamagedExclusionListsNeverBreakTheRun) {
  std::string binary;
  for (int i = 0; i < 300000; ++i) binary += static_cast<char>((i * 131) & 0xFF);
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "site" + std::to_string(i) + ".example\r\n";
  const std::string files[] = {binary, many, std::string(1 << 20, 'x') + "\r\n", "\"\"\"\",,,\"\r\n\""};
  for (size_t i = 0; i < std::size(files); ++i) {
    testcache::EmptyCache();
    ASSERT_TRUE(testcache::SeedCookie("Cookie:user@google.com/"));
    cleartest::WriteSettings(dir.path(), "0", "0", "1", "0", "0");
    testutil::WriteWholeFile(dir / "exclude.ini", files[i]);
    RunOnce();
    SUCCEED() << "file " << i;
  }
}

TEST_F(Cleaners, TypedUrlsGoWithTheirKey) {
  cleartest::SeedTypedUrls();
  ASSERT_TRUE(cleartest::TypedUrlsPresent());
  cleartest::WriteSettings(dir.path(), "0", "0", "0", "0", "1");
  RunOnce();
  EXPECT_FALSE(cleartest::TypedUrlsPresent());
  RunOnce();  // the key is gone already: nothing happens
  EXPECT_FALSE(cleartest::TypedUrlsPresent());
}

TEST_F(Cleaners, RecentDocumentsListIsEmptiedShortcutsAndAll) {
  cleartest::SeedRecentDocs();
  ASSERT_GE(cleartest::RecentShortcutCount(), 2);
  cleartest::WriteSettings(dir.path(), "0", "0", "0", "1", "0");
  RunOnce();
  EXPECT_EQ(cleartest::RecentShortcutCount(), 0);
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
}

TEST_F(Cleaners, HistoryStepCallsTheHistoryObjectOnce) {
  cleartest::ForgetHistoryCalls();
  {
    cleartest::HistoryClassOverride stand_in(cleartest::TestBinFolder() + "\\fake_urlhistory.dll");
    cleartest::WriteSettings(dir.path(), "1", "0", "0", "0", "0");
    RunOnce();
  }
  EXPECT_EQ(cleartest::HistoryCalls(), "ClearHistory\r\nRelease\r\n");
}

TEST_F(Cleaners, HistoryObjectThatCannotBeCreatedIsSkipped) {
  SeedSites();
  cleartest::HistoryClassOverride missing(dir / "no-such-server.dll");
  cleartest::WriteSettings(dir.path(), "1", "1", "0", "0", "1");
  cleartest::SeedTypedUrls();
  frmError error;
  frmMain run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  SendMessageA(run.hwnd(), WM_TIMER, ControlId("Timer1"), 0);
  EXPECT_EQ(testutil::TextOf(GetDlgItem(run.hwnd(), ControlId("Label1"))), "Done");
  EXPECT_FALSE(cleartest::TypedUrlsPresent());
  EXPECT_FALSE(Left().count("http://example.com/index.html"));
  run.Unload();
  EXPECT_FALSE(SUCCEEDED(ClearUrlHistory()));
}

// Analyze reads the cache into one block it grows; the run probes and fetches each entry. Both
// must list the same entries with the same sizes, an entry larger than the first block and the
// one after it included.
TEST_F(Cleaners, AnalyzesReadingOfTheCacheListsWhatTheRunsWalkLists) {
  SeedSites();
  ASSERT_TRUE(testcache::SeedContent("http://big.example/" + std::string(1500, 'p'),
                                     "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(9000, 'h') + "\r\n\r\n"));
  ASSERT_TRUE(testcache::SeedContent("http://after.example/"));
  NameList probed, read;
  FillCacheNames(probed);
  FillCacheNames(read, CacheWalk::Read);
  ASSERT_EQ(probed.ListCount(), 11);
  ASSERT_EQ(read.ListCount(), probed.ListCount());
  for (int i = 0; i < probed.ListCount(); ++i) {
    EXPECT_EQ(read.List(i), probed.List(i)) << i;
    EXPECT_EQ(read.Size(i), probed.Size(i)) << i;
  }
}

TEST_F(Cleaners, EmptyCacheIsNoWork) {
  cleartest::WriteSettings(dir.path(), "0", "1", "1", "0", "0");
  RunOnce();
  EXPECT_TRUE(Left().empty());
}

}  // namespace

namespace {

// The run holds the browser module's lock while it calls the module, and lets it go after: the
// update checker never replaces the module under a run.
TEST(OtherBrowsers, TheRunHoldsTheModulesLockWhileItCallsIt) {
  testutil::TempFolder dir;
  ASSERT_TRUE(CopyFileA((cleartest::TestBinFolder() + "\\fake_browsers.dll").c_str(), (dir / "browsers.dll").c_str(),
                        FALSE));
  EXPECT_EQ(ClearOtherBrowsers(dir.path(), {0, 0, 0, 0, 0}), "");
  EXPECT_TRUE(winapp::BrowsersModuleLock(dir.path(), 0).Held());
}

}  // namespace
