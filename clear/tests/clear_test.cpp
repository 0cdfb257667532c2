// The progress window driven in-process: token, ClearDialog, the order and looks of the steps,
// "Done", the timed end and the missing-settings error.
#include <gtest/gtest.h>

#include <vector>

#include "clear_fixture.h"
#include "frmError.h"
#include "frmMain.h"

using namespace winapp;

namespace {

struct Seen {
  std::string operation, label;
  float width;
};

// Watches the run call its operations, without erasing anything.
class WatchedRun : public frmMain {
 public:
  using frmMain::frmMain;
  std::vector<Seen> seen;
  void ClearHistory() override { Note("history"); }
  void ClearTemporaryInterntFiles() override { Note("tmpint"); }
  void ClearCookies() override { Note("cookies"); }
  void ClearRecentDocs() override { Note("recent"); }
  void ClearTypedUrls() override { Note("url"); }
  std::string Label() const { return testutil::TextOf(GetDlgItem(hwnd(), ControlId("Label1"))); }
  float Fill() const { return static_cast<Shape*>(Find("Shape2"))->Width(); }
  bool PictureVisible(const char* name) const {
    return IsWindowVisible(GetDlgItem(hwnd(), ControlId(name))) != FALSE;
  }
  void Tick(const char* timer) { SendMessageA(hwnd(), WM_TIMER, ControlId(timer), 0); }

 private:
  void Note(const char* op) { seen.push_back({op, Label(), Fill()}); }
};

class ClearRun : public ::testing::Test {
 protected:
  void SetUp() override { app::ResetForTests(); }
  testutil::TempFolder dir;
  frmError error;
};

float Percent(int p) { return static_cast<float>(p / 100.0 * 3615); }

TEST_F(ClearRun, OnlyTheExactTokenStartsARun) {
  const char* wrong[] = {"", "k4t9b3", "K4T9B3 ", "K4T9B", "K4T9B3K4T9B3", "SETTINGS"};
  cleartest::WriteSettings(dir.path(), "1", "1", "1", "1", "1");
  for (size_t i = 0; i < std::size(wrong); ++i) {
    app::ResetForTests();
    WatchedRun run(error, dir.path(), wrong[i]);
    run.ShowAsStartup();
    EXPECT_FALSE(run.Loaded()) << "case " << i;
    EXPECT_TRUE(app::Ended()) << "case " << i;
    EXPECT_TRUE(run.seen.empty()) << "case " << i;
  }
  EXPECT_FALSE(testutil::Exists(dir / "exclude.ini"));
}

TEST_F(ClearRun, ClearDialogZeroAloneHidesTheWindow) {
  struct Case {
    const char* value;
    bool visible;
  } cases[] = {{"0", false}, {"1", true}, {"2", true}, {" 0 ", false}, {"x", false}, {"-1", true}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    app::ResetForTests();
    cleartest::WriteSettings(dir.path(), "0", "0", "0", "0", "0", cases[i].value);
    WatchedRun run(error, dir.path(), LaunchToken);
    run.ShowAsStartup();
    ASSERT_TRUE(run.Loaded()) << "case " << i;
    EXPECT_EQ(run.Visible(), cases[i].visible) << "case " << i;
    EXPECT_EQ(run.Label(), "Initializing...") << "case " << i;
    run.Unload();
  }
}

TEST_F(ClearRun, StepsRunInOrderWithTheirLabelsAndProgress) {
  struct Case {
    const char* flags[5];
    std::vector<std::string> ops;
    const char* labelAfter;
    int percentAfter;  // -1: the bar never moved
  } cases[] = {
      {{"0", "0", "0", "0", "0"}, {}, "Initializing...", -1},
      {{"1", "1", "1", "1", "1"}, {"history", "tmpint", "cookies", "recent", "url"}, "Done", 100},
      {{"0", "0", "0", "1", "0"}, {"recent"}, "Deleting Recent Documents List...", 80},
      {{"0", "0", "0", "0", "1"}, {"url"}, "Done", 100},
      {{"2", " 1 ", "1.0", "-1", "x"}, {"tmpint", "cookies"}, "Deleting Cookies...", 60},
      {{"1", "0", "0", "0", "0"}, {"history"}, "Deleting History...", 20},
  };
  const char* labels[] = {"Deleting History...", "Deleting Temporary Internet Files...", "Deleting Cookies...",
                          "Deleting Recent Documents List...", "Deleting Typed URLs..."};
  const char* names[] = {"history", "tmpint", "cookies", "recent", "url"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    app::ResetForTests();
    const auto& f = cases[i].flags;
    cleartest::WriteSettings(dir.path(), f[0], f[1], f[2], f[3], f[4]);
    WatchedRun run(error, dir.path(), LaunchToken);
    run.ShowAsStartup();
    run.Tick("Timer1");
    ASSERT_EQ(run.seen.size(), cases[i].ops.size()) << "case " << i;
    for (size_t k = 0; k < run.seen.size(); ++k) {
      EXPECT_EQ(run.seen[k].operation, cases[i].ops[k]) << "case " << i;
      size_t step = std::find(std::begin(names), std::end(names), run.seen[k].operation) - std::begin(names);
      EXPECT_EQ(run.seen[k].label, labels[step]) << "case " << i;
      EXPECT_FLOAT_EQ(run.seen[k].width, Percent(static_cast<int>(step) * 20 + 10)) << "case " << i;
    }
    EXPECT_EQ(run.Label(), cases[i].labelAfter) << "case " << i;
    EXPECT_FLOAT_EQ(run.Fill(), cases[i].percentAfter < 0 ? 15.0f : Percent(cases[i].percentAfter)) << "case " << i;
    EXPECT_TRUE(run.PictureVisible("pic1")) << "case " << i;
    EXPECT_FALSE(run.PictureVisible("pic2")) << "case " << i;

    // Second tick: "Done", a full bar, the completion picture; the third acts no more.
    run.Tick("Timer1");
    EXPECT_EQ(run.Label(), "Done") << "case " << i;
    EXPECT_FLOAT_EQ(run.Fill(), 3615.0f) << "case " << i;
    EXPECT_FALSE(run.PictureVisible("pic1")) << "case " << i;
    EXPECT_TRUE(run.PictureVisible("pic2")) << "case " << i;
    run.Tick("Timer1");
    EXPECT_EQ(run.seen.size(), cases[i].ops.size()) << "case " << i;
    EXPECT_TRUE(run.Loaded()) << "case " << i;

    run.Tick("Timer2");
    EXPECT_FALSE(run.Loaded()) << "case " << i;
    EXPECT_TRUE(app::Ended()) << "case " << i;
  }
}

TEST_F(ClearRun, TimersRunTheWholeRunByThemselves) {
  cleartest::WriteSettings(dir.path(), "0", "0", "1", "0", "0");
  WatchedRun run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  EXPECT_TRUE(testutil::PumpUntil([&] { return app::Ended(); }));
  EXPECT_EQ(run.seen.size(), 1u);
  EXPECT_FALSE(run.Loaded());
}

// A tick that arrives while the run works (a platform call that pumps messages) is not acted on.
class ReenteredRun : public WatchedRun {
 public:
  using WatchedRun::WatchedRun;
  void ClearCookies() override {
    WatchedRun::ClearCookies();
    Tick("Timer1");
  }
};

TEST_F(ClearRun, NoTickActsWhileTheRunWorks) {
  cleartest::WriteSettings(dir.path(), "0", "0", "1", "0", "0");
  ReenteredRun run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  run.Tick("Timer1");
  EXPECT_EQ(run.TickCount(), 1);
  EXPECT_EQ(run.Label(), "Deleting Cookies...");
  EXPECT_TRUE(static_cast<Timer*>(run.Find("Timer1"))->TimerEnabled());
  EXPECT_FALSE(static_cast<Timer*>(run.Find("Timer2"))->TimerEnabled());
  run.Unload();
}

TEST_F(ClearRun, MissingSettingsFileOpensTheErrorWindow) {
  WatchedRun run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  EXPECT_FALSE(run.Visible());  // ClearDialog already reads as 0 without the file
  run.Tick("Timer1");
  EXPECT_FALSE(run.Loaded());
  EXPECT_EQ(run.TickCount(), 8);
  EXPECT_TRUE(run.seen.empty());
  ASSERT_TRUE(error.Visible());
  EXPECT_EQ(error.Caption(), "Quietrail 2003 Error");
  EXPECT_EQ(testutil::TextOf(GetDlgItem(error.hwnd(), ControlId("Label1"))),
            dir.path() + "\\quietrail.ini not found. Please run panel.exe (user interface) again from " + dir.path());
  EXPECT_FALSE(app::Ended());  // the error window keeps the program alive
  SendMessageA(GetDlgItem(error.hwnd(), ControlId("Command1")), BM_CLICK, 0, 0);
  EXPECT_FALSE(error.Loaded());
  EXPECT_TRUE(app::Ended());
}

TEST_F(ClearRun, ErrorWindowClosedFromItsTitleBarEndsTheProgramToo) {
  WatchedRun run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  run.Tick("Timer1");
  ASSERT_TRUE(error.Visible());
  SendMessageA(error.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(app::Ended());
}

TEST_F(ClearRun, ErrorWindowOkIsTheSkinnedButtonThatEnterAndEscPress) {
  for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    app::ResetForTests();
    frmError window;
    WatchedRun run(window, dir.path(), LaunchToken);
    run.ShowAsStartup();
    run.Tick("Timer1");
    ASSERT_TRUE(window.Visible()) << key;
    HWND ok = GetDlgItem(window.hwnd(), ControlId("Command1"));
    char cls[64] = {};
    GetClassNameA(ok, cls, sizeof cls);
    EXPECT_EQ(std::string(cls), xpcmdbutton::ClassName()) << key;
    EXPECT_EQ(testutil::TextOf(ok), "&OK") << key;
    SetForegroundWindow(window.hwnd());
    SetFocus(ok);
    PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
    EXPECT_TRUE(testutil::PumpUntil([&] { return !window.Loaded(); }, std::chrono::seconds(5))) << key;
    EXPECT_TRUE(app::Ended()) << key;
  }
}

TEST_F(ClearRun, FullProgressFillsTheTroughExactly) {
  cleartest::WriteSettings(dir.path(), "0", "0", "0", "0", "0");
  WatchedRun run(error, dir.path(), LaunchToken);
  run.ShowAsStartup();
  run.SetProgressValue(100);
  EXPECT_FLOAT_EQ(run.Fill(), static_cast<Shape*>(run.Find("Shape1"))->Width());
  run.SetProgressValue(0);
  EXPECT_FLOAT_EQ(run.Fill(), 0.0f);
  run.Unload();
}

}  // namespace
