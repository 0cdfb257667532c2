// launch.exe as it runs at Windows start: in a program folder of its own, with the recording
// stand-in as tray.exe and clear.exe, or with the real programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programs.h"
#include "test_util.h"
#include "tray_driver.h"

namespace {

using e2e::Token;
constexpr unsigned long long TicksPerMs = 10000;  // creation times count 100 ns

void WriteSettings(const std::string& folder, const char* startup, const char* splash, const char* tray) {
  testutil::WriteWholeFile(folder + "\\quietrail.ini", e2e::LaunchSettings(startup, splash, tray));
}

class LaunchProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"launch.exe"}), ""); }
  void StandIns() {
    for (const char* name : {"tray.exe", "clear.exe", "panel.exe", "update.exe"})
      ASSERT_TRUE(e2e::CopyStandIn(dir.path(), name)) << name;
  }
  testutil::TempFolder dir;
};

// Every row of the settings that ends without a splash: what is started, in which order, and
// that nothing is shown.
TEST_F(LaunchProgram, SettingsDecideWhatStartsWithoutASplash) {
  StandIns();
  struct Case {
    const char* startup;
    const char* splash;
    const char* tray;
    std::vector<std::string> started;
  } cases[] = {
      {"0", "1", "1", {}},
      {"2", "1", "1", {}},           // other values end as 0 does
      {"yes", "1", "1", {}},         // not a number: 0
      {"1", "0", "0", {"clear.exe"}},
      {"1", "0", "1", {"tray.exe", "clear.exe"}},
      {"1", "0", "2", {"clear.exe"}},  // only 1 starts the tray
      {"1", "7", "1", {"tray.exe", "clear.exe"}},  // other values run at once, as 0
      {"1", "-1", "0", {"clear.exe"}},
      {" 1 ", " 0 ", " 1 ", {"tray.exe", "clear.exe"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("Startup=") + c.startup + " Splash=" + c.splash + " Tray=" + c.tray);
    DeleteFileA((dir / "started.txt").c_str());
    WriteSettings(dir.path(), c.startup, c.splash, c.tray);
    e2e::Program launch(dir.path(), "launch.exe", "");
    e2e::Watch watch = e2e::WatchToEnd(launch, {"frmSplash", "frmError", "frmStart"}, std::chrono::seconds(30));
    ASSERT_TRUE(watch.ended) << "launch.exe did not end";
    EXPECT_EQ(launch.ExitCode(), 0u);
    EXPECT_TRUE(watch.seen.empty());
    std::vector<std::string> expected;
    for (const auto& program : c.started) expected.push_back(program + " " + Token);
    EXPECT_EQ(e2e::StartLines(dir.path(), expected.size()), expected);
    for (const auto& start : e2e::Starts(dir.path())) EXPECT_EQ(start.directory, dir.path()) << start.program;
  }
}

TEST_F(LaunchProgram, TheSplashShowsForItsTimeBeforeTheClearingRunStarts) {
  StandIns();
  WriteSettings(dir.path(), "1", "1", "1");
  e2e::Program launch(dir.path(), "launch.exe", "");
  HWND splash = e2e::WaitForWindow(launch, "frmSplash");
  ASSERT_TRUE(splash);
  // Closing it changes nothing: the sequence goes on to the clearing run.
  PostMessageA(splash, WM_CLOSE, 0, 0);
  // The tray is started before the splash shows; the clearing run not yet.
  ASSERT_TRUE(e2e::WaitForStarts(dir.path(), 1));
  EXPECT_EQ(e2e::Starts(dir.path()).size(), 1u);

  RECT client{}, frame{}, work{};
  GetClientRect(splash, &client);
  GetWindowRect(splash, &frame);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(client.right, 358);
  EXPECT_EQ(client.bottom, 193);
  EXPECT_EQ(frame.right - frame.left, 358) << "the splash has no border";
  EXPECT_EQ(GetWindowLongA(splash, GWL_STYLE) & WS_CAPTION, 0);
  EXPECT_TRUE(GetWindowLongA(splash, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) << "kept off the taskbar";
  EXPECT_NEAR(frame.left - work.left, work.right - frame.right, 1);
  EXPECT_NEAR(frame.top - work.top, work.bottom - frame.bottom, 1);

  ASSERT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.ExitCode(), 0u);
  ASSERT_TRUE(e2e::WaitForStarts(dir.path(), 2));
  auto starts = e2e::Starts(dir.path());
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0].program, "tray.exe");
  EXPECT_EQ(starts[1].program, "clear.exe");
  for (const auto& s : starts) {
    EXPECT_EQ(s.arguments, Token) << s.program;
    EXPECT_EQ(s.directory, dir.path()) << s.program;
  }
  // 2250 ms on the splash's timer; a timer never fires early by more than its resolution.
  EXPECT_GE(starts[1].created - starts[0].created, 2000 * TicksPerMs);
}

TEST_F(LaunchProgram, MissingSettingsAreReportedAndNothingStarts) {
  StandIns();
  e2e::Program launch(dir.path(), "launch.exe", "");
  HWND error = e2e::WaitForWindow(launch, "frmError");
  ASSERT_TRUE(error);
  EXPECT_EQ(testutil::TextOf(error), "Error");
  EXPECT_EQ(e2e::MessageOf(error), e2e::MissingSettingsMessage(dir.path()));
  HWND ok = e2e::Control(error, "Command1");
  ASSERT_TRUE(ok);
  EXPECT_EQ(testutil::TextOf(ok), "&OK");
  char cls[32] = {};
  GetClassNameA(ok, cls, sizeof cls);
  EXPECT_STRCASEEQ(cls, "Button");
  EXPECT_EQ(launch.Window("frmStart"), nullptr);
  EXPECT_TRUE(launch.Running());  // waits for OK
  // Enter answers the OK button.
  PostMessageA(ok, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(launch.WaitForEnd());
  EXPECT_EQ(launch.ExitCode(), 0u);
  EXPECT_TRUE(e2e::Starts(dir.path()).empty());
}

// clear.exe missing, with the real tray: the error comes after the tray (and the splash, when
// asked), and the tray runs on after OK.
TEST_F(LaunchProgram, MissingClearingProgramIsReportedAfterTheTrayStarted) {
  ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"tray.exe"}), "");
  const std::string message =
      dir.path() + "\\clear.exe not found. Please reinstall Quietrail or locate the file and try again";
  for (const bool splash : {false, true}) {
    SCOPED_TRACE(splash ? "with the splash" : "without the splash");
    WriteSettings(dir.path(), "1", splash ? "1" : "0", "1");
    e2e::Program launch(dir.path(), "launch.exe", "");
    bool splashSeen = false;
    HWND error = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] {
      if (e2e::VisibleWindow(launch, "frmSplash")) splashSeen = true;
      error = e2e::VisibleWindow(launch, "frmError");
      return error || !launch.Running();
    }));
    ASSERT_TRUE(error);
    EXPECT_EQ(splashSeen, splash);
    EXPECT_EQ(e2e::MessageOf(error), message);
    EXPECT_FALSE(e2e::VisibleWindow(launch, "frmSplash"));

    HWND trayWindow = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] { return (trayWindow = FindWindowA("FrmSysTray", nullptr)) != nullptr; }));
    e2e::AnswerMessage(error);
    EXPECT_TRUE(launch.WaitForEnd());
    testutil::PumpFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(IsWindow(trayWindow)) << "the tray ended with the launcher";
    EXPECT_TRUE(e2e::IconPresent(trayWindow));
    EXPECT_TRUE(e2e::ExitTray(trayWindow));
  }
}

// A fresh program folder as the build lays it out: the real tray, splash and clearing run.
TEST_F(LaunchProgram, FirstRunSettingsStartTheTrayTheSplashAndARealClearingRun) {
  ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"tray.exe", "clear.exe", "quietrail.ini", "exclude.ini"}), "");
  e2e::Program launch(dir.path(), "launch.exe", "");
  bool splashSeen = false, progressSeen = false;
  HWND trayWindow = nullptr;
  ASSERT_TRUE(testutil::PumpUntil(
      [&] {
        if (e2e::VisibleWindow(launch, "frmSplash")) splashSeen = true;
        if (!trayWindow) trayWindow = FindWindowA("FrmSysTray", nullptr);
        if (HWND progress = FindWindowA("frmMain", nullptr); progress && IsWindowVisible(progress)) progressSeen = true;
        return !launch.Running() && progressSeen;
      },
      std::chrono::seconds(30)));
  EXPECT_TRUE(splashSeen);
  ASSERT_TRUE(trayWindow);
  EXPECT_TRUE(e2e::IconPresent(trayWindow));
  // The clearing run ends by itself.
  EXPECT_TRUE(testutil::PumpUntil([] { return FindWindowA("frmMain", nullptr) == nullptr; }, std::chrono::seconds(30)));
  EXPECT_TRUE(e2e::ExitTray(trayWindow));
}

}  // namespace
