// Damaged, huge, locked and misplaced files and odd command lines, met by the real panel.exe with
// its login control: the user database panel.dll, the settings file as the settings dialog reads
// and writes it, the exclusion list as its editor opens and saves it. Every case checks that the
// panel opened what it should (or ended), did not crash, ended when the user closed it, and left
// every file either with its old bytes or whole with its new content.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>

#include "hostile.h"
#include "programs.h"
#include "settings.h"
#include "system.h"
#include "test_util.h"

namespace {

using std::chrono::seconds;
using namespace std::string_literals;

constexpr const char* Confirmed = e2e::ConfirmedDatabase;
constexpr const char* Unconfirmed = e2e::UnconfirmedDatabase;
constexpr const char* Protected =
    "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=1\r\nShowWelcome=7\r\n"
    "Pswd=96V102V108V114V120V126\r\n";
const std::string UserSettings = e2e::UserSettings;

struct Folder {
  std::string dir;
  std::vector<std::string> lock;
  std::vector<std::string> readOnly;
  std::set<std::string> rewritten;  // files the case checks itself
  explicit Folder(std::string d) : dir(std::move(d)) {}
  std::string operator/(const std::string& name) const { return dir + "\\" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    ASSERT_TRUE(testutil::WriteWholeFile(*this / name, bytes)) << name;
  }
  void MakeFolder(const std::string& name) const { ASSERT_TRUE(CreateDirectoryA((*this / name).c_str(), nullptr)); }
};

// --- driving the panel from outside -----------------------------------------------------------------

HWND Ctl(HWND form, const char* name) { return e2e::Control(form, name); }

using e2e::Checked;
using e2e::LongText;
using e2e::Press;

HWND Visible(e2e::Program& p, const char* form) { return e2e::VisibleWindow(p, form); }

HWND WaitFor(e2e::Program& p, const char* form, seconds deadline = seconds(30)) {
  return e2e::WaitForWindow(p, form, deadline);
}

// What a starting panel shows once it has settled: its visible forms, or none when it ended.
std::set<std::string> Settle(e2e::Program& p) { return e2e::Settle(p, e2e::PanelForms, seconds(60)); }

// Closes whatever shows the way a user leaves the panel: the welcome's Continue, the main
// window's Exit, the settings' OK, the prompt's Cancel, the OK of a message. False when the
// program did not end.
bool CloseAll(e2e::Program& p) {
  struct Way {
    const char* form;
    const char* button;
  } ways[] = {{"frmError", "Command1"},   {"frmCookieExclude", "Command1"}, {"frmAbout", "Command1"},
              {"frmWelcome", "Command1"}, {"frmSettings", "Command1"},      {"frmLogin", "Command2"},
              {"frmMain", "Command4"}};
  auto end = std::chrono::steady_clock::now() + seconds(60);
  while (p.Running() && std::chrono::steady_clock::now() < end) {
    bool pressed = false;
    for (const auto& way : ways) {
      HWND w = Visible(p, way.form);
      if (w && IsWindowEnabled(w)) {
        Press(Ctl(w, way.button));
        pressed = true;
        break;
      }
    }
    testutil::PumpUntil([&] { return !p.Running(); }, std::chrono::milliseconds(pressed ? 700 : 100));
  }
  return !p.Running();
}

std::string Flags(const std::string& file) { return e2e::SettingsFlags(file); }

std::string DbValue(const std::string& db, const char* section, const char* key) {
  std::string v = winapp::ReadIniValue(db, section, key);
  return v == db ? "-" : v;
}

// --- the cases ------------------------------------------------------------------------------------

struct PanelCase {
  const char* id;
  std::function<void(Folder&)> lay;
  std::string arguments;
  std::set<std::string> opens;                                       // empty: ends with no window
  std::function<void(e2e::Program&, const Folder&)> drive = nullptr;  // what the user does; default CloseAll
  std::function<void(const Folder&)> after = nullptr;                // checks of rewritten files
};

void RunPanel(const PanelCase& c) {
  SCOPED_TRACE(c.id);
  testutil::TempFolder dir;
  ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"panel.exe", "accesskeep.ocx"}), "");
  Folder f{dir.path()};
  f.Write("panel.dll", Confirmed);
  f.Write("quietrail.ini", UserSettings);
  f.Write("exclude.ini", "bank\r\n");
  c.lay(f);
  auto before = hostile::Take(f.dir);
  std::string why;
  auto hold = std::make_unique<hostile::Hold>();
  ASSERT_TRUE(hold->Apply(f.dir, f.lock, f.readOnly, why)) << why;

  e2e::Program p(f.dir, "panel.exe", c.arguments);
  ASSERT_TRUE(p.Started()) << p.StartError();
  // A panel that ends before it shows anything says why in its exit code (the system's error of a
  // window it could not make).
  EXPECT_EQ(Settle(p), c.opens) << (p.Running() ? "" : "ended with code " + std::to_string(p.ExitCode()));
  if (c.drive) c.drive(p, f);
  EXPECT_TRUE(CloseAll(p)) << "the panel did not end when its windows were closed";
  EXPECT_EQ(p.ExitCode(), 0u);
  EXPECT_FALSE(hostile::CrashHandlerRunning());
  hold.reset();
  std::map<std::string, std::string> allowed;
  for (const auto& name : f.rewritten)
    if (!hostile::IsFolder(f / name)) allowed[name] = testutil::ReadWholeFile(f / name);
  EXPECT_EQ(hostile::Changed(f.dir, before, allowed), std::vector<std::string>{});
  if (c.after) c.after(f);
}

auto Db(std::string bytes) {
  return [bytes](Folder& f) { f.Write("panel.dll", bytes); };
}

// A profile file a reader takes whole: nothing but sections, keys, comments and empty lines.
void ExpectWholeProfile(const std::string& path, const char* id) {
  std::string text = testutil::ReadWholeFile(path);
  size_t at = 0, bad = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line[0] != '[' && line[0] != ';' && line.find('=') == std::string::npos) ++bad;
    at = end + 2;
  }
  EXPECT_EQ(bad, 0u) << id << ": " << path;
}

// The confirmed welcome stays confirmed: the next start opens the main window.
void ExpectMainNext(const Folder& f, const char* id) {
  e2e::Program p(f.dir, "panel.exe", "");
  EXPECT_EQ(Settle(p), std::set<std::string>{"frmMain"}) << id;
  EXPECT_TRUE(CloseAll(p)) << id;
}

class HostilePanel : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(testutil::ProgramFolder().empty()) << "QR_PROGRAM_DIR is not set"; }
};

TEST_F(HostilePanel, DamagedUserDatabase) {
  const std::string firstRun = winapp::FirstRunSettingsText();
  auto welcomeThenMain = [](e2e::Program& p, const Folder&) {
    HWND welcome = WaitFor(p, "frmWelcome");
    ASSERT_TRUE(welcome);
    Press(Ctl(welcome, "Command1"));
    EXPECT_TRUE(WaitFor(p, "frmMain"));
  };
  // The welcome resets the settings to their first-run values; the user database may be written.
  auto reset = [&](Folder& f) { f.rewritten = {"quietrail.ini", "panel.dll"}; };
  auto settingsReset = [firstRun](const Folder& f) {
    EXPECT_EQ(testutil::ReadWholeFile(f / "quietrail.ini"), firstRun);
  };
  // The message that the user database cannot be read, until its OK ends the program.
  auto unreadable = [](e2e::Program& p, const Folder& f) {
    HWND error = WaitFor(p, "frmError");
    ASSERT_TRUE(error);
    EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")),
              f / "panel.dll" + " could not be read. Please close any program that may be using it and try again.");
    EXPECT_TRUE(p.Running());
  };
  std::string many = Confirmed;
  for (int i = 0; i < 100000; ++i) many += "k" + std::to_string(i) + "=v\r\n";
  const PanelCase cases[] = {
      {"F45", [&](Folder& f) { DeleteFileA((f / "panel.dll").c_str()); reset(f); }, "", {"frmWelcome"},
       welcomeThenMain,
       [&](const Folder& f) {
         settingsReset(f);
         EXPECT_EQ(DbValue(f / "panel.dll", "default", "ShowWelcome"), "7");
       }},
      {"F46", [&](Folder& f) { f.Write("panel.dll", ""); reset(f); }, "", {"frmWelcome"}, welcomeThenMain,
       [&](const Folder& f) {
         settingsReset(f);
         ExpectWholeProfile(f / "panel.dll", "F46");
         EXPECT_EQ(DbValue(f / "panel.dll", "default", "ShowWelcome"), "7") << "F46";
         ExpectMainNext(f, "F46");
       }},
      {"F47", [&](Folder& f) { f.Write("panel.dll", hostile::Binary(64 << 10, 3)); reset(f); }, "", {"frmWelcome"},
       welcomeThenMain,
       [&](const Folder& f) {
         settingsReset(f);
         EXPECT_EQ(DbValue(f / "panel.dll", "default", "ShowWelcome"), "7") << "F47";
       }},
      {"F48", Db(hostile::Utf16(Protected)), "", {"frmLogin"}},
      {"F78",
       [&](Folder& f) {
         f.Write("panel.dll", "[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=alice\r\n[alice]\r\nPswd=1V2\r\n");
         reset(f);
       },
       "", {"frmWelcome"}, welcomeThenMain,
       [&](const Folder& f) {
         EXPECT_EQ(DbValue(f / "panel.dll", "Users", "count"), "2") << "F78";
         EXPECT_EQ(DbValue(f / "panel.dll", "Users", "1"), "alice") << "F78";
         EXPECT_EQ(DbValue(f / "panel.dll", "alice", "Pswd"), "1V2") << "F78";
         EXPECT_EQ(DbValue(f / "panel.dll", "Users", "2"), "default") << "F78";
         EXPECT_EQ(DbValue(f / "panel.dll", "default", "ShowWelcome"), "7") << "F78";
       }},
      {"F49", Db("; " + std::string(10u << 20, 'q') + "\r\n" + Confirmed), "", {"frmMain"}},
      {"F50",
       [&](Folder& f) {
         f.Write("panel.dll", many);
         f.rewritten = {"panel.dll", "quietrail.ini"};
       },
       "SETTINGS", {"frmSettings"}, nullptr,
       [&](const Folder& f) {
         std::string db = testutil::ReadWholeFile(f / "panel.dll");
         size_t keys = 0;
         for (size_t at = 0; (at = db.find("=v\r\n", at)) != std::string::npos; at += 4) ++keys;
         EXPECT_EQ(keys, 100000u) << "F50";
         EXPECT_EQ(DbValue(f / "panel.dll", "default", "login"), "0");
         EXPECT_EQ(DbValue(f / "panel.dll", "k99999", "x"), "-");
       }},
      {"F51", Db("[Users]\r\ncount=1\r\n1=default\r\n[default]\r\nlogin=\"0\r\nShowWelcome=\"7\"\r\n"), "",
       {"frmMain"}},
      {"F52", Db(std::string("[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=default\r\n[default]\r\n"
                             "login=0\0\0\r\nShowWelcome=7\r\n\0\0[x]\r\n", 95)),
       "", {"frmMain"}},
      {"F53",
       [&](Folder& f) {
         f.Write("panel.dll", Unconfirmed);
         f.readOnly = {"panel.dll"};
         f.rewritten = {"quietrail.ini"};
       },
       "", {"frmWelcome"}, welcomeThenMain, settingsReset},
      {"F54",
       [&](Folder& f) {
         f.Write("panel.dll", Protected);
         f.lock = {"panel.dll"};
       },
       "", {"frmError"}, unreadable},
      {"F55", [&](Folder& f) { DeleteFileA((f / "panel.dll").c_str()); f.MakeFolder("panel.dll"); }, "",
       {"frmError"}, unreadable, [&](const Folder& f) { EXPECT_TRUE(hostile::IsFolder(f / "panel.dll")); }},
      {"F56", Db("[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=default\r\n[default]\r\nlogin=-1\r\nShowWelcome=7\r\n"),
       "", {"frmLogin"}},
      {"F57", Db("[General]\r\nVersion=2\r\n[Users]\r\ncount=99999\r\n1=default\r\n[default]\r\nlogin=1e999\r\n"
                 "ShowWelcome=7.9\r\n"),
       "", {"frmMain"}},
  };
  for (const auto& c : cases) RunPanel(c);
}

// A login control that cannot answer (here a stand-in whose RetrieveSetting fails for a value
// stored as "FAIL") says nothing about protection: the panel opens nothing but its message and
// ends at its OK; the about box needs no answer.
TEST_F(HostilePanel, LoginControlThatCannotAnswer) {
  auto failing = [](std::string db) {
    return [db](Folder& f) {
      ASSERT_TRUE(testutil::CopyInto(winapp::ProgramFolder() + "\\failing_control.ocx", f.dir, "accesskeep.ocx"));
      f.Write("panel.dll", db);
    };
  };
  auto told = [](e2e::Program& p, const Folder& f) {
    HWND error = WaitFor(p, "frmError");
    ASSERT_TRUE(error);
    EXPECT_EQ(testutil::TextOf(Ctl(error, "Label1")),
              f / "accesskeep.ocx" +
                  " could not read the panel's settings. Please reinstall Quietrail or locate the file and try again.");
  };
  auto unanswered = [](const char* login, const char* showWelcome) {
    return "[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=default\r\n[default]\r\nlogin="s + login +
           "\r\nShowWelcome=" + showWelcome + "\r\n";
  };
  const PanelCase cases[] = {
      {"F80", failing(unanswered("FAIL", "7")), "", {"frmError"}, told},
      {"F81", failing(unanswered("FAIL", "7")), "SETTINGS", {"frmError"}, told},
      {"F82", failing(unanswered("FAIL", "7")), "ABOUT", {"frmAbout"}},
      // Nor is an unanswered welcome one to show again: it would reset the settings.
      {"F83", failing(unanswered("0", "FAIL")), "", {"frmError"}, told},
      // The settings dialog that cannot read login would switch protection off at OK.
      {"F84",
       [&](Folder& f) {
         failing(Confirmed)(f);
         f.rewritten = {"panel.dll"};  // the case changes it itself
       },
       "", {"frmMain"},
       [&](e2e::Program& p, const Folder& f) {
         HWND main = WaitFor(p, "frmMain");
         ASSERT_TRUE(main);
         WritePrivateProfileStringA("default", "login", "FAIL", (f / "panel.dll").c_str());
         Press(Ctl(main, "Command1"));
         told(p, f);
         EXPECT_FALSE(Visible(p, "frmSettings"));
         EXPECT_FALSE(Visible(p, "frmMain"));
       },
       [](const Folder& f) { EXPECT_EQ(DbValue(f / "panel.dll", "default", "login"), "FAIL"); }},
  };
  for (const auto& c : cases) RunPanel(c);
}

TEST_F(HostilePanel, DamagedSettingsInTheSettingsDialog) {
  // The boxes the dialog shows ticked, as the nine flags in file order, then what OK leaves.
  auto shows = [](std::string ticked) {
    return [ticked](e2e::Program& p, const Folder&) {
      HWND s = WaitFor(p, "frmSettings");
      ASSERT_TRUE(s);
      std::string seen;
      for (const char* box : {"chkHistory", "chkTmpInt", "chkCookies", "chkRecent", "chkURL", "chkStartup",
                              "chkClearingDialog", "chkSplash", "chkTray"})
        seen += Checked(Ctl(s, box)) ? '1' : '0';
      EXPECT_EQ(seen, ticked);
    };
  };
  auto written = [](std::string flags) {
    return [flags](const Folder& f) { EXPECT_EQ(Flags(f / "quietrail.ini"), flags); };
  };
  auto settings = [](std::string bytes) {
    return [bytes](Folder& f) {
      f.Write("quietrail.ini", bytes);
      f.rewritten = {"quietrail.ini"};
    };
  };
  std::string tenMegabytes = "; " + std::string(10u << 20, 'q') + "\r\n";
  const PanelCase cases[] = {
      {"F58", settings(hostile::Binary(64 << 10, 5)), "SETTINGS", {"frmSettings"}, shows("000000000"),
       written("000000000")},
      {"F59", settings(hostile::Utf16(UserSettings)), "SETTINGS", {"frmSettings"}, shows("111010001"),
       written("111010001")},
      {"F60", [](Folder& f) { f.readOnly = {"quietrail.ini"}; }, "SETTINGS", {"frmSettings"}, shows("111010001")},
      {"F61", [](Folder& f) { f.lock = {"quietrail.ini"}; }, "SETTINGS", {"frmSettings"}, shows("000000000")},
      {"F62", [](Folder& f) { DeleteFileA((f / "quietrail.ini").c_str()); f.MakeFolder("quietrail.ini"); },
       "SETTINGS", {"frmSettings"}, shows("000000000"),
       [](const Folder& f) { EXPECT_TRUE(hostile::IsFolder(f / "quietrail.ini")); }},
      {"F63",
       settings("[Settings]\r\nHistory=1e999\r\nTmpInt=-1\r\nCookies=1.9\r\nRecent=abc\r\nURL=\"1\r\n"
                "Startup=99999\r\nClearDialog= 1 \r\n[Launch]\r\nSplash=\0\r\nTray=0x1\r\n"s),
       "SETTINGS", {"frmSettings"}, shows("001000100"), written("001000100")},
      // A box changed before OK: the save must really reach the file.
      {"F64", settings(tenMegabytes + UserSettings), "SETTINGS", {"frmSettings"},
       [&](e2e::Program& p, const Folder& f) {
         shows("111010001")(p, f);
         SendMessageA(Ctl(WaitFor(p, "frmSettings"), "chkRecent"), BM_CLICK, 0, 0);
       },
       [](const Folder& f) {
         EXPECT_EQ(Flags(f / "quietrail.ini"), "111110001");
         EXPECT_GT(testutil::ReadWholeFile(f / "quietrail.ini").size(), 10u << 20);
       }},
  };
  for (const auto& c : cases) RunPanel(c);
}

TEST_F(HostilePanel, DamagedListsInTheExclusionEditor) {
  // Opens the editor from the settings dialog, checks what it shows, and saves with OK.
  // `shown` null: whatever the editor makes of the file.
  auto edit = [](const char* shownText) {
    std::optional<std::string> shown;
    if (shownText) shown = std::string(shownText);
    return [shown](e2e::Program& p, const Folder&) {
      HWND s = WaitFor(p, "frmSettings");
      ASSERT_TRUE(s);
      Press(Ctl(s, "CmdCookie"));
      HWND editor = WaitFor(p, "frmCookieExclude", seconds(90));
      ASSERT_TRUE(editor);
      if (shown) {
        EXPECT_EQ(LongText(Ctl(editor, "txtExclude")), *shown);
      }
      Press(Ctl(editor, "Command1"));
      EXPECT_TRUE(testutil::PumpUntil([&] { return !IsWindowVisible(editor); }, seconds(90)));
      ASSERT_TRUE(testutil::PumpUntil([&] { return IsWindowEnabled(s); }));
      Press(Ctl(s, "Command2"));
    };
  };
  auto list = [](std::string bytes) {
    return [bytes](Folder& f) {
      f.Write("exclude.ini", bytes);
      f.rewritten = {"exclude.ini"};
    };
  };
  auto saved = [](std::string bytes) {
    return [bytes](const Folder& f) { EXPECT_EQ(testutil::ReadWholeFile(f / "exclude.ini"), bytes); };
  };
  std::string many, manyShown;
  for (int i = 0; i < 100000; ++i) {
    many += "site" + std::to_string(i) + "\r\n";
    manyShown += (i ? ",site" : "site") + std::to_string(i);
  }
  const std::string binary = hostile::Binary(32 << 10, 9);
  const std::string tenMegabytesShown = std::string(10u << 20, 'q') + ",bank";
  const std::string tenMegabytes = tenMegabytesShown + "\r\n";
  const PanelCase cases[] = {
      {"F65", list(many), "SETTINGS", {"frmSettings"}, edit(manyShown.c_str()), saved(many)},
      {"F79", list(tenMegabytes), "SETTINGS", {"frmSettings"}, edit(tenMegabytesShown.c_str()),
       saved(std::string(10u << 20, 'q') + "\r\nbank\r\n")},
      {"F66", list(hostile::Utf16("bank\r\nshop\r\n")), "SETTINGS", {"frmSettings"}, edit("bank,shop"),
       saved("bank\r\nshop\r\n")},
      {"F67", list(std::string("bank\r\n\0\0shop\r\n", 14)), "SETTINGS", {"frmSettings"}, edit("bank,shop"),
       saved("bank\r\nshop\r\n")},
      {"F68", list("\"bank\r\n\"shop\" ,\"\r\n"), "SETTINGS", {"frmSettings"}, edit("bank,shop,"),
       saved("bank\r\nshop\r\n\r\n")},
      {"F69", list(binary), "SETTINGS", {"frmSettings"}, edit(nullptr),
       [](const Folder& f) {
         // Opened and saved with OK: the list is whole, one line per entry.
         std::string text = testutil::ReadWholeFile(f / "exclude.ini");
         EXPECT_TRUE(text.empty() || text.substr(text.size() - 2) == "\r\n");
       }},
      {"F70", [](Folder& f) { f.readOnly = {"exclude.ini"}; }, "SETTINGS", {"frmSettings"}, edit("bank")},
      {"F71", [](Folder& f) { f.lock = {"exclude.ini"}; }, "SETTINGS", {"frmSettings"}, edit("")},
      {"F72", [](Folder& f) { DeleteFileA((f / "exclude.ini").c_str()); f.MakeFolder("exclude.ini"); }, "SETTINGS",
       {"frmSettings"}, edit(""), [](const Folder& f) { EXPECT_TRUE(hostile::IsFolder(f / "exclude.ini")); }},
  };
  for (const auto& c : cases) RunPanel(c);
}

TEST_F(HostilePanel, OddCommandLines) {
  const PanelCase cases[] = {
      {"F73", [](Folder&) {}, "", {"frmMain"}},
      {"F74", [](Folder&) {}, "SETTINGS extra", {}},
      {"F75", [](Folder&) {}, std::string(32000, 'S'), {}},
      {"F76", [](Folder&) {}, "\"SETTINGS", {}},
      {"F77", [](Folder&) {}, "/S /? -ABOUT", {}},
  };
  for (const auto& c : cases) RunPanel(c);
}

}  // namespace
