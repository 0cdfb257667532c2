// tray.exe as it runs for real: its icon in the notification area, its menu worked from the
// keyboard, and the programs it starts recorded by the stand-in in a program folder of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programs.h"
#include "test_util.h"
#include "tray_driver.h"

namespace {

using e2e::Token;

// The tray's window once its icon is in the notification area; null when either never came.
HWND TrayWithIcon(const e2e::Program& tray) {
  HWND w = e2e::WaitForTrayWindow(tray.Id());
  return w && testutil::PumpUntil([&] { return e2e::IconPresent(w); }) ? w : nullptr;
}

class TrayProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"tray.exe"}), "");
    for (const char* name : {"panel.exe", "clear.exe", "update.exe"})
      ASSERT_TRUE(e2e::CopyStandIn(dir.path(), name)) << name;
  }
  testutil::TempFolder dir;
};

TEST_F(TrayProgram, WithoutTheExactTokenItEndsAtOnceWithoutAnIcon) {
  const char* arguments[] = {"", "k4t9b3", "K4T9B3 x", "\"K4T9B3\"", "K4T9B"};
  for (const char* text : arguments) {
    SCOPED_TRACE(std::string("arguments [") + text + "]");
    e2e::Program tray(dir.path(), "tray.exe", text);
    ASSERT_TRUE(tray.Started()) << tray.StartError();
    e2e::Watch watch = e2e::WatchToEnd(tray, {"FrmSysTray"}, std::chrono::seconds(20), false);
    EXPECT_TRUE(watch.ended);
    EXPECT_TRUE(watch.seen.empty());
    EXPECT_EQ(tray.ExitCode(), 0u);
  }
  EXPECT_TRUE(e2e::Starts(dir.path()).empty());
}

TEST_F(TrayProgram, TheMenuStartsEachProgramAndExitRemovesTheIcon) {
  e2e::Program tray(dir.path(), "tray.exe", Token);
  HWND w = TrayWithIcon(tray);
  ASSERT_TRUE(w) << "no tray window with its icon";
  EXPECT_FALSE(IsWindowVisible(w));

  // Icon events other than the right-button release open nothing.
  for (int number : {512, 513, 514, 515, 516, 518, 519, 520, 521, 1024}) {
    e2e::SendIconEvent(w, number);
    testutil::PumpFor(std::chrono::milliseconds(30));
    EXPECT_EQ(e2e::OpenMenuOf(tray.Id()), nullptr) << "event " << number;
  }

  // A program that is not there starts nothing and leaves the menu usable: the first choice
  // below is handled after it, and update.exe comes back once that one is recorded.
  ASSERT_TRUE(DeleteFileA((dir / "update.exe").c_str()));
  ASSERT_TRUE(e2e::ChooseFromMenu(w, 3));

  struct Case {
    int item;
    const char* program;
    const char* arguments;
  } cases[] = {
      {0, "panel.exe", "ABOUT"},
      {1, "panel.exe", "SETTINGS"},
      {2, "clear.exe", "K4T9B3"},
      {3, "update.exe", ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(std::string("item ") + std::to_string(cases[i].item) + ": " + cases[i].program);
    ASSERT_TRUE(e2e::ChooseFromMenu(w, cases[i].item)) << "the menu did not open";
    ASSERT_TRUE(e2e::WaitForStarts(dir.path(), i + 1));
    auto starts = e2e::Starts(dir.path());
    ASSERT_EQ(starts.size(), i + 1);
    EXPECT_EQ(starts.back().program, cases[i].program);
    EXPECT_EQ(starts.back().arguments, cases[i].arguments);
    EXPECT_EQ(starts.back().directory, dir.path());
    if (i == 0) {
      ASSERT_TRUE(e2e::CopyStandIn(dir.path(), "update.exe"));
    }
  }
  EXPECT_TRUE(tray.Running());

  ASSERT_TRUE(e2e::ChooseFromMenu(w, 4));
  EXPECT_TRUE(tray.WaitForEnd());
  EXPECT_EQ(tray.ExitCode(), 0u);
  EXPECT_FALSE(e2e::IconPresent(w));
  EXPECT_EQ(e2e::Starts(dir.path()).size(), std::size(cases));
}

// L01: a program missing from the program folder is not looked for anywhere else. A recording
// update.exe on the search path, which the shell would find for a bare name, is never started.
TEST_F(TrayProgram, L01_AProgramMissingFromTheFolderIsNotSoughtOnThePath) {
  testutil::TempFolder elsewhere;
  ASSERT_TRUE(e2e::CopyStandIn(elsewhere.path(), "update.exe"));
  ASSERT_TRUE(DeleteFileA((dir / "update.exe").c_str()));
  char old[32768] = {};
  GetEnvironmentVariableA("PATH", old, sizeof old);
  ASSERT_TRUE(SetEnvironmentVariableA("PATH", (elsewhere.path() + ";" + old).c_str()));
  e2e::Program tray(dir.path(), "tray.exe", Token);
  SetEnvironmentVariableA("PATH", old);
  HWND w = e2e::WaitForTrayWindow(tray.Id());
  ASSERT_TRUE(w);

  ASSERT_TRUE(e2e::ChooseFromMenu(w, 3));
  // The menu works its choices in turn: once "&Clear now" has started clear.exe, whatever the
  // update choice started has been started too, and it is waited for until it has ended.
  ASSERT_TRUE(e2e::ChooseFromMenu(w, 2));
  ASSERT_TRUE(e2e::WaitForStarts(dir.path(), 1));
  EXPECT_TRUE(testutil::PumpUntil([&] { return e2e::ProcessesIn(elsewhere.path()).empty(); }));
  EXPECT_TRUE(e2e::Starts(elsewhere.path()).empty()) << "the update.exe of the search path was started";
  auto starts = e2e::Starts(dir.path());
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].program, "clear.exe");
  EXPECT_TRUE(e2e::ExitTray(w));
}

TEST_F(TrayProgram, TheIconComesBackWhenTheNotificationAreaRestarts) {
  e2e::Program tray(dir.path(), "tray.exe", Token);
  HWND w = TrayWithIcon(tray);
  ASSERT_TRUE(w);
  ASSERT_TRUE(e2e::RemoveIcon(w));
  EXPECT_FALSE(e2e::IconPresent(w));
  PostMessageA(w, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_TRUE(testutil::PumpUntil([&] { return e2e::IconPresent(w); }));
  EXPECT_TRUE(e2e::ExitTray(w));
}

TEST_F(TrayProgram, ASecondTrayAddsASecondIcon) {
  e2e::Program first(dir.path(), "tray.exe", Token);
  e2e::Program second(dir.path(), "tray.exe", Token);
  HWND a = e2e::WaitForTrayWindow(first.Id()), b = e2e::WaitForTrayWindow(second.Id());
  ASSERT_TRUE(a && b);
  EXPECT_NE(a, b);
  EXPECT_TRUE(testutil::PumpUntil([&] { return e2e::IconPresent(a) && e2e::IconPresent(b); }));
  EXPECT_TRUE(e2e::ExitTray(b));
  EXPECT_TRUE(e2e::IconPresent(a));
  EXPECT_FALSE(e2e::IconPresent(b));
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(e2e::ExitTray(a));
}

// Wine's notification area drops the icons of a window that is gone, so whether Exit removes
// its icon itself is seen by standing in for the notification area: the shell hands every
// request to the first window of the class Shell_TrayWnd, in its own format (Wine's below).
struct WineNotifyData {
  LONG hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  WCHAR szTip[128];
};

struct Request {
  DWORD message;
  HWND owner;
  UINT id, flags, callback;
  std::string tip;
};

std::vector<Request> g_requests;

LRESULT CALLBACK TrayStandInProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
    if (cds->cbData < sizeof(WineNotifyData)) return FALSE;
    auto* data = static_cast<const WineNotifyData*>(cds->lpData);
    char tip[256] = {};
    WideCharToMultiByte(CP_ACP, 0, data->szTip, -1, tip, sizeof tip, nullptr, nullptr);
    g_requests.push_back({static_cast<DWORD>(cds->dwData), reinterpret_cast<HWND>(static_cast<LONG_PTR>(data->hWnd)),
                          data->uID, data->uFlags, data->uCallbackMessage, tip});
    return TRUE;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

class NotificationAreaStandIn {
 public:
  NotificationAreaStandIn() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = TrayStandInProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 1, 1, nullptr,
                              nullptr, wc.hInstance, nullptr);
    g_requests.clear();
  }
  ~NotificationAreaStandIn() {
    DestroyWindow(window_);
    UnregisterClassA("Shell_TrayWnd", GetModuleHandleA(nullptr));
  }
  bool First() const { return window_ && FindWindowA("Shell_TrayWnd", nullptr) == window_; }

 private:
  HWND window_;
};

// A tray started with the stand-in in place of the notification area.
class TrayAndShell : public TrayProgram {
 protected:
  void SetUp() override {
    TrayProgram::SetUp();
    ASSERT_TRUE(area.First()) << "the shell would not reach the stand-in";
  }
  // The tray's window once the stand-in has its first request; null when either never came.
  HWND TrayThatAsked(const e2e::Program& tray) {
    HWND w = e2e::WaitForTrayWindow(tray.Id());
    return w && testutil::PumpUntil([] { return !g_requests.empty(); }) ? w : nullptr;
  }
  NotificationAreaStandIn area;
};

TEST_F(TrayAndShell, TheShellGetsTheIconWithItsTipAndExitTakesItAway) {
  e2e::Program tray(dir.path(), "tray.exe", Token);
  HWND w = TrayThatAsked(tray);
  ASSERT_TRUE(w);
  PostMessageA(w, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  ASSERT_TRUE(testutil::PumpUntil([&] { return g_requests.size() >= 2; }));
  ASSERT_TRUE(e2e::ChooseFromMenu(w, 4));
  ASSERT_TRUE(tray.WaitForEnd());
  testutil::PumpFor(std::chrono::milliseconds(100));

  ASSERT_EQ(g_requests.size(), 3u);
  const DWORD expected[] = {NIM_ADD, NIM_ADD, NIM_DELETE};
  for (size_t i = 0; i < g_requests.size(); ++i) {
    SCOPED_TRACE("request " + std::to_string(i));
    const Request& r = g_requests[i];
    EXPECT_EQ(r.message, expected[i]);
    EXPECT_EQ(r.owner, w);
    EXPECT_EQ(r.id, 1u);
    EXPECT_EQ(r.flags, 7u);
    EXPECT_EQ(r.callback, 512u);
    EXPECT_EQ(r.tip, "Quietrail 2003 QuickLaunch");
  }
}

TEST_F(TrayAndShell, ClosingItsWindowFromOutsideEndsItAsExitDoes) {
  e2e::Program tray(dir.path(), "tray.exe", Token);
  HWND w = TrayThatAsked(tray);
  ASSERT_TRUE(w);
  PostMessageA(w, WM_CLOSE, 0, 0);
  ASSERT_TRUE(tray.WaitForEnd());
  testutil::PumpFor(std::chrono::milliseconds(100));
  ASSERT_EQ(g_requests.size(), 2u);
  EXPECT_EQ(g_requests[1].message, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(g_requests[1].owner, w);
}

}  // namespace
