// Damaged, huge, locked and misplaced files and odd command lines, met by the real clear.exe,
// launch.exe and tray.exe: each case says what the program does, and every case checks that it
// ended (or waited for the user) by itself, did not crash, erased nothing it was asked to keep
// and left every file it found with its bytes.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <set>

#include "clear_fixture.h"
#include "hostile.h"
#include "programs.h"
#include "test_cache.h"
#include "test_util.h"

namespace {

using hostile::Token;
using std::chrono::seconds;

const std::string Content = "http://example.com/page.html";
const std::string Bank = "Cookie:user@bank.example/";
const std::string Shop = "Cookie:user@shop.example/";
const std::string Ads = "Cookie:user@ads.example/";
const std::set<std::string> Everything = {Content, Bank, Shop, Ads};

// A case's program folder as the case lays it out.
struct Folder {
  std::string dir;
  std::vector<std::string> lock;      // held with no sharing while the program runs
  std::vector<std::string> readOnly;  // read-only while the program runs
  std::map<std::string, std::string> becomes;  // files the program may write, with their new bytes
  explicit Folder(std::string d) : dir(std::move(d)) {}
  std::string operator/(const std::string& name) const { return dir + "\\" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    ASSERT_TRUE(testutil::WriteWholeFile(*this / name, bytes)) << name;
  }
  void MakeFolder(const std::string& name) const { ASSERT_TRUE(CreateDirectoryA((*this / name).c_str(), nullptr)); }
};

std::string Settings(const std::string& keys) { return "; Quietrail INI File\r\n\r\n[Settings]\r\n" + keys; }
const std::string CookiesOnly = Settings("History=0\r\nTmpInt=0\r\nCookies=1\r\nRecent=0\r\nURL=0\r\nClearDialog=1\r\n");

// Runs `exe` in the case's folder, its files held as the case says, until it ends by itself or,
// when it shows the missing-settings message (which must wait for its OK), until that OK ends it;
// checks that the message showed exactly when expected and that nothing crashed. The holds are
// let go before it returns. False when the case could not be set up.
bool RunHeld(const Folder& f, const char* exe, const std::string& arguments, bool reportsMissingSettings,
             seconds deadline) {
  hostile::Hold hold;
  std::string why;
  if (!hold.Apply(f.dir, f.lock, f.readOnly, why)) {
    ADD_FAILURE() << "the case could not be set up: " << why;
    return false;
  }
  e2e::Program run(f.dir, exe, arguments);
  if (!run.Started()) {
    ADD_FAILURE() << exe << " did not start: " << run.StartError();
    return false;
  }
  bool errorShown = false;
  bool ended = testutil::PumpUntil(
      [&] {
        if (HWND error = e2e::VisibleWindow(run, "frmError")) {
          errorShown = true;
          EXPECT_EQ(e2e::MessageOf(error), e2e::MissingSettingsMessage(f.dir));
          EXPECT_TRUE(run.Running()) << "the message must wait for its OK";
          e2e::AnswerMessage(error);
          return run.WaitForEnd(seconds(10));
        }
        return !run.Running();
      },
      deadline);
  EXPECT_TRUE(ended) << exe << " neither ended nor showed its message";
  EXPECT_EQ(errorShown, reportsMissingSettings);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_FALSE(hostile::CrashHandlerRunning());
  return true;
}

// Entries none of which occurs in a seeded name, then the ones given.
std::string ManyEntries(size_t count, const std::vector<std::string>& last) {
  std::string text;
  text.reserve(count * 10);
  for (size_t i = 0; i + last.size() < count; ++i) text += "zz" + std::to_string(i) + "\r\n";
  for (const auto& e : last) text += e + "\r\n";
  return text;
}

// Bytes of every kind apart from those a cookie's name is made of: whatever fields a reader
// finds in them, none occurs in a seeded name.
std::string BinaryWithoutNameBytes(size_t size) {
  std::string out = hostile::Binary(size, 11);
  for (char& c : out)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '@' || c == '/' || c == ':' || c == '.' || c == '_' ||
        c == '-')
      c = static_cast<char>(0x80 | (c & 0x7F));
  return out;
}

// --- clear.exe ------------------------------------------------------------------------------------

struct ClearCase {
  const char* id;
  std::function<void(Folder&)> lay;
  bool reportsMissingSettings;
  std::set<std::string> left;  // cache entries left after the run
};

class HostileFiles : public ::testing::Test {
 protected:
  void Seed() {
    testcache::EmptyCache();
    ASSERT_TRUE(testcache::SeedContent(Content));
    for (const auto& c : {Bank, Shop, Ads}) ASSERT_TRUE(testcache::SeedCookie(c)) << c;
  }

  // Runs clear.exe with the token to its end, confirming the error window when it shows.
  void RunClear(const ClearCase& c) {
    SCOPED_TRACE(c.id);
    testutil::TempFolder dir;
    ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"clear.exe"}), "");
    Folder f{dir.path()};
    c.lay(f);
    Seed();
    cleartest::SeedTypedUrls();
    auto before = hostile::Take(f.dir);
    if (!RunHeld(f, "clear.exe", Token, c.reportsMissingSettings, seconds(90))) return;
    auto left = testcache::AllEntries();
    EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), c.left);
    EXPECT_TRUE(cleartest::TypedUrlsPresent()) << "the typed-URL step was never asked for";
    EXPECT_EQ(hostile::Changed(f.dir, before, f.becomes), std::vector<std::string>{});
  }
};

TEST_F(HostileFiles, ClearMeetsDamagedSettings) {
  std::string tenMegabytes = "; " + std::string(10u << 20, 'q') + "\r\n";
  const ClearCase cases[] = {
      {"F01", [](Folder&) {}, true, Everything},
      {"F02", [](Folder& f) { f.Write("quietrail.ini", ""); }, false, Everything},
      {"F03", [](Folder& f) { f.Write("quietrail.ini", hostile::Binary(64 << 10)); }, false, Everything},
      {"F04",
       [](Folder& f) {
         f.Write("quietrail.ini", hostile::Utf16(CookiesOnly));
         f.Write("exclude.ini", "bank\r\n");
       },
       false, {Content, Bank}},
      {"F05",
       [&](Folder& f) {
         f.Write("quietrail.ini", tenMegabytes + CookiesOnly);
         f.Write("exclude.ini", "bank\r\n");
       },
       false, {Content, Bank}},
      {"F06",
       [](Folder& f) {
         f.Write("quietrail.ini", Settings("History=-1\r\nTmpInt=1e999\r\nCookies=1.9\r\nRecent=abc\r\n"
                                          "URL=99999999999\r\nClearDialog=-32769\r\n"));
         f.Write("exclude.ini", "bank\r\n");
       },
       false, {Content, Bank}},
      {"F07",
       [](Folder& f) {
         f.Write("quietrail.ini", Settings("TmpInt=\"1\r\nCookies='1'\r\nURL=1\"\r\nClearDialog=\"1\r\n"));
         f.Write("exclude.ini", "bank\r\n");
       },
       false, {Content, Bank}},
      {"F08",
       [](Folder& f) {
         f.Write("quietrail.ini", std::string("[Settings]\r\nTmpInt=\0" "1\r\nCookies=1\r\n\0\0\0URL=1\0\r\n", 45));
         f.Write("exclude.ini", "bank\r\n");
       },
       false, {Content, Bank}},
      {"F09",
       [](Folder& f) {
         f.Write("quietrail.ini", CookiesOnly);
         f.Write("exclude.ini", "bank\r\n");
         f.readOnly = {"quietrail.ini", "exclude.ini"};
       },
       false, {Content, Bank}},
      {"F10",
       [](Folder& f) {
         f.Write("quietrail.ini", CookiesOnly);
         f.lock = {"quietrail.ini"};
       },
       false, Everything},
      {"F11", [](Folder& f) { f.MakeFolder("quietrail.ini"); }, true, Everything},
  };
  for (const auto& c : cases) RunClear(c);
}

TEST_F(HostileFiles, ClearMeetsDamagedExclusionLists) {
  auto with = [](std::string exclude) {
    return [exclude](Folder& f) {
      f.Write("quietrail.ini", CookiesOnly);
      f.Write("exclude.ini", exclude);
    };
  };
  const ClearCase cases[] = {
      {"F12",
       [](Folder& f) {
         f.Write("quietrail.ini", CookiesOnly);
         f.becomes["exclude.ini"] = "";
       },
       false, {Content}},
      {"F13", with(""), false, {Content}},
      {"F14", with(BinaryWithoutNameBytes(256 << 10)), false, {Content}},
      {"F15", with(hostile::Utf16("bank\r\nSHOP\r\n")), false, {Content, Bank, Shop}},
      {"F16", with(std::string(10u << 20, 'q') + ",bank,zz\r\nshop\r\n"), false, {Content, Bank, Shop}},
      {"F17", with(ManyEntries(100000, {"bank.EXAMPLE", "shop"})), false, {Content, Bank, Shop}},
      {"F18", with("\"bank\r\n\"shop\" ,\"\r\n"), false, {Content, Bank, Shop}},
      {"F19", with(std::string("bank\r\n\0\0\0shop\r\n\0", 16)), false, {Content, Bank, Shop}},
      {"F20",
       [](Folder& f) {
         f.Write("quietrail.ini", CookiesOnly);
         f.Write("exclude.ini", "bank\r\n");
         f.readOnly = {"exclude.ini"};
       },
       false, {Content, Bank}},
      {"F21",
       [](Folder& f) {
         f.Write("quietrail.ini", CookiesOnly);
         f.Write("exclude.ini", "bank\r\n");
         f.lock = {"exclude.ini"};
       },
       false, Everything},
      {"F22",
       [](Folder& f) {
         f.Write("quietrail.ini", CookiesOnly);
         f.MakeFolder("exclude.ini");
       },
       false, Everything},
  };
  for (const auto& c : cases) RunClear(c);
}

// The longest argument text the system passes on: a command line holds at most 32767 characters
// (a longer one, 100 KB say, is refused by CreateProcess before any program starts), and the
// program's quoted path takes its share.
constexpr size_t LongestArgument = 32000;

// --- launch.exe -----------------------------------------------------------------------------------

struct LaunchCase {
  const char* id;
  std::function<void(Folder&)> lay;
  std::string arguments;
  bool reportsMissingSettings;
  std::vector<std::string> started;  // "name arguments", in order
};

using e2e::LaunchSettings;

void RunLaunch(const LaunchCase& c) {
  SCOPED_TRACE(c.id);
  testutil::TempFolder dir;
  ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"launch.exe"}), "");
  for (const char* name : {"tray.exe", "clear.exe"}) ASSERT_TRUE(e2e::CopyStandIn(dir.path(), name));
  Folder f{dir.path()};
  c.lay(f);
  auto before = hostile::Take(f.dir);
  if (!RunHeld(f, "launch.exe", c.arguments, c.reportsMissingSettings, seconds(30))) return;
  EXPECT_EQ(e2e::StartLines(f.dir, c.started.size()), c.started);
  if (testutil::Exists(f / "started.txt")) f.becomes["started.txt"] = testutil::ReadWholeFile(f / "started.txt");
  EXPECT_EQ(hostile::Changed(f.dir, before, f.becomes), std::vector<std::string>{});
}

TEST(HostileLaunch, LaunchMeetsDamagedSettingsAndArguments) {
  const std::vector<std::string> both = {"tray.exe K4T9B3", "clear.exe K4T9B3"};
  auto settings = [](std::string bytes) { return [bytes](Folder& f) { f.Write("quietrail.ini", bytes); }; };
  const LaunchCase cases[] = {
      {"F23", [](Folder&) {}, "", true, {}},
      {"F24", settings(hostile::Binary(64 << 10)), "", false, {}},
      {"F25", settings(hostile::Utf16(LaunchSettings("1", "0", "1"))), "", false, both},
      {"F26", settings(LaunchSettings("1e999", "0", "1")), "", false, {}},
      {"F27", settings(LaunchSettings("1.5", "abc", "99999")), "", false, {"clear.exe K4T9B3"}},
      {"F28",
       [](Folder& f) {
         f.Write("quietrail.ini", LaunchSettings("1", "0", "1"));
         f.lock = {"quietrail.ini"};
       },
       "", false, {}},
      {"F29", [](Folder& f) { f.MakeFolder("quietrail.ini"); }, "", true, {}},
      {"F30", settings("; " + std::string(10u << 20, 'q') + "\r\n" + LaunchSettings("1", "0", "1")), "", false, both},
      {"F31", settings(LaunchSettings("1", "0", "1")), std::string(LongestArgument, 'A'), false, both},
      {"F32", settings(LaunchSettings("1", "0", "1")), "/S \"unbalanced -x", false, both},
  };
  for (const auto& c : cases) RunLaunch(c);
}

// --- command lines of clear.exe and tray.exe --------------------------------------------------------

// The argument texts that are not the token: each must end the program at once, unseen, with
// nothing read, erased or started.
struct Arguments {
  const char* clearId;
  const char* trayId;
  std::string text;
};

TEST_F(HostileFiles, ClearAndTrayEndAtOnceWithoutTheExactToken) {
  const Arguments cases[] = {
      {"F33", "F39", ""},
      {"F34", "F40", "k4t9b3"},
      {"F35", "F41", "K4T9B3 extra"},
      {"F36", "F42", std::string(LongestArgument, 'K')},
      {"F37", "F43", "\"K4T9B3"},
      {"F38", "F44", "/S /? -K4T9B3"},
  };
  testutil::TempFolder dir;
  Folder f{dir.path()};
  ASSERT_EQ(e2e::CopyPrograms(dir.path(), {"clear.exe", "tray.exe"}), "");
  for (const char* name : {"panel.exe", "update.exe"}) ASSERT_TRUE(e2e::CopyStandIn(dir.path(), name));
  f.Write("quietrail.ini", Settings("History=1\r\nTmpInt=1\r\nCookies=1\r\nRecent=1\r\nURL=1\r\nClearDialog=1\r\n"));
  Seed();
  cleartest::SeedTypedUrls();
  auto before = hostile::Take(f.dir);
  for (const auto& c : cases) {
    for (const char* exe : {"clear.exe", "tray.exe"}) {
      SCOPED_TRACE(exe[0] == 'c' ? c.clearId : c.trayId);
      e2e::Program run(f.dir, exe, c.text);
      ASSERT_TRUE(run.Started()) << run.StartError();
      e2e::Watch watch = e2e::WatchToEnd(run, {"frmMain", "frmError", "FrmSysTray"}, seconds(10), false);
      EXPECT_TRUE(watch.ended);
      EXPECT_TRUE(watch.seen.empty());
      EXPECT_EQ(run.ExitCode(), 0u);
    }
  }
  // 100 KB of argument: refused by the system itself; were it passed on, it is no token either.
  for (const char* exe : {"clear.exe", "tray.exe"}) {
    e2e::Program run(f.dir, exe, std::string(100u << 10, 'K'));
    if (run.Started()) {
      EXPECT_TRUE(run.WaitForEnd(seconds(10))) << "F36/F42 " << exe;
      EXPECT_EQ(run.ExitCode(), 0u) << "F36/F42 " << exe;
    }
  }
  EXPECT_FALSE(hostile::CrashHandlerRunning());
  auto left = testcache::AllEntries();
  EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), Everything);
  EXPECT_TRUE(cleartest::TypedUrlsPresent());
  EXPECT_TRUE(e2e::Starts(f.dir).empty());
  EXPECT_EQ(hostile::Changed(f.dir, before), std::vector<std::string>{});
  EXPECT_FALSE(testutil::Exists(f / "exclude.ini"));
}

}  // namespace
