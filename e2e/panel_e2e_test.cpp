// panel.exe as a user drives it: started in a program folder of its own with the real login
// control and user database, its windows found from outside, clicked, typed into and read.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>

#include "client.h"
#include "programs.h"
#include "raii.h"
#include "settings.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

using std::chrono::seconds;

constexpr const char* FreshDatabase = e2e::UnconfirmedDatabase;
using e2e::ConfirmedDatabase;
using e2e::UserSettings;

// --- driving another process's windows ---------------------------------------------------------

HWND Ctl(HWND form, const char* name) { return e2e::Control(form, name); }

using e2e::Checked;
using e2e::LongText;
using e2e::Press;

void Type(HWND edit, const std::string& text) {
  for (unsigned char c : text) PostMessageA(edit, WM_CHAR, c, 1);
}

void Key(HWND w, UINT vk) {
  PostMessageA(w, WM_KEYDOWN, vk, 1);
  PostMessageA(w, WM_KEYUP, vk, 0xC0000001);
}

bool Enabled(HWND w) { return w && IsWindowEnabled(w); }
int TextLength(HWND edit) { return static_cast<int>(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0)); }

// The program's visible window of a form, once it shows; null when the program ended first or
// the deadline passed.
HWND WaitFor(e2e::Program& p, const char* form, seconds deadline = seconds(20)) {
  return e2e::WaitForWindow(p, form, deadline);
}

using e2e::Gone;

bool Until(const std::function<bool()>& done) { return testutil::PumpUntil(done); }

// Lets a starting program settle: until it shows a window or ends.
std::set<std::string> Settle(e2e::Program& p) { return e2e::Settle(p, e2e::PanelForms); }

// --- the program folder ------------------------------------------------------------------------

class Panel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"panel.exe", "accesskeep.ocx"}), "");
    ASSERT_TRUE(testutil::WriteWholeFile(Db(), ConfirmedDatabase));
    ASSERT_EQ(control.Create(testutil::ProgramFolder() + "\\accesskeep.ocx"), S_OK);
  }
  std::string Db() const { return dir / "panel.dll"; }
  std::string Read(const char* name) const { return testutil::ReadWholeFile(dir / name); }
  std::string Setting(const char* name) {
    std::string value;
    EXPECT_EQ(control.RetrieveSetting("default", name, Db(), &value), S_OK);
    return value;
  }
  void Store(const char* name, const char* value) {
    long status = -1;
    ASSERT_EQ(control.StoreSetting("default", name, value, Db(), &status), S_OK);
    ASSERT_EQ(status, 0) << name;
  }
  // A password set and protection switched on, as the settings dialog leaves them.
  void Protect(const char* password) {
    long status = -1;
    ASSERT_EQ(control.ChangePassword("default", password, Db(), false, &status), S_OK);
    ASSERT_EQ(status, 0);
    Store("login", "1");
  }
  // Logs in at the prompt with `password` and the Enter key.
  void LogIn(e2e::Program& p, const std::string& password) {
    HWND prompt = WaitFor(p, "frmLogin");
    ASSERT_TRUE(prompt);
    HWND box = Ctl(prompt, "Text1");
    Type(box, password);
    Key(box, VK_RETURN);
  }
  // The main window once it shows (into `main`), `button` pressed on it, and the window that
  // opens; null when that does not show, or the main window did not.
  HWND OpenFromMain(e2e::Program& p, const char* button, const char* form, HWND& main) {
    main = WaitFor(p, "frmMain");
    if (!main) return nullptr;
    Press(Ctl(main, button));
    return WaitFor(p, form);
  }
  // A panel opened at its settings dialog, unprotected.
  HWND OpenSettings(e2e::Program& p) {
    HWND settings = WaitFor(p, "frmSettings");
    EXPECT_TRUE(settings);
    return settings;
  }
  // The cookie exclusion editor opened from the settings dialog.
  HWND OpenCookieEditor(e2e::Program& p, HWND settings, seconds deadline = seconds(20)) {
    Press(Ctl(settings, "CmdCookie"));
    HWND editor = WaitFor(p, "frmCookieExclude", deadline);
    EXPECT_TRUE(editor);
    return editor;
  }
  void ConfirmError(e2e::Program& p, const std::string& message) {
    HWND error = WaitFor(p, "frmError");
    ASSERT_TRUE(error) << message;
    EXPECT_EQ(testutil::TextOf(error), "Error");
    EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")), message);
    Press(Ctl(error, "Command1"));
    EXPECT_TRUE(Gone(p, "frmError"));
  }

  winapp::ComApartment com;
  testutil::TempFolder dir;
  accesskeep::AccessKeepClient control;
};

// --- start-up ------------------------------------------------------------------------------------

TEST_F(Panel, CommandLineDecidesWhatOpensWithProtectionOffAndOn) {
  struct Case {
    const char* arguments;
    bool protect;
    const char* showWelcome;
    std::set<std::string> opens;  // empty: the program ends without a window
  } cases[] = {
      {"", false, "7", {"frmMain"}},
      {"", false, "0", {"frmWelcome"}},
      {"ABOUT", false, "7", {"frmAbout"}},
      {"SETTINGS", false, "0", {"frmSettings"}},
      {"settings", false, "7", {}},
      {"About", false, "7", {}},
      {"SETTINGS X", false, "7", {}},
      {"", true, "7", {"frmLogin"}},
      {"ABOUT", true, "7", {"frmAbout"}},
      {"SETTINGS", true, "7", {"frmLogin"}},
      {"settings", true, "7", {"frmLogin"}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const Case& c = cases[i];
    ASSERT_TRUE(testutil::WriteWholeFile(Db(), FreshDatabase));
    Store("ShowWelcome", c.showWelcome);
    if (c.protect) Protect("Secret1");
    e2e::Program p(dir.path(), "panel.exe", c.arguments);
    EXPECT_EQ(Settle(p), c.opens);
    // Every window's buttons are of the panel's own button class.
    for (const std::string& form : c.opens) {
      char cls[64] = {};
      GetClassNameA(Ctl(p.Window(form.c_str()), "Command1"), cls, sizeof cls);
      EXPECT_STREQ(cls, "Panel.xpcmdbutton");
    }
    if (c.opens.empty()) {
      EXPECT_TRUE(p.WaitForEnd(seconds(10)));
    }
    if (c.opens == std::set<std::string>{"frmLogin"}) {
      HWND prompt = p.Window("frmLogin");
      EXPECT_EQ(testutil::TextOf(prompt), "Welcome");
      EXPECT_TRUE(GetWindowLongA(Ctl(prompt, "Text1"), GWL_STYLE) & ES_PASSWORD);
      EXPECT_EQ(SendMessageA(Ctl(prompt, "Text1"), EM_GETPASSWORDCHAR, 0, 0), '*');
    }
  }
}

TEST_F(Panel, WrongPasswordIsToldAndTheRightOneOpensWhatTheArgumentsAsk) {
  struct Case {
    const char* arguments;
    const char* showWelcome;
    const char* opens;
  } cases[] = {{"", "7", "frmMain"}, {"", "3", "frmWelcome"}, {"SETTINGS", "3", "frmSettings"},
               {"settings", "7", "frmMain"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    ASSERT_TRUE(testutil::WriteWholeFile(Db(), FreshDatabase));
    Protect("Secret1");
    Store("ShowWelcome", cases[i].showWelcome);
    e2e::Program p(dir.path(), "panel.exe", cases[i].arguments);
    HWND prompt = WaitFor(p, "frmLogin");
    ASSERT_TRUE(prompt);
    HWND box = Ctl(prompt, "Text1");
    Type(box, "secret1");  // the right one in the wrong letter case
    Press(Ctl(prompt, "Command1"));
    HWND error = WaitFor(p, "frmError");
    ASSERT_TRUE(error);
    EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")), "Your password is incorrect");
    EXPECT_FALSE(Enabled(prompt));
    EXPECT_EQ(TextLength(box), 0);
    Press(Ctl(error, "Command1"));
    EXPECT_TRUE(Until([&] { return Enabled(prompt); }));
    EXPECT_TRUE(IsWindowVisible(prompt));
    Type(box, "Secret1");
    Key(box, VK_RETURN);
    EXPECT_TRUE(WaitFor(p, cases[i].opens));
    EXPECT_TRUE(Gone(p, "frmLogin"));
    EXPECT_EQ(e2e::VisibleForms(p, e2e::PanelForms), std::set<std::string>{cases[i].opens});
  }
}

TEST_F(Panel, PromptCancelAndEscEndTheProgram) {
  Protect("Secret1");
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    e2e::Program p(dir.path(), "panel.exe", "");
    HWND prompt = WaitFor(p, "frmLogin");
    ASSERT_TRUE(prompt);
    if (i == 0) Press(Ctl(prompt, "Command2"));
    if (i == 1) Key(Ctl(prompt, "Text1"), VK_ESCAPE);
    if (i == 2) PostMessageA(prompt, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitForEnd(seconds(10)));
  }
}

TEST_F(Panel, WelcomeResetsTheSettingsKeepsTheListAndComesBackUntilContinue) {
  ASSERT_TRUE(testutil::WriteWholeFile(Db(), FreshDatabase));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", "bank\r\nmail\r\n"));
  for (int start = 0; start < 2; ++start) {
    e2e::Program p(dir.path(), "panel.exe", "");
    HWND welcome = WaitFor(p, "frmWelcome");
    ASSERT_TRUE(welcome) << "start " << start;
    EXPECT_EQ(testutil::TextOf(welcome), "Welcome");
    EXPECT_EQ(Read("quietrail.ini"), winapp::FirstRunSettingsText()) << "start " << start;
    EXPECT_EQ(Read("exclude.ini"), "bank\r\nmail\r\n") << "start " << start;
    EXPECT_EQ(testutil::TextOf(Ctl(welcome, "Label3")), "If you're a beginner, see the \"Getting Started\"Section.");
    EXPECT_EQ(testutil::TextOf(Ctl(welcome, "Command1")), "&Continue");
    if (start == 0) {
      PostMessageA(welcome, WM_CLOSE, 0, 0);  // closed unconfirmed: nothing stored, the program ends
      EXPECT_TRUE(p.WaitForEnd(seconds(10)));
      EXPECT_EQ(Setting("ShowWelcome"), "0");
      ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
    } else {
      Press(Ctl(welcome, "Command1"));
      EXPECT_TRUE(WaitFor(p, "frmMain"));
      EXPECT_TRUE(Gone(p, "frmWelcome"));
      EXPECT_EQ(Setting("ShowWelcome"), "7");
    }
  }
  e2e::Program again(dir.path(), "panel.exe", "");
  EXPECT_EQ(Settle(again), std::set<std::string>{"frmMain"});
}

TEST_F(Panel, WelcomeCreatesAnEmptyListWhereThereIsNone) {
  ASSERT_TRUE(testutil::WriteWholeFile(Db(), FreshDatabase));
  e2e::Program p(dir.path(), "panel.exe", "");
  ASSERT_TRUE(WaitFor(p, "frmWelcome"));
  EXPECT_TRUE(testutil::Exists(dir / "exclude.ini"));
  EXPECT_EQ(Read("exclude.ini"), "");
  EXPECT_EQ(Read("quietrail.ini"), winapp::FirstRunSettingsText());
}

TEST_F(Panel, DatabaseWithoutItsSettingsStillOpensAndAMissingOneIsMadeFresh) {
  struct Case {
    const char* database;  // null: no file at all
    const char* opens;
  } cases[] = {
      {"[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=default\r\n", "frmWelcome"},
      {"[General]\r\nVersion=2\r\n[Users]\r\ncount=0\r\n", "frmWelcome"},
      {"\x01\x02garbage\xFF", "frmWelcome"},
      {nullptr, "frmWelcome"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    DeleteFileA(Db().c_str());
    if (cases[i].database) {
      ASSERT_TRUE(testutil::WriteWholeFile(Db(), cases[i].database));
    }
    e2e::Program p(dir.path(), "panel.exe", "");
    EXPECT_EQ(Settle(p), std::set<std::string>{cases[i].opens})
        << (p.Running() ? "" : "ended with " + std::to_string(p.ExitCode()));
  }
  // The fresh database has the user "default" without a password, unprotected.
  EXPECT_EQ(Read("panel.dll"), FreshDatabase);
  long status = -1;
  ASSERT_EQ(control.ChangePassword("default", "Secret1", Db(), false, &status), S_OK);
  EXPECT_EQ(status, 0);
}

TEST_F(Panel, WithoutTheLoginControlTheMissingFileIsNamedAndTheProgramEnds) {
  CLSID registered;
  if (SUCCEEDED(CLSIDFromProgID(L"KestrovaneSoftwareLogin.AccessKeep", &registered)))
    GTEST_SKIP() << "the control is registered in this prefix";
  ASSERT_TRUE(DeleteFileA((dir / "accesskeep.ocx").c_str()));
  e2e::Program p(dir.path(), "panel.exe", "");
  ConfirmError(p, dir.path() + "\\accesskeep.ocx not found. Please reinstall Quietrail or locate the file and try again.");
  EXPECT_TRUE(p.WaitForEnd(seconds(10)));
}

// --- the main window and the about box ----------------------------------------------------------

TEST_F(Panel, ClearNowAndAnalyzeStartClearWithTheTokenOrSayItIsMissing) {
  e2e::Program p(dir.path(), "panel.exe", "");
  HWND main = WaitFor(p, "frmMain");
  ASSERT_TRUE(main);
  EXPECT_EQ(testutil::TextOf(main), "Quietrail 2003");
  EXPECT_TRUE(GetWindowLongA(main, GWL_STYLE) & WS_MINIMIZEBOX);
  EXPECT_FALSE(GetWindowLongA(main, GWL_STYLE) & WS_MAXIMIZEBOX);

  Press(Ctl(main, "Command2"));
  HWND error = WaitFor(p, "frmError");
  ASSERT_TRUE(error);
  EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")),
            dir.path() + "\\clear.exe not found. Please reinstall Quietrail or locate the file and try again.");
  EXPECT_FALSE(Enabled(main));
  PostMessageA(error, WM_CLOSE, 0, 0);  // the title bar's close acts as OK
  EXPECT_TRUE(Until([&] { return Enabled(main); }));

  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\..\\testbin\\e2e_recorder.exe", dir.path(), "clear.exe"));
  Press(Ctl(main, "Command2"));
  Press(Ctl(main, "Command2"));
  std::string expected = "clear.exe|K4T9B3|" + dir.path() + "\r\n";
  EXPECT_TRUE(Until([&] { return Read("started.txt") == expected + expected; })) << Read("started.txt");
  EXPECT_TRUE(Enabled(main));
  // "&Analyze" starts the same program to count instead.
  Press(Ctl(main, "Command5"));
  expected += expected + "clear.exe|K4T9B3 /analyze|" + dir.path() + "\r\n";
  EXPECT_TRUE(Until([&] { return Read("started.txt") == expected; })) << Read("started.txt");
  Press(Ctl(main, "Command4"));
  EXPECT_TRUE(p.WaitForEnd(seconds(10)));
}

TEST_F(Panel, AboutBoxReturnsToTheMainWindowOrEndsTheProgram) {
  e2e::Program p(dir.path(), "panel.exe", "");
  HWND main = nullptr;
  HWND about = OpenFromMain(p, "Command3", "frmAbout", main);
  ASSERT_TRUE(main);
  ASSERT_TRUE(about);
  EXPECT_TRUE(Until([&] { return !Enabled(main); }));
  const std::pair<const char*, const char*> fields[] = {{"Label1", "Version:"},    {"lblVersion", "1.14"},
                                                       {"Label2", "Build Date:"}, {"lblBuildDate", "April 2003"},
                                                       {"Label3", "URL:"},        {"Label4", "Support Contact:"}};
  for (auto& [name, text] : fields) EXPECT_EQ(testutil::TextOf(Ctl(about, name)), text) << name;
  Press(Ctl(about, "Command1"));
  EXPECT_TRUE(Gone(p, "frmAbout"));
  EXPECT_TRUE(Until([&] { return Enabled(main); }));
  EXPECT_TRUE(p.Running());

  e2e::Program alone(dir.path(), "panel.exe", "ABOUT");
  about = WaitFor(alone, "frmAbout");
  ASSERT_TRUE(about);
  Key(Ctl(about, "Command1"), VK_RETURN);
  EXPECT_TRUE(alone.WaitForEnd(seconds(10)));
}

// --- the settings dialog ------------------------------------------------------------------------

const char* const Boxes[] = {"chkHistory", "chkTmpInt", "chkCookies", "chkRecent", "chkURL",
                             "chkStartup", "chkClearingDialog", "chkSplash", "chkTray"};

std::string Flags(const std::string& file) { return e2e::SettingsFlags(file); }

std::string Ticks(HWND settings) {
  std::string ticks;
  for (const char* box : Boxes) ticks += Checked(Ctl(settings, box)) ? '1' : '0';
  return ticks;
}

TEST_F(Panel, SettingsShowTheFileAndOkWritesItBack) {
  static const std::string firstRun = winapp::FirstRunSettingsText();
  struct Case {
    const char* file;  // null: no settings file
    const char* login;
    const char* ticks;        // as shown, in the order of Boxes
    bool splashTrayEnabled;   // follows Startup
    bool cookieButton, passwordButton;
    std::vector<const char*> clicks;
    const char* written;      // the nine flags after OK
  } cases[] = {
      {nullptr, "1", "000000000", false, false, false, {}, "000000000"},
      {UserSettings, "0", "111010001", false, true, false, {}, "111010001"},
      {"[Settings]\r\nHistory=2\r\nTmpInt= 1 \r\nCookies=x\r\nStartup=1\r\n[Launch]\r\nSplash=1\r\nTray=1.9\r\n", "0",
       "010001011", true, false, false, {}, "010001011"},
      // Unticking Startup keeps the splash and tray ticks and saves them.
      {firstRun.c_str(), "0", "000001111", true, false, false, {"chkStartup"}, "000000111"},
      {firstRun.c_str(), "0", "000001111", true, false, false,
       {"chkHistory", "chkRecent", "chkClearingDialog"}, "100101011"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const Case& c = cases[i];
    DeleteFileA((dir / "quietrail.ini").c_str());
    if (c.file) {
      ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", c.file));
    }
    Store("login", c.login);
    if (std::string(c.login) == "1") Protect("Secret1");
    e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
    if (std::string(c.login) == "1") LogIn(p, "Secret1");
    HWND settings = OpenSettings(p);
    ASSERT_TRUE(settings);
    EXPECT_EQ(Ticks(settings), c.ticks);
    EXPECT_EQ(Checked(Ctl(settings, "chkProtect")), false);
    EXPECT_EQ(Enabled(Ctl(settings, "chkSplash")), c.splashTrayEnabled);
    EXPECT_EQ(Enabled(Ctl(settings, "chkTray")), c.splashTrayEnabled);
    EXPECT_EQ(Enabled(Ctl(settings, "CmdCookie")), c.cookieButton);
    EXPECT_EQ(Enabled(Ctl(settings, "cmdCP")), c.passwordButton);
    for (const char* box : c.clicks) SendMessageA(Ctl(settings, box), BM_CLICK, 0, 0);
    bool startup = Checked(Ctl(settings, "chkStartup"));
    EXPECT_EQ(Enabled(Ctl(settings, "chkSplash")), startup);
    EXPECT_EQ(Enabled(Ctl(settings, "chkTray")), startup);
    Press(Ctl(settings, "Command1"));
    EXPECT_TRUE(p.WaitForEnd(seconds(10)));
    EXPECT_EQ(Flags(dir / "quietrail.ini"), c.written);
    EXPECT_EQ(Setting("login"), "0");  // protection unticked: switched off
  }
}

TEST_F(Panel, SettingsCancelWritesNothing) {
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
    HWND settings = OpenSettings(p);
    ASSERT_TRUE(settings);
    SendMessageA(Ctl(settings, "chkRecent"), BM_CLICK, 0, 0);
    if (i == 0) Press(Ctl(settings, "Command2"));
    if (i == 1) Key(Ctl(settings, "chkRecent"), VK_ESCAPE);
    if (i == 2) PostMessageA(settings, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.WaitForEnd(seconds(10)));
    EXPECT_EQ(Read("quietrail.ini"), UserSettings);
  }
}

// Opened again after Cancel, the dialog shows the file, not the cancelled ticks, so that OK then
// saves nothing the user cancelled.
TEST_F(Panel, SettingsOpenedAgainShowTheFileNotTheCancelledTicks) {
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  e2e::Program p(dir.path(), "panel.exe", "");
  HWND main = WaitFor(p, "frmMain");
  ASSERT_TRUE(main);
  for (int round = 0; round < 2; ++round) {
    Press(Ctl(main, "Command1"));
    HWND settings = WaitFor(p, "frmSettings");
    ASSERT_TRUE(settings) << "round " << round;
    EXPECT_EQ(Ticks(settings), "111010001") << "round " << round;
    EXPECT_FALSE(Enabled(Ctl(settings, "chkTray"))) << "round " << round;
    EXPECT_TRUE(Enabled(Ctl(settings, "CmdCookie"))) << "round " << round;
    if (round == 0)
      for (const char* box : {"chkHistory", "chkCookies", "chkStartup"}) SendMessageA(Ctl(settings, box), BM_CLICK, 0, 0);
    Press(Ctl(settings, round == 0 ? "Command2" : "Command1"));
    EXPECT_TRUE(Gone(p, "frmSettings")) << "round " << round;
    EXPECT_TRUE(Until([&] { return Enabled(main); })) << "round " << round;
  }
  EXPECT_EQ(Flags(dir / "quietrail.ini"), "111010001");
  Press(Ctl(main, "Command4"));
  EXPECT_TRUE(p.WaitForEnd(seconds(10)));
}

TEST_F(Panel, ProtectionWithoutAPasswordIsRefusedAfterTheKeysAreWritten) {
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", winapp::FirstRunSettingsText()));
  e2e::Program p(dir.path(), "panel.exe", "");
  HWND main = nullptr;
  HWND settings = OpenFromMain(p, "Command1", "frmSettings", main);
  ASSERT_TRUE(main);
  ASSERT_TRUE(settings);
  EXPECT_TRUE(Until([&] { return !Enabled(main); }));
  SendMessageA(Ctl(settings, "chkHistory"), BM_CLICK, 0, 0);
  SendMessageA(Ctl(settings, "chkProtect"), BM_CLICK, 0, 0);
  EXPECT_TRUE(Enabled(Ctl(settings, "cmdCP")));
  Press(Ctl(settings, "Command1"));
  HWND error = WaitFor(p, "frmError");
  ASSERT_TRUE(error);
  EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")),
            "You must set a password if you have selected password protection.\r\n"
            " You can do this by selecting \"Change Password\"");
  EXPECT_FALSE(Enabled(settings));
  EXPECT_EQ(Flags(dir / "quietrail.ini"), "100001111");
  EXPECT_EQ(Setting("login"), "0");
  Press(Ctl(error, "Command1"));
  EXPECT_TRUE(Until([&] { return Enabled(settings); }));
  EXPECT_TRUE(IsWindowVisible(settings));
  Press(Ctl(settings, "Command2"));
  EXPECT_TRUE(Gone(p, "frmSettings"));
  EXPECT_TRUE(Until([&] { return Enabled(main); }));
  EXPECT_TRUE(p.Running());
}

TEST_F(Panel, AFailedStoreOfLoginIsShownUntilOkThenTheProgramEnds) {
  // A database whose user count the control refuses (beyond 16 bits): storing login fails. The
  // settings dialog opened alone and from the main window.
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    ASSERT_TRUE(testutil::WriteWholeFile(Db(), "[General]\r\nVersion=2\r\n[Users]\r\ncount=99999\r\n"));
    e2e::Program p(dir.path(), "panel.exe", i == 0 ? "SETTINGS" : "");
    if (i == 1) {
      HWND welcome = WaitFor(p, "frmWelcome");  // no "default" to hold ShowWelcome either
      ASSERT_TRUE(welcome);
      Press(Ctl(welcome, "Command1"));
      HWND main = WaitFor(p, "frmMain");
      ASSERT_TRUE(main);
      Press(Ctl(main, "Command1"));
    }
    HWND settings = OpenSettings(p);
    ASSERT_TRUE(settings);
    Press(Ctl(settings, "Command1"));
    HWND error = WaitFor(p, "frmError");
    ASSERT_TRUE(error);
    EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")), "Unexpected error when attempting to write password data");
    EXPECT_TRUE(Gone(p, "frmSettings"));
    EXPECT_TRUE(Gone(p, "frmMain"));
    testutil::PumpFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(p.Running());  // the message waits to be read
    Press(Ctl(error, "Command1"));
    EXPECT_TRUE(p.WaitForEnd(seconds(10)));
  }
}

// --- the change-password dialog -----------------------------------------------------------------

TEST_F(Panel, ChangePasswordAnswersEveryOutcome) {
  e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
  HWND settings = OpenSettings(p);
  ASSERT_TRUE(settings);
  SendMessageA(Ctl(settings, "chkProtect"), BM_CLICK, 0, 0);
  Press(Ctl(settings, "cmdCP"));
  HWND dialog = WaitFor(p, "frmChangePassword");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(testutil::TextOf(dialog), "Change Password");
  EXPECT_FALSE(Enabled(settings));
  HWND text2 = Ctl(dialog, "Text2"), text3 = Ctl(dialog, "Text3");
  EXPECT_EQ(SendMessageA(text2, EM_GETPASSWORDCHAR, 0, 0), '*');
  EXPECT_EQ(SendMessageA(text3, EM_GETPASSWORDCHAR, 0, 0), '*');

  // A 21st character cannot be typed.
  Type(text2, std::string(25, 'a'));
  Type(text3, std::string(21, 'b'));
  EXPECT_TRUE(Until([&] { return TextLength(text2) == 20 && TextLength(text3) == 20; }));
  SetWindowTextA(text2, "");
  SetWindowTextA(text3, "");

  struct Case {
    const char* typed;
    const char* confirmed;
    const char* message;
  } cases[] = {
      {"Secret1", "secret1", "The confirm password must match the new password"},
      {"abc", "abc", "Your password must be between 6 && 20 characters in length."},
      {"secret~1", "secret~1", "Your password contains unsupported characters."},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Type(text2, cases[i].typed);
    Type(text3, cases[i].confirmed);
    Key(text3, VK_RETURN);
    HWND error = WaitFor(p, "frmError");
    ASSERT_TRUE(error);
    HWND label = Ctl(error, "Label1");
    EXPECT_EQ(testutil::TextOf(label), cases[i].message);
    // The label shows "&&" as one ampersand.
    EXPECT_FALSE(GetWindowLongA(label, GWL_STYLE) & SS_NOPREFIX);
    EXPECT_FALSE(Enabled(dialog));
    EXPECT_EQ(TextLength(text2), 0);
    EXPECT_EQ(TextLength(text3), 0);
    Press(Ctl(error, "Command1"));
    EXPECT_TRUE(Until([&] { return Enabled(dialog); }));
    EXPECT_TRUE(IsWindowVisible(dialog));
  }

  // An empty password is the control's status 2, which the dialog does not know.
  Key(text3, VK_RETURN);
  HWND box = nullptr;
  EXPECT_TRUE(Until([&] {
    box = FindWindowA("#32770", "Operating Environment Error");
    return box && IsWindowVisible(box);
  }));
  ASSERT_TRUE(box);
  EXPECT_NE(testutil::TextOf(GetDlgItem(box, 0xFFFF)).find(
                "Unexpected error. Please contact support@quietrail.example describing\r\nerror circumstances, and "
                "this code: Pwd2. (Your password has not been set)"),
            std::string::npos)
      << testutil::TextOf(GetDlgItem(box, 0xFFFF));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(Gone(p, "frmChangePassword"));
  EXPECT_TRUE(Until([&] { return Enabled(settings); }));
  Press(Ctl(settings, "cmdCP"));
  dialog = WaitFor(p, "frmChangePassword");
  ASSERT_TRUE(dialog);
  text2 = Ctl(dialog, "Text2");
  text3 = Ctl(dialog, "Text3");
  EXPECT_EQ(TextLength(text2), 0);

  Type(text2, "New pass 1");
  Type(text3, "New pass 1");
  Press(Ctl(dialog, "Command1"));
  EXPECT_TRUE(Gone(p, "frmChangePassword"));
  EXPECT_TRUE(Until([&] { return Enabled(settings); }));
  Press(Ctl(settings, "Command1"));
  EXPECT_TRUE(p.WaitForEnd(seconds(10)));
  EXPECT_EQ(Setting("login"), "1");

  e2e::Program next(dir.path(), "panel.exe", "");
  LogIn(next, "New pass 1");
  EXPECT_TRUE(WaitFor(next, "frmMain"));
}

TEST_F(Panel, ChangePasswordCancelStoresNothing) {
  Protect("Secret1");
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  std::string before = Read("panel.dll");
  e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
  LogIn(p, "Secret1");
  HWND settings = OpenSettings(p);
  ASSERT_TRUE(settings);
  EXPECT_TRUE(Checked(Ctl(settings, "chkProtect")));
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    Press(Ctl(settings, "cmdCP"));
    HWND dialog = WaitFor(p, "frmChangePassword");
    ASSERT_TRUE(dialog);
    // Opened again, the dialog shows nothing of what was typed before.
    EXPECT_EQ(TextLength(Ctl(dialog, "Text2")) + TextLength(Ctl(dialog, "Text3")), 0);
    Type(Ctl(dialog, "Text2"), "Other pass");
    Type(Ctl(dialog, "Text3"), "Other pass");
    if (i == 0) Press(Ctl(dialog, "Command2"));
    else PostMessageA(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Gone(p, "frmChangePassword"));
    EXPECT_TRUE(Until([&] { return Enabled(settings); }));
  }
  EXPECT_EQ(Read("panel.dll"), before);
}

// --- the exclusion editor -----------------------------------------------------------------------

TEST_F(Panel, ExclusionListRoundTrips) {
  struct Case {
    const char* file;    // null: no list
    const char* shown;
    const char* typed;   // null: OK without a change
    const char* saved;
  } cases[] = {
      {"bank\r\nmail\r\n", "bank,mail", nullptr, "bank\r\nmail\r\n"},
      {"", "", "yahoo,google,", "yahoo\r\ngoogle\r\n\r\n"},
      {"yahoo\r\ngoogle\r\n\r\n", "yahoo,google,", nullptr, "yahoo\r\ngoogle\r\n\r\n"},
      {"", "", "bank, mail", "bank\r\n mail\r\n"},
      {"bank\r\n mail\r\n", "bank,mail", nullptr, "bank\r\nmail\r\n"},
      {"bank\r\n", "bank", "", ""},
      {"\r\n\r\nbank\r\n", "bank", nullptr, "bank\r\n"},
      {"\"a,b\",c\r\n", "a,b,c", nullptr, "a\r\nb\r\nc\r\n"},
      {nullptr, "", "bank", "bank\r\n"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    DeleteFileA((dir / "exclude.ini").c_str());
    if (cases[i].file) {
      ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", cases[i].file));
    }
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
    e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
    HWND settings = OpenSettings(p);
    ASSERT_TRUE(settings);
    HWND editor = OpenCookieEditor(p, settings);
    ASSERT_TRUE(editor);
    EXPECT_EQ(testutil::TextOf(editor), "Exclude Cookie List");
    EXPECT_FALSE(Enabled(settings));
    HWND box = Ctl(editor, "txtExclude");
    EXPECT_EQ(LongText(box), cases[i].shown);
    if (cases[i].typed) {
      SetWindowTextA(box, "");
      Type(box, cases[i].typed);
    }
    Press(Ctl(editor, "Command1"));
    EXPECT_TRUE(Gone(p, "frmCookieExclude"));
    EXPECT_TRUE(Until([&] { return Enabled(settings); }));
    EXPECT_EQ(Read("exclude.ini"), cases[i].saved);
    Press(Ctl(settings, "Command2"));
    EXPECT_TRUE(p.WaitForEnd(seconds(10)));
  }
}

// The sites with cookies in the real program: a cookie's site listed, ticked from the keyboard,
// and added to the editor's text by OK; the list is saved only by the editor's own OK.
TEST_F(Panel, ATickedSiteWithCookiesJoinsTheList) {
  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\browsers.dll", dir.path()));
  testcache::EmptyCache();
  ASSERT_TRUE(testcache::SeedCookie("Cookie:qr@www.picked.example/"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", "bank\r\n"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
  HWND settings = OpenSettings(p);
  ASSERT_TRUE(settings);
  HWND editor = OpenCookieEditor(p, settings);
  ASSERT_TRUE(editor);
  Press(Ctl(editor, "cmdSites"));
  HWND sites = WaitFor(p, "frmCookieSites");
  ASSERT_TRUE(sites);
  EXPECT_EQ(testutil::TextOf(sites), "Sites with cookies");
  HWND list = Ctl(sites, "lstSites");
  EXPECT_TRUE(Until([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 1; }));
  EXPECT_FALSE(Enabled(editor));
  Key(list, VK_DOWN);
  Key(list, VK_SPACE);
  EXPECT_TRUE(Until([&] { return SendMessageA(list, LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2); }));
  Press(Ctl(sites, "Command1"));
  EXPECT_TRUE(Gone(p, "frmCookieSites"));
  EXPECT_TRUE(Until([&] { return Enabled(editor); }));
  EXPECT_EQ(LongText(Ctl(editor, "txtExclude")), "bank,picked.example");
  EXPECT_EQ(Read("exclude.ini"), "bank\r\n");
  Press(Ctl(editor, "Command1"));
  EXPECT_TRUE(Gone(p, "frmCookieExclude"));
  EXPECT_EQ(Read("exclude.ini"), "bank\r\npicked.example\r\n");
  Press(Ctl(settings, "Command2"));
  EXPECT_TRUE(p.WaitForEnd(seconds(10)));
  testcache::EmptyCache();
}

TEST_F(Panel, ExclusionCancelLeavesTheFileAsItWas) {
  const std::string list = "bank\r\n\"quoted\", mail,\r\n\r\n";
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", list));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
  HWND settings = OpenSettings(p);
  ASSERT_TRUE(settings);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    HWND editor = OpenCookieEditor(p, settings);
    ASSERT_TRUE(editor);
    Type(Ctl(editor, "txtExclude"), "changed,");
    if (i == 0) Press(Ctl(editor, "Command2"));
    if (i == 1) PostMessageA(editor, WM_CLOSE, 0, 0);
    if (i == 2) Key(Ctl(editor, "Command2"), VK_ESCAPE);
    EXPECT_TRUE(Gone(p, "frmCookieExclude"));
    EXPECT_TRUE(Until([&] { return Enabled(settings); }));
    EXPECT_EQ(Read("exclude.ini"), list);
  }
}

TEST_F(Panel, LargeAndDamagedListsOpenAndLargeOnesAreSavedWhole) {
  std::string many;
  for (int i = 0; i < 40000; ++i) many += "site" + std::to_string(i) + "\r\n";
  std::string binary;
  for (int i = 0; i < 100000; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
  struct Case {
    std::string file;
    bool savedWhole;
  } cases[] = {{many, true}, {binary, false}};
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", UserSettings));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", cases[i].file));
    e2e::Program p(dir.path(), "panel.exe", "SETTINGS");
    HWND settings = OpenSettings(p);
    ASSERT_TRUE(settings);
    HWND editor = OpenCookieEditor(p, settings, seconds(60));
    ASSERT_TRUE(editor);
    Press(Ctl(editor, "Command1"));
    EXPECT_TRUE(testutil::PumpUntil([&] { return !IsWindowVisible(editor); }, seconds(60)));
    if (cases[i].savedWhole) {
      EXPECT_EQ(Read("exclude.ini"), cases[i].file);
    }
    Press(Ctl(settings, "Command2"));
    EXPECT_TRUE(p.WaitForEnd(seconds(20)));
  }
}

// --- a new user's first session ----------------------------------------------------------------

TEST_F(Panel, ANewUserSetsEverythingUpAndTheRunSparesTheExcludedCookie) {
  ASSERT_TRUE(testutil::WriteWholeFile(Db(), FreshDatabase));
  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\clear.exe", dir.path()));
  testcache::EmptyCache();
  for (const char* c : {"Cookie:user@bank.example/", "Cookie:user@shop.example/", "Cookie:user@ads.example/"})
    ASSERT_TRUE(testcache::SeedCookie(c)) << c;

  {
    e2e::Program p(dir.path(), "panel.exe", "");
    HWND welcome = WaitFor(p, "frmWelcome");
    ASSERT_TRUE(welcome);
    Press(Ctl(welcome, "Command1"));
    HWND main = nullptr;
    HWND settings = OpenFromMain(p, "Command1", "frmSettings", main);
    ASSERT_TRUE(main);
    ASSERT_TRUE(settings);
    SendMessageA(Ctl(settings, "chkCookies"), BM_CLICK, 0, 0);
    HWND editor = OpenCookieEditor(p, settings);
    ASSERT_TRUE(editor);
    Type(Ctl(editor, "txtExclude"), "bank");
    Press(Ctl(editor, "Command1"));
    ASSERT_TRUE(Until([&] { return Enabled(settings); }));
    SendMessageA(Ctl(settings, "chkProtect"), BM_CLICK, 0, 0);
    Press(Ctl(settings, "cmdCP"));
    HWND dialog = WaitFor(p, "frmChangePassword");
    ASSERT_TRUE(dialog);
    Type(Ctl(dialog, "Text2"), "Secret1");
    Type(Ctl(dialog, "Text3"), "Secret1");
    Press(Ctl(dialog, "Command1"));
    ASSERT_TRUE(Until([&] { return Enabled(settings); }));
    Press(Ctl(settings, "Command1"));
    ASSERT_TRUE(Gone(p, "frmSettings"));
    ASSERT_TRUE(Until([&] { return Enabled(main); }));
    Press(Ctl(main, "Command4"));
    EXPECT_TRUE(p.WaitForEnd(seconds(10)));
  }
  EXPECT_EQ(Read("exclude.ini"), "bank\r\n");
  EXPECT_EQ(Flags(dir / "quietrail.ini"), "001001111");
  EXPECT_EQ(Setting("login"), "1");

  e2e::Program p(dir.path(), "panel.exe", "");
  LogIn(p, "Secret1");
  HWND main = WaitFor(p, "frmMain");
  ASSERT_TRUE(main);
  Press(Ctl(main, "Command2"));
  std::vector<std::string> expected = {"Cookie:user@bank.example/"};
  EXPECT_TRUE(testutil::PumpUntil([&] { return testcache::AllEntries() == expected; }, seconds(60)));
  Press(Ctl(main, "Command4"));
  EXPECT_TRUE(p.WaitForEnd(seconds(10)));
}

}  // namespace
