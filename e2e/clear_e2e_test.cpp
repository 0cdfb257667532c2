// clear.exe as it runs for real: started with its token in a program folder of its own, against
// a seeded URL cache, cookies, typed URLs, recent documents and URL history.
#include <gtest/gtest.h>

#include <set>

#include "clear_fixture.h"
#include "programs.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

using e2e::Token;

std::set<std::string> CacheLeft() {
  auto all = testcache::AllEntries();
  return {all.begin(), all.end()};
}

// What a watcher outside the program saw of its progress window.
struct Watch {
  bool everVisible = false;
  std::set<std::string> labels;
};

class ClearProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"clear.exe"}), "");
    testcache::EmptyCache();
    cleartest::ForgetHistoryCalls();
  }
  void SeedEverything() {
    for (const char* url : {"http://example.com/", "http://example.com/style.css", "http://example.com/Cookie.png",
                            "http://example.com/cookie.png"})
      ASSERT_TRUE(testcache::SeedContent(url)) << url;
    for (const char* c : {"Cookie:user@bank.example/", "Cookie:user@shop.example/", "Cookie:user@ads.example/"})
      ASSERT_TRUE(testcache::SeedCookie(c)) << c;
    cleartest::SeedTypedUrls();
    cleartest::SeedRecentDocs();
  }
  // Runs to the end, watching the progress window from outside.
  Watch RunToEnd(e2e::Program& p) {
    Watch watch;
    EXPECT_TRUE(p.Started());
    bool ended = testutil::PumpUntil(
        [&] {
          for (HWND w : p.Windows("frmMain")) {
            if (IsWindowVisible(w)) watch.everVisible = true;
            if (HWND label = e2e::Control(w, "Label1")) watch.labels.insert(testutil::TextOf(label));
          }
          return !p.Running();
        },
        std::chrono::seconds(60));
    EXPECT_TRUE(ended) << "clear.exe did not end by itself";
    return watch;
  }
  testutil::TempFolder dir;
};

TEST_F(ClearProgram, ARunErasesWhatIsSelectedAndSparesExcludedCookies) {
  SeedEverything();
  cleartest::WriteSettings(dir.path(), "1", "1", "1", "1", "1");
  testutil::WriteWholeFile(dir / "exclude.ini", "BANK\r\n");
  cleartest::HistoryClassOverride standIn(cleartest::TestBinFolder() + "\\fake_urlhistory.dll");
  e2e::Program run(dir.path(), "clear.exe", Token);
  Watch watch = RunToEnd(run);
  EXPECT_TRUE(watch.everVisible);
  EXPECT_TRUE(watch.labels.count("Done"));
  EXPECT_EQ(run.ExitCode(), 0u);

  std::set<std::string> expected = {"Cookie:user@bank.example/", "http://example.com/Cookie.png"};
  EXPECT_EQ(CacheLeft(), expected);
  EXPECT_FALSE(cleartest::TypedUrlsPresent());
  EXPECT_EQ(cleartest::RecentShortcutCount(), 0);
  EXPECT_EQ(cleartest::HistoryCalls(), "ClearHistory\r\nRelease\r\n");
}

TEST_F(ClearProgram, StepsNotSelectedLeaveTheirTracesAlone) {
  SeedEverything();
  cleartest::WriteSettings(dir.path(), "0", "0", "1", "0", "0");
  e2e::Program run(dir.path(), "clear.exe", Token);
  RunToEnd(run);
  std::set<std::string> expected = {"http://example.com/", "http://example.com/style.css",
                                    "http://example.com/Cookie.png", "http://example.com/cookie.png"};
  EXPECT_EQ(CacheLeft(), expected);
  EXPECT_TRUE(cleartest::TypedUrlsPresent());
  EXPECT_GE(cleartest::RecentShortcutCount(), 2);
  EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), "");  // made empty for the cookie step
}

TEST_F(ClearProgram, WithoutTheExactTokenNothingHappens) {
  SeedEverything();
  cleartest::WriteSettings(dir.path(), "1", "1", "1", "1", "1");
  auto before = CacheLeft();
  // Raw argument text after the program path and its one separating blank.
  const char* arguments[] = {"", "k4t9b3", "K4T9B3 ", "\"K4T9B3\"", "  K4T9B3", "\tK4T9B3"};
  for (const char* text : arguments) {
    SCOPED_TRACE(std::string("arguments [") + text + "]");
    e2e::Program run(dir.path(), "clear.exe", text);
    Watch watch = RunToEnd(run);
    EXPECT_FALSE(watch.everVisible);
    EXPECT_TRUE(watch.labels.empty());
  }
  EXPECT_EQ(CacheLeft(), before);
  EXPECT_TRUE(cleartest::TypedUrlsPresent());
  EXPECT_FALSE(testutil::Exists(dir / "exclude.ini"));
}

TEST_F(ClearProgram, ClearDialogZeroRunsUnseenAndOtherValuesShowTheWindow) {
  struct Case {
    const char* clearDialog;
    bool visible;
  } cases[] = {{"0", false}, {"2", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("ClearDialog=") + c.clearDialog);
    testcache::EmptyCache();
    ASSERT_TRUE(testcache::SeedContent("http://example.com/page.html"));
    cleartest::WriteSettings(dir.path(), "0", "1", "0", "0", "0", c.clearDialog);
    e2e::Program run(dir.path(), "clear.exe", Token);
    Watch watch = RunToEnd(run);
    EXPECT_EQ(watch.everVisible, c.visible);
    EXPECT_TRUE(CacheLeft().empty());
  }
}

TEST_F(ClearProgram, MissingSettingsFileIsReportedUntilOk) {
  SeedEverything();
  auto before = CacheLeft();
  e2e::Program run(dir.path(), "clear.exe", Token);
  HWND error = e2e::WaitForWindow(run, "frmError");
  ASSERT_TRUE(error);
  EXPECT_EQ(testutil::TextOf(error), "Quietrail 2003 Error");
  EXPECT_EQ(e2e::MessageOf(error), e2e::MissingSettingsMessage(dir.path()));
  EXPECT_EQ(run.Window("frmMain"), nullptr);
  EXPECT_TRUE(run.Running());  // waits for the user
  // OK is the program's own skinned button, and it hovers under the pointer.
  HWND ok = e2e::Control(error, "Command1");
  char cls[64] = {};
  GetClassNameA(ok, cls, sizeof cls);
  EXPECT_STREQ(cls, "clear.xpcmdbutton");
  EXPECT_EQ(testutil::TextOf(ok), "&OK");
  auto corner = [&] {
    // Read off the screen, as a user sees it.
    POINT p{1, 1};
    ClientToScreen(ok, &p);
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, p.x, p.y);
    ReleaseDC(nullptr, dc);
    return c;
  };
  POINT over{20, 12}, away{20, 80};
  ClientToScreen(ok, &over);
  ClientToScreen(ok, &away);
  SetCursorPos(away.x, away.y);
  EXPECT_TRUE(testutil::PumpUntil([&] { return corner() == RGB(0x55, 0x7D, 0xA2); }, std::chrono::seconds(10)))
      << std::hex << corner();
  SetCursorPos(over.x, over.y);
  EXPECT_TRUE(testutil::PumpUntil([&] { return corner() == RGB(0x8D, 0x9E, 0xA1); }, std::chrono::seconds(10)))
      << "no hover look";
  SetCursorPos(away.x, away.y);
  EXPECT_TRUE(testutil::PumpUntil([&] { return corner() == RGB(0x55, 0x7D, 0xA2); }, std::chrono::seconds(10)))
      << "no resting look after the pointer left";
  e2e::Click(ok);
  EXPECT_TRUE(run.WaitForEnd());
  EXPECT_EQ(CacheLeft(), before);
  EXPECT_TRUE(cleartest::TypedUrlsPresent());
}

TEST_F(ClearProgram, DamagedSettingsNeverCrashTheRun) {
  std::string binary;
  for (int i = 0; i < 5000; ++i) binary += static_cast<char>((i * 37) & 0xFF);
  const std::string files[] = {
      binary,
      std::string("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\r\0\n\0T\0m\0p\0I\0n\0t\0=\0\x31\0", 36),
      "[Settings]\r\nTmpInt=" + std::string(20000, '9') + "\r\nClearDialog=" + std::string(3000, 'x') + "\r\n",
  };
  for (size_t i = 0; i < std::size(files); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    testutil::WriteWholeFile(dir / "quietrail.ini", files[i]);
    e2e::Program run(dir.path(), "clear.exe", Token);
    RunToEnd(run);
    EXPECT_EQ(run.ExitCode(), 0u);
  }
}

}  // namespace
