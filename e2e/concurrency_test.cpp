// Several programs at once on one program folder: clearing runs side by side on one cache, and
// the panel saving the settings, the first-run files and the exclusion list while clearing runs
// and readers read them.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "clear_fixture.h"
#include "faults_util.h"
#include "programs.h"
#include "settings.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

using std::chrono::seconds;

using e2e::ConfirmedDatabase;
using e2e::Token;
using e2e::UnconfirmedDatabase;
using e2e::UserSettings;

std::set<std::string> CacheLeft() {
  auto all = testcache::AllEntries();
  return {all.begin(), all.end()};
}

// Puts a file in place whole, as the programs do, so that the watchers never see the test's own
// writing.
void PutWhole(const std::string& path, const std::string& content) {
  ASSERT_TRUE(winapp::ReplaceWholeFile(path, content)) << path;
}

class Concurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"clear.exe", "panel.exe", "accesskeep.ocx"}), "");
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "panel.dll", ConfirmedDatabase));
    testcache::EmptyCache();
    cleartest::ForgetHistoryCalls();
  }
  void TearDown() override { testcache::EmptyCache(); }

  // Starts `n` clearing runs at once.
  std::vector<std::unique_ptr<e2e::Program>> StartRuns(int n) {
    std::vector<std::unique_ptr<e2e::Program>> runs;
    AddRuns(runs, n);
    return runs;
  }
  void AddRuns(std::vector<std::unique_ptr<e2e::Program>>& runs, int n) {
    for (int i = 0; i < n; ++i) runs.push_back(std::make_unique<e2e::Program>(dir.path(), "clear.exe", Token));
  }
  // Every run ends by itself, without a crash, and leaves nothing behind.
  void ExpectAllEnd(std::vector<std::unique_ptr<e2e::Program>>& runs, const char* id) {
    for (size_t i = 0; i < runs.size(); ++i) {
      ASSERT_TRUE(runs[i]->Started()) << id << " run " << i;
      EXPECT_TRUE(runs[i]->WaitForEnd(seconds(120))) << id << " run " << i << " did not end by itself";
      EXPECT_EQ(runs[i]->ExitCode(), 0u) << id << " run " << i;
      EXPECT_EQ(faults::VisibleWindowsOf(runs[i]->Id()), 0) << id << " run " << i;
    }
    EXPECT_TRUE(testutil::PumpUntil([&] { return faults::ProcessesIn(dir.path()).empty(); }, seconds(10)))
        << id << ": a program of the folder is still running";
  }

  testutil::TempFolder dir;
};

// --- clearing runs side by side -------------------------------------------------------------------

TEST_F(Concurrency, EightRunsAtOnceEraseEverythingAndSpareTheExcludedCookies) {
  struct Case {
    const char* id;
    const char* exclude;  // null: no list when the runs start
    const char* clearDialog;
    std::set<std::string> kept;
  } cases[] = {
      {"C01", "BANK\r\nmail.example\r\n", "1",
       {"Cookie:user@bank.example/", "Cookie:user@mail.example/login", "http://example.com/Cookie.png"}},
      {"C02", nullptr, "0", {"http://example.com/Cookie.png"}},
  };
  cleartest::HistoryClassOverride standIn(cleartest::TestBinFolder() + "\\fake_urlhistory.dll");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    testcache::EmptyCache();
    cleartest::ForgetHistoryCalls();
    for (int i = 0; i < 6; ++i)
      ASSERT_TRUE(testcache::SeedContent("http://example.com/page" + std::to_string(i) + ".html"));
    ASSERT_TRUE(testcache::SeedContent("http://example.com/Cookie.png"));
    for (const char* cookie : {"Cookie:user@bank.example/", "Cookie:user@shop.example/", "Cookie:user@ads.example/",
                               "Cookie:user@mail.example/login", "Cookie:user@news.example/"})
      ASSERT_TRUE(testcache::SeedCookie(cookie)) << cookie;
    cleartest::SeedTypedUrls();
    cleartest::SeedRecentDocs();
    cleartest::WriteSettings(dir.path(), "1", "1", "1", "1", "1", c.clearDialog);
    DeleteFileA((dir / "exclude.ini").c_str());
    if (c.exclude) {
      ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", c.exclude));
    }

    auto runs = StartRuns(8);
    ExpectAllEnd(runs, c.id);
    EXPECT_EQ(CacheLeft(), c.kept);
    EXPECT_FALSE(cleartest::TypedUrlsPresent());
    EXPECT_EQ(cleartest::RecentShortcutCount(), 0);
    EXPECT_NE(cleartest::HistoryCalls().find("ClearHistory"), std::string::npos);
    // The list is left as it was, or made empty once where there was none.
    EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), c.exclude ? c.exclude : "");
  }
}

// --- the panel writing while others read ----------------------------------------------------------

// The settings dialog saves again and again, switching between two choices, while clearing runs
// start and a reader reads the file: each read finds the file as it was before a save or after
// it, whole, and so does each run.
TEST_F(Concurrency, C03_SettingsSavedWhileRunsReadThemAreNeverSeenHalfDone) {
  const std::string choices[2] = {"110011001", "001100110"};  // History..Tray; the runs stay unseen
  PutWhole(dir / "quietrail.ini", UserSettings);
  std::set<std::string> whole = {UserSettings};
  std::string last = UserSettings;
  for (const std::string& ticks : choices) whole.insert(faults::SettingsAfterSave(UserSettings, ticks));
  // Saving over a saved file gives the same bytes again.
  for (const std::string& ticks : choices)
    whole.insert(faults::SettingsAfterSave(faults::SettingsAfterSave(UserSettings, choices[0]), ticks));

  faults::Watcher watcher(dir / "quietrail.ini");
  std::vector<std::unique_ptr<e2e::Program>> runs;
  for (int round = 0; round < 6; ++round) {
    AddRuns(runs, 2);
    const std::string& ticks = choices[round % 2];
    faults::Session s = faults::SaveSettings(dir.path(), ticks);
    ASSERT_TRUE(s.opened && s.ended) << "C03 round " << round << ": " << s.note;
    EXPECT_EQ(s.exitCode, 0u) << "C03 round " << round;
    EXPECT_TRUE(s.note.empty()) << "C03 round " << round << ": " << s.note;
    std::string now = testutil::ReadWholeFile(dir / "quietrail.ini");
    EXPECT_EQ(now, faults::SettingsAfterSave(last, ticks)) << "C03 round " << round;
    last = now;
  }
  ExpectAllEnd(runs, "C03");
  watcher.Stop();
  EXPECT_GT(watcher.Reads(), 50) << "C03";
  EXPECT_EQ(watcher.Torn(whole), "") << "C03: reads of a settings file half saved";
  EXPECT_FALSE(testutil::Exists(dir / "quietrail.ini.new")) << "C03";
  EXPECT_FALSE(testutil::Exists(dir / "quietrail.ini.room")) << "C03";
}

// The welcome window puts the first-run settings in place while runs start: no run and no reader
// ever finds the settings file missing.
TEST_F(Concurrency, C04_WelcomeRewritesTheSettingsWithoutAMomentWithout) {
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", "bank\r\n"));
  std::set<std::string> whole = {UserSettings, winapp::FirstRunSettingsText()};
  PutWhole(dir / "quietrail.ini", UserSettings);
  faults::Watcher watcher(dir / "quietrail.ini");
  std::vector<std::unique_ptr<e2e::Program>> runs;
  for (int round = 0; round < 4; ++round) {
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "panel.dll", UnconfirmedDatabase));
    PutWhole(dir / "quietrail.ini", UserSettings);
    AddRuns(runs, 2);
    faults::Session s = faults::OpenWelcome(dir.path());
    ASSERT_TRUE(s.opened && s.ended) << "C04 round " << round << ": " << s.note;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "quietrail.ini"), winapp::FirstRunSettingsText()) << "C04 round " << round;
  }
  watcher.Stop();
  // A run that found no settings would wait at its error window instead of ending.
  ExpectAllEnd(runs, "C04");
  EXPECT_EQ(watcher.Torn(whole), "") << "C04: reads that found no settings file, or half of one";
  EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), "bank\r\n") << "C04: the list is the user's";
}

// The exclusion editor saves a long list and a short one in turn while runs delete cookies: the
// list is read whole each time, and a cookie both lists protect is never deleted.
TEST_F(Concurrency, C05_ListSavedWhileRunsReadItKeepsItsCookies) {
  std::string longList = "bank";
  for (int i = 0; i < 600; ++i) longList += ",site" + std::to_string(i) + ".example";
  const std::string lists[2] = {longList, "bank,mail"};
  std::set<std::string> whole;
  for (const std::string& list : lists) whole.insert(winapp::ExclusionFileContent(list));
  PutWhole(dir / "exclude.ini", winapp::ExclusionFileContent(lists[1]));
  PutWhole(dir / "quietrail.ini",
           "[Settings]\r\nHistory=0\r\nTmpInt=0\r\nCookies=1\r\nRecent=0\r\nURL=0\r\nStartup=1\r\nClearDialog=0\r\n");
  ASSERT_TRUE(testcache::SeedCookie("Cookie:user@bank.example/"));
  faults::Watcher watcher(dir / "exclude.ini");
  std::vector<std::unique_ptr<e2e::Program>> runs;
  for (int round = 0; round < 4; ++round) {
    ASSERT_TRUE(testcache::SeedCookie("Cookie:user@ads" + std::to_string(round) + ".example/"));
    AddRuns(runs, 2);
    faults::Session s = faults::SaveList(dir.path(), lists[round % 2]);
    ASSERT_TRUE(s.opened && s.ended) << "C05 round " << round << ": " << s.note;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), winapp::ExclusionFileContent(lists[round % 2]))
        << "C05 round " << round;
  }
  ExpectAllEnd(runs, "C05");
  watcher.Stop();
  EXPECT_EQ(watcher.Torn(whole), "") << "C05: reads of a list half saved";
  auto left = CacheLeft();
  EXPECT_TRUE(left.count("Cookie:user@bank.example/")) << "C05: an excluded cookie was deleted";
  EXPECT_FALSE(testutil::Exists(dir / "exclude.ini.new")) << "C05";
}

}  // namespace
