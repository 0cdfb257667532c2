// launch.exe as it runs at Windows start: in a program folder of its own, with the recording
// stand-in as tray.exe and clear.exe, or with the real programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programs.h"
#include "test_util.h"
#include "tray_driver.h"

namespace {

constexpr const char* Token = "K4T9B3";
constexpr unsigned long long TicksPerMs = 10000;  // creation times count 100 ns

void WriteSettings(const std::string& folder, const char* startup, const char* splash, const char* tray) {
  testutil::WriteWholeFile(folder + "\\quietrail.ini", std::string("; Quietrail INI File\r\n\r\n[Settings]\r\n") +
                                                           "History=0\r\nStartup=" + startup +
                                                           "\r\nClearDialog=1\r\n\r\n[Launch]\r\nSplash=" + splash +
                                                           "\r\nTray=" + tray + "\r\n");
}

// What a watcher outside the launcher saw of its windows until it ended.
struct Watch {
  bool ended = false;
  bool splashSeen = false;
  bool otherWindowSeen = false;
};

Watch WatchToEnd(e2e::Program& launch) {
  Watch watch;
  watch.ended = testutil::PumpUntil(
      [&] {
        for (HWND w : launch.Windows("frmSplash"))
          if (IsWindowVisible(w)) watch.splashSeen = true;
        for (const char* form : {"frmError", "frmStart"})
          for (HWND w : launch.Windows(form))
            if (IsWindowVisible(w)) watch.otherWindowSeen = true;
        return !launch.Running();
      },
      std::chrono::seconds(30));
  return watch;
}

class LaunchProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testutil::ProgramFolder().empty()) << "QR_PROGRAM_DIR is not set";
    ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\launch.exe", dir.path()));
  }
  void StandIns() {
    for (const char* name : {"tray.exe", "clear.exe", "panel.exe", "update.exe"})
      ASSERT_TRUE(e2e::CopyStandIn(dir.path(), name)) << name;
  }
  HWND WaitForVisible(e2e::Program& p, const char* form) {
    HWND found = nullptr;
    testutil::PumpUntil([&] {
      for (HWND w : p.Windows(form))
        if (IsWindowVisible(w)) found = w;
      return found || !p.Running();
    });
    return found;
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
  for (size_t i = 0; i < std::size(cases); ++i) {
    DeleteFileA((dir / "started.txt").c_str());
    WriteSettings(dir.path(), cases[i].startup, cases[i].splash, cases[i].tray);
    e2e::Program launch(dir.path(), "launch.exe", "");
    Watch watch = WatchToEnd(launch);
    ASSERT_TRUE(watch.ended) << "case " << i << ": launch.exe did not end";
    EXPECT_EQ(launch.ExitCode(), 0u) << "case " << i;
    EXPECT_FALSE(watch.splashSeen) << "case " << i;
    EXPECT_FALSE(watch.otherWindowSeen) << "case " << i;
    if (!cases[i].started.empty()) {
      EXPECT_TRUE(e2e::WaitForStarts(dir.path(), cases[i].started.size())) << "case " << i;
    } else {
      testutil::PumpFor(std::chrono::milliseconds(200));
    }
    auto starts = e2e::Starts(dir.path());
    ASSERT_EQ(starts.size(), cases[i].started.size()) << "case " << i;
    for (size_t k = 0; k < starts.size(); ++k) {
      EXPECT_EQ(starts[k].program, cases[i].started[k]) << "case " << i << ", start " << k;
      EXPECT_EQ(starts[k].arguments, Token) << "case " << i << ", start " << k;
      EXPECT_EQ(starts[k].directory, dir.path()) << "case " << i << ", start " << k;
    }
  }
}

TEST_F(LaunchProgram, TheSplashShowsForItsTimeBeforeTheClearingRunStarts) {
  StandIns();
  WriteSettings(dir.path(), "1", "1", "1");
  e2e::Program launch(dir.path(), "launch.exe", "");
  HWND splash = WaitForVisible(launch, "frmSplash");
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
  HWND error = WaitForVisible(launch, "frmError");
  ASSERT_TRUE(error);
  EXPECT_EQ(testutil::TextOf(error), "Error");
  EXPECT_EQ(testutil::TextOf(e2e::Control(error, "Label1")),
            dir.path() + "\\quietrail.ini not found. Please run panel.exe (user interface) again from " + dir.path());
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
  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\tray.exe", dir.path()));
  const std::string message =
      dir.path() + "\\clear.exe not found. Please reinstall Quietrail or locate the file and try again";
  struct Case {
    const char* splash;
    bool splashSeen;
  } cases[] = {{"0", false}, {"1", true}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    WriteSettings(dir.path(), "1", cases[i].splash, "1");
    e2e::Program launch(dir.path(), "launch.exe", "");
    bool splashSeen = false;
    HWND error = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] {
      for (HWND w : launch.Windows("frmSplash"))
        if (IsWindowVisible(w)) splashSeen = true;
      for (HWND w : launch.Windows("frmError"))
        if (IsWindowVisible(w)) error = w;
      return error || !launch.Running();
    })) << "case " << i;
    ASSERT_TRUE(error) << "case " << i;
    EXPECT_EQ(splashSeen, cases[i].splashSeen) << "case " << i;
    EXPECT_EQ(testutil::TextOf(e2e::Control(error, "Label1")), message) << "case " << i;
    for (HWND w : launch.Windows("frmSplash")) EXPECT_FALSE(IsWindowVisible(w)) << "case " << i;

    HWND trayWindow = nullptr;
    ASSERT_TRUE(testutil::PumpUntil([&] { return (trayWindow = FindWindowA("FrmSysTray", nullptr)) != nullptr; }))
        << "case " << i;
    e2e::Click(e2e::Control(error, "Command1"));
    EXPECT_TRUE(launch.WaitForEnd()) << "case " << i;
    testutil::PumpFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(IsWindow(trayWindow)) << "case " << i << ": the tray ended with the launcher";
    EXPECT_TRUE(e2e::IconPresent(trayWindow)) << "case " << i;
    EXPECT_TRUE(e2e::ExitTray(trayWindow)) << "case " << i;
  }
}

// A fresh program folder as the build lays it out: the real tray, splash and clearing run.
TEST_F(LaunchProgram, FirstRunSettingsStartTheTrayTheSplashAndARealClearingRun) {
  for (const char* name : {"tray.exe", "clear.exe", "quietrail.ini", "exclude.ini"})
    ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\" + name, dir.path())) << name;
  e2e::Program launch(dir.path(), "launch.exe", "");
  bool splashSeen = false, progressSeen = false;
  HWND trayWindow = nullptr;
  ASSERT_TRUE(testutil::PumpUntil(
      [&] {
        for (HWND w : launch.Windows("frmSplash"))
          if (IsWindowVisible(w)) splashSeen = true;
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
