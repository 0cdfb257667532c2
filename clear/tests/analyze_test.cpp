// What a run erased and what Analyze says it would: the numbers as shown, Analyze against the run
// that follows it on the real platform, and Analyze changing nothing.
#include <gtest/gtest.h>

#include <set>

#include "cleaners.h"
#include "clear_fixture.h"
#include "frmAnalyze.h"
#include "frmError.h"
#include "frmMain.h"
#include "test_cache.h"

using namespace winapp;

namespace {

TEST(ResultText, NumbersAndSizesReadAsAPersonWritesThem) {
  struct Case {
    unsigned long long items, bytes, kept;
    const char* line;
  } cases[] = {
      {0, 0, 0, "Cleared 0 items, 0 bytes"},
      {1, 1, 1, "Cleared 1 item, 1 byte; 1 cookie kept"},
      {999, 1023, 0, "Cleared 999 items, 1,023 bytes"},
      {1000, 1024, 38, "Cleared 1,000 items, 1.0 KB; 38 cookies kept"},
      {12345, 1288490189, 0, "Cleared 12,345 items, 1.2 GB"},
      {1234567, 1048575, 1000, "Cleared 1,234,567 items, 1.0 MB; 1,000 cookies kept"},
      {18446744073709551615ull, 18446744073709551615ull, 0, "Cleared 18,446,744,073,709,551,615 items, 16,777,216.0 TB"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(ResultLine(cases[i].items, cases[i].bytes, cases[i].kept), cases[i].line);
  }
}

std::string Text(const Form& form, const char* control) {
  return testutil::TextOf(GetDlgItem(form.hwnd(), ControlId(control)));
}

// Analyze that records the run it would start instead of starting it.
class WatchedAnalyze : public frmAnalyze {
 public:
  using frmAnalyze::frmAnalyze;
  int started = 0;
  void StartRun() override { ++started; }
};

class AnalyzeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::ResetForTests();
    testcache::EmptyCache();
    for (const char* url : {"http://example.com/index.html", "http://example.com/logo.gif", "http://news.example.org/"})
      ASSERT_TRUE(testcache::SeedContent(url));
    for (const char* cookie : {"Cookie:user@yahoo.com/", "Cookie:user@google.com/", "Cookie:user@ads.tracker.net/"})
      ASSERT_TRUE(testcache::SeedCookie(cookie));
    cleartest::SeedTypedUrls();
    cleartest::SeedRecentDocs();
  }
  void TearDown() override {
    testcache::EmptyCache();
    app::ResetForTests();
  }
  // Analyze loaded and counted to the end.
  void Count(WatchedAnalyze& analyze) {
    analyze.ShowAsStartup();
    ASSERT_TRUE(testutil::PumpUntil([&] { return analyze.Counted(); }));
  }
  // The run, both ticks: its work, then "Done" with the result; what it erased.
  Tally Run(std::string& result) {
    frmError error;
    frmMain run(error, dir.path(), LaunchToken);
    run.ShowAsStartup();
    SendMessageA(run.hwnd(), WM_TIMER, ControlId("Timer1"), 0);
    SendMessageA(run.hwnd(), WM_TIMER, ControlId("Timer1"), 0);
    EXPECT_EQ(Text(run, "Label1"), "Done");
    result = Text(run, "lblResult");
    Tally total = run.Total();
    run.Unload();
    app::ResetForTests();
    return total;
  }
  testutil::TempFolder dir;
};

TEST_F(AnalyzeTest, CountsWhatTheRunThenErasesAndChangesNothing) {
  struct Case {
    const char* browsers;
    bool module;
    unsigned long long items, kept;
  } cases[] = {
      // three content entries, two cookies not kept, two typed addresses, two shortcuts
      {"0", false, 9, 1},
      // and the stand-in module's 178,146 items of Chrome, with its 38 cookies kept
      {"1", true, 178155, 39},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    if (i) SetUp();
    cleartest::WriteSettings(dir.path(), "0", "1", "1", "1", "1", "1", cases[i].browsers);
    testutil::WriteWholeFile(dir / "exclude.ini", "YAHOO");
    if (cases[i].module) {
      ASSERT_TRUE(CopyFileA((cleartest::TestBinFolder() + "\\fake_browsers.dll").c_str(), (dir / "browsers.dll").c_str(), FALSE));
    }
    auto cache = testcache::AllEntries();
    int shortcuts = cleartest::RecentShortcutCount();

    WatchedAnalyze analyze(dir.path(), AnalyzeCommand);
    Count(analyze);
    Tally counted = analyze.Total();
    EXPECT_EQ(counted.items, cases[i].items);
    EXPECT_EQ(counted.kept, cases[i].kept);
    EXPECT_EQ(Text(analyze, "lblTotal").find("In all: " + Grouped(cases[i].items) + " items, "), 0u);
    // The rows close up: History is not chosen, so the browsers follow the four traces.
    if (cases[i].module) {
      EXPECT_EQ(Text(analyze, "lblName4"), "Chrome");
      EXPECT_EQ(Text(analyze, "lblCount4"), "12,345 pages, 123,456 visits, 10,000 cookies (38 kept), 1,234 sites' data (12 kept), 12,345 others, "
                "20,000 files, 1.2 GB");
      EXPECT_EQ(Text(analyze, "lblName5"), "Firefox");
      EXPECT_EQ(Text(analyze, "lblCount5"), "open: close it to clear it");
      EXPECT_EQ(Text(analyze, "lblStatus"), "Counted: nothing was changed.");
    }
    // Nothing changed: the cache, the typed addresses, the shortcuts, the keep-list.
    EXPECT_EQ(testcache::AllEntries(), cache);
    EXPECT_TRUE(cleartest::TypedUrlsPresent());
    EXPECT_EQ(cleartest::RecentShortcutCount(), shortcuts);
    EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini"), "YAHOO");
    analyze.Unload();
    app::ResetForTests();

    std::string result;
    Tally erased = Run(result);
    EXPECT_EQ(erased.items, counted.items);
    EXPECT_EQ(erased.bytes, counted.bytes);
    EXPECT_EQ(erased.kept, counted.kept);
    EXPECT_EQ(result, ResultLine(counted.items, counted.bytes, counted.kept));
    EXPECT_EQ(testcache::AllEntries(), std::vector<std::string>{"Cookie:user@yahoo.com/"});
  }
}

TEST_F(AnalyzeTest, MakesNoKeepListAndClearNowAsksThenStartsTheRun) {
  cleartest::WriteSettings(dir.path(), "0", "0", "1", "0", "0");
  WatchedAnalyze analyze(dir.path(), AnalyzeCommand);
  Count(analyze);
  EXPECT_EQ(analyze.Total().items, 3u);  // no list: no cookie is kept
  EXPECT_FALSE(testutil::Exists(dir / "exclude.ini"));
  SendMessageA(GetDlgItem(analyze.hwnd(), ControlId("Command1")), BM_CLICK, 0, 0);
  EXPECT_EQ(analyze.started, 1);
  EXPECT_FALSE(analyze.Loaded());
  EXPECT_TRUE(app::Ended());
}

TEST_F(AnalyzeTest, NothingChosenSaysWhereToChoose) {
  cleartest::WriteSettings(dir.path(), "0", "0", "0", "0", "0");
  WatchedAnalyze analyze(dir.path(), AnalyzeCommand);
  Count(analyze);
  EXPECT_EQ(Text(analyze, "lblName0"), "Nothing chosen");
  EXPECT_EQ(Text(analyze, "lblCount0"), "choose what to clear under Settings in the control panel");
  EXPECT_EQ(Text(analyze, "lblName1"), "");
  EXPECT_EQ(Text(analyze, "lblTotal"), "In all: 0 items, 0 bytes");
}

TEST_F(AnalyzeTest, OnlyItsOwnCommandTextOpensIt) {
  cleartest::WriteSettings(dir.path(), "0", "1", "1", "0", "0");
  for (const char* text : {"", LaunchToken, "K4T9B3 /ANALYZE", "/analyze"}) {
    SCOPED_TRACE(text);
    app::ResetForTests();
    WatchedAnalyze analyze(dir.path(), text);
    analyze.ShowAsStartup();
    EXPECT_FALSE(analyze.Loaded());
    EXPECT_TRUE(app::Ended());
  }
}

}  // namespace

namespace {

// Every text of a window fits its label on one line at the window's resolution.
BOOL CALLBACK CheckFits(HWND w, LPARAM where) {
  char cls[32] = {};
  GetClassNameA(w, cls, sizeof cls);
  std::string text = testutil::TextOf(w);
  if (lstrcmpiA(cls, "Static") || text.empty() || !IsWindowVisible(w)) return TRUE;
  RECT inside;
  GetClientRect(w, &inside);
  HDC dc = GetDC(w);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)));
  RECT need{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(w, dc);
  EXPECT_LE(need.right, inside.right) << *reinterpret_cast<const std::string*>(where) << " \"" << text << "\"";
  EXPECT_LE(need.bottom, inside.bottom) << *reinterpret_cast<const std::string*>(where) << " \"" << text << "\"";
  return TRUE;
}

// The Analyze window with its longest texts, and the progress window with its two lines under the
// bar, at 96 and at 144 dots an inch (a move to a monitor of the other resolution and back).
TEST_F(AnalyzeTest, WindowsFitTheirTextsAt96And144) {
  cleartest::WriteSettings(dir.path(), "1", "1", "1", "1", "1", "1", "1");
  testutil::WriteWholeFile(dir / "exclude.ini", "YAHOO");
  ASSERT_TRUE(CopyFileA((cleartest::TestBinFolder() + "\\fake_browsers.dll").c_str(), (dir / "browsers.dll").c_str(), FALSE));
  WatchedAnalyze analyze(dir.path(), AnalyzeCommand);
  Count(analyze);
  frmError error;
  frmMain run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  SetWindowTextA(GetDlgItem(run.hwnd(), ControlId("lblResult")), ResultLine(1234567, 1288490189, 1000).c_str());
  SetWindowTextA(GetDlgItem(run.hwnd(), ControlId("lblBrowsers")),
                 "Not cleared while open: Chrome; Not cleared, data damaged: Firefox");
  for (Form* form : {static_cast<Form*>(&analyze), static_cast<Form*>(&run)}) {
    const UINT dpi = form->Dpi(), other = dpi == 144 ? 96 : 144;
    for (UINT to : {dpi, other, dpi}) {
      std::string where = std::string(form->Desc().name) + " at " + std::to_string(to);
      if (to != form->Dpi() || form->Dpi() != dpi) {
        RECT suggested{0, 0, Pixels(form->Desc().client.cx, to), Pixels(form->Desc().client.cy, to)};
        AdjustWindowRectEx(&suggested, GetWindowLongA(form->hwnd(), GWL_STYLE), FALSE, GetWindowLongA(form->hwnd(), GWL_EXSTYLE));
        SendMessageA(form->hwnd(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
      }
      EXPECT_EQ(form->Dpi(), to) << where;
      EnumChildWindows(form->hwnd(), CheckFits, reinterpret_cast<LPARAM>(&where));
      // At the other resolution the Analyze window is wider than the test's screen, which cuts
      // the window down: the controls are checked where the window is at home.
      if (to == dpi) EXPECT_EQ(testutil::ControlsOutside(form->hwnd()), std::vector<std::string>{}) << where;
    }
  }
  run.Unload();
}

}  // namespace
