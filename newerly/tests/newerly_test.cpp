// The update checker's windows in this process, driven as a user drives them: buttons clicked
// through their own messages, message boxes found and answered from another thread, downloads
// from the test server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "declarations.h"
#include "download.h"
#include "frmCompare.h"
#include "frmMain.h"
#include "frmUpdate.h"
#include "message_boxes.h"
#include "modulelock.h"
#include "newerly_files.h"
#include "system.h"
#include "test_keys.h"
#include "test_util.h"
#include "update_server.h"
#include "updatefiles.h"

using namespace newerlytest;
using namespace declarations;

namespace {

// The rules of the table on their own.
TEST(VersionRules, TextRowsCompareCharacterCodesAndTheClearRowNumbers) {
  struct Case {
    const char* installed;
    const char* available;
    bool newerText;
    bool newerNumber;
  } cases[] = {
      {"9.0", "10.0", false, true},   {"1.1", "1.10", true, false},  {"1.14", "1.14", false, false},
      {"1.14", "1.15", true, true},   {"1.15", "1.2", true, true},   {"2.0", "1.99", false, false},
      {"1.14", "1.14001", true, false},  // the clear row keeps four decimal places
      {"1.14", "1.14006", true, true},   {"a", "b", true, false},
      {"1.14", "1.14005", true, false},  // half a ten-thousandth goes to the even count
      {"1.14", "1.140051", true, true},
      // Past 2^53 ten-thousandths a version is still not newer than itself.
      {"922337203685476.5808", "922337203685476.5808", false, false},
      {"-922337203685476.5808", "-922337203685476.5808", false, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(IsNewerText(cases[i].available, cases[i].installed), cases[i].newerText) << "case " << i;
    long long available = 0;
    double installed = 0;
    if (ParseFixedPoint4(cases[i].available, available) && ParseVersionNumber(cases[i].installed, installed))
      EXPECT_EQ(IsNewerNumber(available, installed), cases[i].newerNumber) << "case " << i;
    else
      EXPECT_FALSE(cases[i].newerNumber) << "case " << i;
  }
  EXPECT_TRUE(IsNewerText("\xE9", "z")) << "character codes above 127 sort after ASCII";
}

TEST(VersionRules, TheClearVersionKeepsItsDecimalTextExactly) {
  struct Case {
    const char* text;
    bool number;
    long long tenThousandths;
  } cases[] = {
      {"1.14", true, 11400},          {"123456789012345.6789", true, 1234567890123456789},
      {"0.00005", true, 0},           {"0.00015", true, 2},
      {"-1.5", true, -15000},         {"1.4e1", true, 140000},
      {"1e-400", true, 0},            {"922337203685477.5807", true, 9223372036854775807LL},
      {"922337203685477.5808", false, 0}, {"1e15", false, 0},
      {"1e999", false, 0},            {"abc", false, 0},
      {"", false, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    long long count = -1;
    EXPECT_EQ(ParseFixedPoint4(cases[i].text, count), cases[i].number) << "case " << i;
    if (cases[i].number) {
      EXPECT_EQ(count, cases[i].tenThousandths) << "case " << i;
    }
  }
}

TEST(VersionRules, SizesAreRoundedDownBeforeTheyAreAdded) {
  struct Case {
    std::vector<std::string> sizes;
    int total;  // -1: damaged
  } cases[] = {
      {{"120.9", "80"}, 200}, {{"0.99", "0.99", "0.99"}, 0}, {{}, 0},          {{"32767.9"}, 32767},
      {{"32000", "767"}, 32767}, {{"32000", "768"}, -1},      {{"abc"}, -1},    {{"12", ""}, -1},
      {{"-5", "80"}, -1},      {{"1e3"}, 1000},              {{"99999999999999999999"}, -1},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    auto total = TotalSizeKB(cases[i].sizes);
    EXPECT_EQ(total ? *total : -1, cases[i].total) << "case " << i;
  }
  EXPECT_EQ(SizePromptText(200), "The total size you are about to download is 200 KB.\r\nDo you wish to continue?");
}

TEST(VersionRules, ServerFileNamesStayInTheUpdateFolder) {
  struct Case {
    const char* name;
    bool ok;
  } cases[] = {{"clear.exe", true},   {"clear-1.15_x64.EXE", true}, {"2003/clear_115.exe", false}, {"", false},
               {".", false},          {"..", false},                {"clear\xE9.exe", false},
               {"/clear.exe", false}, {"../clear.exe", false},      {"a/../../b.exe", false},
               {"C:\\Program Files\\Quietrail\\available.ini", false},
               {"http://elsewhere/x.exe", false}, {"clear.exe?x=1", false}, {"my clear.exe", false},
               {"%2e%2e/%2e%2e/evil.exe", false},  {"..%2fevil.exe", false},    {"a/./b.exe", false}};
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(IsServerFileName(cases[i].name), cases[i].ok) << "case " << i << ": " << cases[i].name;

  // Where a download may be answered from: its own folder, over the same scheme.
  const std::string folder = "https://updates.example.com/quietrail2003/";
  const Case urls[] = {{"https://updates.example.com/quietrail2003/clear.exe", true},
                       {"HTTPS://Updates.Example.COM/quietrail2003/clear.exe", true},
                       {"http://updates.example.com/quietrail2003/clear.exe", false},
                       {"https://updates.example.com:8443/quietrail2003/clear.exe", false},
                       {"https://evil.example.com/quietrail2003/clear.exe", false},
                       {"https://updates.example.com.evil.example/quietrail2003/clear.exe", false},
                       {"https://updates.example.com/QUIETRAIL2003/clear.exe", false},
                       {"https://updates.example.com/quietrail2003/old/clear.exe", false},
                       {"https://updates.example.com/quietrail2003/", false},
                       {"https://updates.example.com/quietrail2003/clear.exe?x", false}};
  for (size_t i = 0; i < std::size(urls); ++i)
    EXPECT_EQ(newerly::IsInFolder(urls[i].name, folder), urls[i].ok) << "url " << i << ": " << urls[i].name;
}

TEST(VersionRules, EachProcessorHasItsUpdateFolder) {
  const std::string base = "https://updates.example.com/quietrail2003/";
  EXPECT_EQ(core::UpdateFolderFor(base, core::MachineAmd64), base);
  EXPECT_EQ(core::UpdateFolderFor(base, core::MachineI386), base + "x86/");
  EXPECT_EQ(core::UpdateFolderFor(base, 0xAA64), "");
}

// The list's serial is read from its bytes as the profile functions read the file.
TEST(VersionRules, AValueReadFromTheListsBytesIsTheOneTheProfileFunctionsRead) {
  const char* texts[] = {
      "[WIN]\r\nSerial=5\r\n",
      "[win]\nserial = 5 \n",
      "  [ WIN ]\r\n  Serial\t=\t5\r\n",
      "[Other]\r\nSerial=1\r\n[WIN]\r\nSerial=5\r\nSerial=6\r\n",
      "[WIN]\r\nQuietVer=1\r\n[Other]\r\nSerial=1\r\n[WIN]\r\nSerial=5\r\n",
      "[WIN]\r\nSerials=5\r\n",
      "Serial=5\r\n[WIN]\r\n",
      "[WIN]\r\nSerial=\r\n",
      "[WIN]\r\nSerial=5",
  };
  testutil::TempFolder dir;
  std::string file = dir / "list.ini";
  for (size_t i = 0; i < std::size(texts); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    ASSERT_TRUE(testutil::WriteWholeFile(file, texts[i]));
    char buffer[64] = {};
    GetPrivateProfileStringA("WIN", "Serial", "(none)", buffer, sizeof buffer, file.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    EXPECT_EQ(core::ProfileValue(texts[i], "WIN", "Serial").value_or("(none)"), buffer);
  }
}

// A machine whose connection test can be made to fail.
class TestMain : public frmMain {
 public:
  using frmMain::frmMain;
  bool offline = false;
  bool IsWebConnected(std::string& ConnType) override {
    if (offline) {
      ConnType.clear();
      return false;
    }
    return frmMain::IsWebConnected(ConnType);
  }
};

struct Windows {
  Windows(const std::string& folder, const std::string& url, long long minimumSerial = 0)
      : compare(update, folder), update(compare, folder, url),
        main(compare, folder, url, TestKey::Build().Public(), minimumSerial) {}
  frmCompare compare;
  frmUpdate update;
  TestMain main;
};

HWND Item(const winapp::Form& form, const char* name) { return GetDlgItem(form.hwnd(), winapp::ControlId(name)); }
std::string TextOf(const winapp::Form& form, const char* name) { return testutil::TextOf(Item(form, name)); }
bool Shown(const winapp::Form& form, const char* name) { return IsWindowVisible(Item(form, name)) != FALSE; }
bool IsDefault(HWND button) { return (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON; }
// A click as the user makes it: the button is pressed, and its handler runs to its end.
void Click(const winapp::Form& form, const char* name) { SendMessageA(Item(form, name), BM_CLICK, 0, 0); }

const char* const Programs[3] = {"panel.exe", "Launch.exe", "clear.exe"};
const char* const ServerNames[3] = {"panel_new.exe", "launch_new.exe", "clear_new.exe"};
const char* const TickNames[4] = {"tickQuietrail", "tickPanel", "tickLaunch", "tickClear"};
const char* const CrossNames[4] = {"xQuietrail", "xPanel", "xLaunch", "xClear"};

const std::string DownloadError =
    "Either this operation was cancelled, or there was a fatal error downloading a selected file.\r\n\r\n"
    "You may need to reinstall Quietrail.";

class Checker : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    winapp::app::ResetForTests();
    UpdatePanel = UpdateLaunch = UpdateClear = UpdateBrowsers = false;
  }
  void TearDown() override {
    windows.reset();
    testutil::PumpFor(std::chrono::milliseconds(20));
    winapp::app::ResetForTests();
    UpdatePanel = UpdateLaunch = UpdateClear = UpdateBrowsers = false;
  }
  Windows& Open(long long minimumSerial = 0) {
    windows = std::make_unique<Windows>(dir.path(), server.BaseUrl(), minimumSerial);
    return *windows;
  }
  // Clicks "Check for updates" in a new start window; the message boxes it showed.
  std::vector<SeenBox> Check(long long minimumSerial = 0) {
    Windows& w = Open(minimumSerial);
    w.main.ShowAsStartup();
    MessageBoxes boxes;
    Click(w.main, "Command1");
    return boxes.Seen();
  }
  void Install(const std::string& library) {
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "library.ini", library));
    for (const char* p : Programs) ASSERT_TRUE(testutil::WriteWholeFile(dir / p, ProgramBytes(std::string("old ") + p)));
  }
  // The version list as downloaded by an earlier click, describing the programs the server
  // holds unless told otherwise; returns the list's text.
  std::string Listed(Offer offer) {
    std::string* programs[3] = {&offer.panelProgram, &offer.launchProgram, &offer.clearProgram};
    for (int i = 0; i < 3; ++i)
      if (programs[i]->empty()) *programs[i] = ProgramBytes(std::string("new ") + ServerNames[i]);
    std::string list = Available(offer);
    EXPECT_TRUE(testutil::WriteWholeFile(dir / "available.ini", list));
    return list;
  }
  std::vector<bool> Ticks() {
    std::vector<bool> ticks;
    for (int r = 0; r < 4; ++r) {
      bool tick = Shown(windows->compare, TickNames[r]);
      bool cross = Shown(windows->compare, CrossNames[r]);
      EXPECT_NE(tick, cross) << "row " << r;
      ticks.push_back(tick);
    }
    return ticks;
  }

  UpdateServer server;
  testutil::TempFolder dir;
  std::unique_ptr<Windows> windows;
};

TEST_F(Checker, TheTableShowsInstalledAndAvailableVersionsAndTicksTheUpdates) {
  std::string libraryPath = dir / "library.ini";
  struct Case {
    const char* installed[4];
    const char* available[4];
    std::vector<bool> ticks;
  } cases[] = {
      {{"9.0", "9.0", "9.0", "9.0"}, {"10.0", "10.0", "10.0", "10.0"}, {false, false, false, true}},
      {{"1.1", "1.1", "1.1", "1.1"}, {"1.10", "1.10", "1.10", "1.10"}, {true, true, true, false}},
      {{"1.14", "1.14", "1.14", "1.14"}, {"1.14", "1.14", "1.14", "1.14"}, {false, false, false, false}},
      {{"1.14", "1.14", "1.14", "1.14"}, {"1.14", "1.15", "1.14", "1.14001"}, {false, true, false, false}},
      {{"1.14", nullptr, "1.14", "1.14"}, {"1.14", "1.15", "1.14", "1.14"}, {false, false, false, false}},
      {{" 1.14 ", "1.14", "1.14", " 1.14"}, {"1.14  ", "1.14", "1.14", "1.15 "}, {false, false, false, true}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    Install(Library(c.installed[0], c.installed[1], c.installed[2], c.installed[3]));
    Offer offer;
    offer.quiet = c.available[0], offer.panel = c.available[1], offer.launch = c.available[2], offer.clear = c.available[3];
    Listed(offer);
    Windows& w = Open();
    w.compare.Show();
    ASSERT_TRUE(w.compare.Loaded()) << "case " << i;
    EXPECT_EQ(w.compare.Caption(), "Quietrail Update Checker") << "case " << i;
    EXPECT_EQ(testutil::ControlsOutside(w.compare.hwnd()), std::vector<std::string>{}) << "case " << i;
    EXPECT_EQ(Ticks(), c.ticks) << "case " << i;
    const char* pcLabels[4] = {"lblQuietrailPC", "lblPanelPC", "lblLaunchPC", "lblClearPC"};
    const char* avLabels[4] = {"lblQuietrailAvailable", "lblPanelAvailable", "lblLaunchAvailable", "lblClearAvailable"};
    for (int r = 0; r < 4; ++r) {
      // A missing key reads as the path of the file, cut to 49 characters.
      std::string expected = c.installed[r] ? winapp::TrimSpaces(c.installed[r]) : libraryPath.substr(0, 49);
      EXPECT_EQ(TextOf(w.compare, pcLabels[r]), expected) << "case " << i << " row " << r;
      EXPECT_EQ(TextOf(w.compare, avLabels[r]), winapp::TrimSpaces(c.available[r])) << "case " << i << " row " << r;
    }
    bool any = false;
    for (bool t : c.ticks) any = any || t;
    EXPECT_EQ(IsWindowEnabled(Item(w.compare, "Command2")) != FALSE, any) << "case " << i;
    EXPECT_EQ(IsDefault(Item(w.compare, "Command2")), any) << "case " << i;
    EXPECT_EQ(IsDefault(Item(w.compare, "Command1")), !any) << "case " << i;
    LRESULT def = SendMessageA(w.compare.hwnd(), DM_GETDEFID, 0, 0);
    EXPECT_EQ(LOWORD(def), winapp::ControlId(any ? "Command2" : "Command1")) << "case " << i;
    windows.reset();
  }
}

TEST_F(Checker, CheckForUpdatesFetchesTheListAndOpensTheTable) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  Offer offer;
  offer.panel = "1.15";
  ServeSignedList(server, Available(offer));
  Windows& w = Open();
  w.main.ShowAsStartup();
  EXPECT_EQ(w.main.Caption(), "Quietrail Update Checker");
  EXPECT_EQ(TextOf(w.main, "Command1"), "Check for updates");
  MessageBoxes boxes;
  Click(w.main, "Command1");
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_FALSE(w.main.Loaded());
  ASSERT_TRUE(w.compare.Visible());
  EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), Available(offer));
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false, false}));
  EXPECT_EQ(server.Requests(), (std::vector<std::string>{"available.sig", "available.ini"}));
}

// Whatever keeps the check from a list it can trust is reported, and the list of the last check
// stays as it was.
TEST_F(Checker, NoConnectionNoListOrAnUnusableListKeepTheStartWindow) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  std::string earlier = "[WIN]\r\nQuietVer=earlier\r\n";
  std::string installed = Library("1.14", "1.14", "1.14", "1.14");
  Offer notNumber;
  notNumber.clear = "1.15b";
  Offer second;
  second.serial = "2";
  Offer unnumbered;
  unnumbered.serial = nullptr;
  TestKey stranger = TestKey::Fresh();
  enum Signature { None, Good, Stranger };
  struct Case {
    bool offline;
    const char* served;  // null: not on the server
    Signature signature;
    std::string library;
    std::string message;
    std::string listAfter;
  } cases[] = {
      {true, nullptr, Good, installed, "Active internet connection not detected - 01", earlier},
      {false, nullptr, Good, installed, "Unable to download latest version list - 02", earlier},
      {false, "", Good, installed, "The latest version list is damaged and cannot be used - 03", Available(notNumber)},
      {false, "", Good, Library("1.14", "1.14", "1.14", nullptr),
       "The record of installed versions is missing or damaged - 04", Available({})},
      {false, "", None, installed, "The latest version list is not signed and cannot be trusted - 05", earlier},
      {false, "", Stranger, installed, "The latest version list failed its signature check and cannot be trusted - 06",
       earlier},
      {false, "", Good, installed + "Serial=3\r\n", "The latest version list is older than the one already installed - 07",
       earlier},
      {false, "", Good, installed + "Serial=x\r\n", "The record of installed versions is missing or damaged - 04", earlier},
      {false, "", Good, installed, "The latest version list is damaged and cannot be used - 03", earlier},
  };
  std::string served[] = {"", "", Available(notNumber), Available({}), Available({}), Available({}), Available(second),
                          Available({}), Available(unnumbered)};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "library.ini", c.library));
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "available.ini", earlier));
    server.Forget("available.ini");
    server.Forget("available.sig");
    if (c.served) server.ServeFile("available.ini", served[i]);
    if (c.signature != None) server.ServeFile("available.sig", (c.signature == Good ? TestKey::Build() : stranger).Sign(served[i]));
    Windows& w = Open();
    w.main.offline = c.offline;
    w.main.ShowAsStartup();
    MessageBoxes boxes;
    Click(w.main, "Command1");
    auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u) << "case " << i;
    EXPECT_EQ(seen[0].title, "Error") << "case " << i;
    EXPECT_EQ(seen[0].text, c.message) << "case " << i;
    EXPECT_EQ(seen[0].icon, StopIcon()) << "case " << i;
    EXPECT_TRUE(seen[0].ok && !seen[0].yes) << "case " << i;
    EXPECT_TRUE(w.main.Visible()) << "case " << i;
    EXPECT_TRUE(IsWindowEnabled(Item(w.main, "Command1"))) << "case " << i;
    EXPECT_FALSE(w.compare.Loaded()) << "case " << i;
    EXPECT_FALSE(winapp::app::Ended()) << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), c.listAfter) << "case " << i;
    windows.reset();
  }
}

// The floor under a list's serial is the larger of the one the last update recorded and the
// lowest this program was built to take; the serial is read from the very bytes whose signature
// was checked, never from what a server sends past the length it announced.
TEST_F(Checker, NoListBelowTheFloorIsTaken) {
  auto list = [](const char* serial) {
    Offer offer;
    offer.serial = serial;
    offer.panel = "1.15";
    return Available(offer);
  };
  const std::string earlier = "[WIN]\r\nQuietVer=earlier\r\n";
  const std::string installed = Library("1.14", "1.14", "1.14", "1.14");
  struct Case {
    long long minimum;
    std::string library;
    std::string list;
    std::string past;  // sent after the announced length
    const char* message;  // null: the list is taken and the table opens
  } cases[] = {
      {1000, installed, list("999"), "", "The latest version list is older than the one already installed - 07"},
      {1000, installed, list("1000"), "", nullptr},
      {1000, installed + "Serial=2000\r\n", list("1500"), "", "The latest version list is older than the one already installed - 07"},
      {0, installed, list("0"), "", nullptr},
      {0, installed, list(nullptr), "Serial=9999\r\n", "The latest version list is damaged and cannot be used - 03"},
      {1000, installed, list("999"), "Serial=9999\r\n", "The latest version list is older than the one already installed - 07"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const Case& c = cases[i];
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "library.ini", c.library));
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "available.ini", earlier));
    server.Serve("available.ini", Reply{200, c.list + c.past, std::string::npos, false, static_cast<long long>(c.list.size())});
    server.ServeFile("available.sig", TestKey::Build().Sign(c.list));
    auto seen = Check(c.minimum);
    if (c.message) {
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].text, c.message);
      EXPECT_FALSE(windows->compare.Loaded());
      EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), earlier);
    } else {
      EXPECT_TRUE(seen.empty());
      EXPECT_TRUE(windows->compare.Visible());
      EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), c.list);
    }
    windows.reset();
  }
}

// A list and a signature fetched from two publications (one made while they were fetched) are
// both fetched once more before the list is called forged.
TEST_F(Checker, AListAndASignatureThatDoNotMatchAreFetchedOnceMore) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  Offer first, second;
  second.serial = "2", second.panel = "1.15";
  const std::string older = Available(first), newer = Available(second);
  const TestKey& key = TestKey::Build();
  struct Case {
    std::vector<std::string> lists, signatures;
    const char* message;
  } cases[] = {
      {{older, newer}, {key.Sign(newer), key.Sign(newer)}, nullptr},
      {{newer, newer}, {key.Sign(older), key.Sign(newer)}, nullptr},
      {{newer}, {key.Sign(older)}, "The latest version list failed its signature check and cannot be trusted - 06"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    std::vector<Reply> lists, signatures;
    for (const std::string& l : cases[i].lists) lists.push_back(Reply{200, l});
    for (const std::string& g : cases[i].signatures) signatures.push_back(Reply{200, g});
    server.ServeInTurn("available.ini", lists);
    server.ServeInTurn("available.sig", signatures);
    server.ForgetRequests();
    auto seen = Check();
    EXPECT_EQ(server.Requests(), (std::vector<std::string>{"available.sig", "available.ini", "available.sig", "available.ini"}));
    if (cases[i].message) {
      ASSERT_EQ(seen.size(), 1u);
      EXPECT_EQ(seen[0].text, cases[i].message);
    } else {
      EXPECT_TRUE(seen.empty());
      EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), newer);
    }
    windows.reset();
  }
}

TEST_F(Checker, ANewWholeVersionIsOnlyAnnounced) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  Offer offer;
  offer.quiet = "2.0", offer.panel = "1.15", offer.clear = "1.15";
  Listed(offer);
  Windows& w = Open();
  w.compare.Show();
  MessageBoxes boxes;
  Click(w.compare, "Command2");
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "New version available!");
  EXPECT_EQ(seen[0].text,
            "A new overall version is available of Quietrail, version 2.0.\r\n"
            "It is recommended that you uninstall this current version, download the new version and install it.\r\n"
            "Whole new versions of Quietrail cannot be installed using this update feature and require user "
            "intallation.");
  EXPECT_EQ(seen[0].icon, InformationIcon());
  EXPECT_TRUE(winapp::app::Ended());
  EXPECT_FALSE(w.compare.Loaded());
  EXPECT_FALSE(w.update.Loaded());
  EXPECT_FALSE(UpdatePanel || UpdateLaunch || UpdateClear);
  testutil::PumpFor(std::chrono::milliseconds(1500));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Checker, TheSizePromptAddsWholeKilobytesAndNoEndsTheProgram) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  Offer offer;
  offer.panel = "1.15", offer.clear = "1.15", offer.panelSize = "120.9", offer.clearSize = "80";
  Listed(offer);
  Windows& w = Open();
  w.compare.Show();
  MessageBoxes boxes(0, [](const SeenBox&) { return IDNO; });
  Click(w.compare, "Command2");
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "Quietrail Update Checker");
  EXPECT_EQ(seen[0].text, "The total size you are about to download is 200 KB.\r\nDo you wish to continue?");
  EXPECT_EQ(seen[0].icon, QuestionIcon());
  EXPECT_TRUE(seen[0].yes && seen[0].no && !seen[0].ok);
  EXPECT_EQ(w.compare.TotalSizeKB(), 200);
  EXPECT_TRUE(UpdatePanel && !UpdateLaunch && UpdateClear);
  EXPECT_TRUE(winapp::app::Ended());
  EXPECT_FALSE(w.update.Loaded());
  for (const char* p : Programs) EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / p), ProgramBytes(std::string("old ") + p)) << p;
}

TEST_F(Checker, SizesThatAreNotNumbersOrTooLargeAreReportedAndChangeNothing) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  struct Case {
    const char* panelSize;
    const char* clearSize;
  } cases[] = {{"big", "80"}, {"32000", "800"}, {nullptr, "80"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    Offer offer;
    offer.panel = "1.15", offer.clear = "1.15", offer.panelSize = cases[i].panelSize, offer.clearSize = cases[i].clearSize;
    Listed(offer);
    Windows& w = Open();
    w.compare.Show();
    MessageBoxes boxes;
    Click(w.compare, "Command2");
    auto seen = boxes.Seen();
    ASSERT_EQ(seen.size(), 1u) << "case " << i;
    EXPECT_EQ(seen[0].title, "Error") << "case " << i;
    EXPECT_EQ(seen[0].text, "The latest version list is damaged and cannot be used - 03") << "case " << i;
    EXPECT_FALSE(UpdatePanel || UpdateLaunch || UpdateClear) << "case " << i;
    EXPECT_TRUE(w.compare.Visible() && w.compare.Enabled()) << "case " << i;
    EXPECT_FALSE(w.update.Loaded()) << "case " << i;
    EXPECT_FALSE(winapp::app::Ended()) << "case " << i;
    windows.reset();
  }
}

TEST_F(Checker, ExitEndsTheProgram) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  Listed({});
  Windows& w = Open();
  w.compare.Show();
  Click(w.compare, "Command1");
  EXPECT_TRUE(winapp::app::Ended());
  EXPECT_FALSE(w.compare.Loaded());
  EXPECT_TRUE(testutil::Exists(dir / "available.ini"));
}

// The download window, from "&Yes, update" answered Yes to its end.
class Installing : public Checker {
 protected:
  void SetUp() override {
    Checker::SetUp();
    Install(Library("1.14", "1.14", "1.14", "1.14"));
    for (const char* n : ServerNames) server.ServeFile(n, ProgramBytes(std::string("new ") + n));
  }
  // Opens the table and says Yes; returns the boxes seen once the download window is gone.
  std::vector<SeenBox> RunUpdate(size_t boxesExpected) {
    Windows& w = windows ? *windows : Open();
    if (!w.compare.Loaded()) w.compare.Show();
    MessageBoxes boxes;
    Click(w.compare, "Command2");
    EXPECT_TRUE(w.update.Loaded());
    EXPECT_FALSE(w.compare.Enabled());
    EXPECT_EQ(TextOf(w.update, "Label1"), "Downloading updates...");
    EXPECT_EQ(w.update.Caption(), "Quietrail Update Checker");
    EXPECT_TRUE(testutil::PumpUntil([&] { return !w.update.Loaded(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(boxes.WaitFor(boxesExpected));
    return boxes.Seen();
  }
  std::string Installed(int i) { return testutil::ReadWholeFile(dir / Programs[i]); }
  std::string Old(int i) { return ProgramBytes(std::string("old ") + Programs[i]); }
  std::string New(int i) { return ProgramBytes(std::string("new ") + ServerNames[i]); }
  std::vector<std::string> FolderFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((dir / "*").c_str(), &d);
    do {
      std::string n = d.cFileName;
      if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &d));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(Installing, SelectedProgramsAreReplacedAndTheirVersionsRecorded) {
  struct Case {
    Offer offer;
    std::vector<bool> replaced;
    std::string library;
  } cases[3];
  cases[0].offer.panel = "1.15", cases[0].offer.launch = "1.16", cases[0].offer.clear = "1.17";
  cases[0].replaced = {true, true, true};
  // The list's serial is recorded with the versions.
  cases[0].offer.serial = "7";
  cases[0].library = Library("1.14", "1.15", "1.16", "1.17") + "Serial=7\r\n";
  cases[1].offer.clear = "1.15";
  cases[1].replaced = {false, false, true};
  cases[1].library = Library("1.14", "1.14", "1.14", "1.15") + "Serial=1\r\n";
  cases[2].offer.launch = "1.2";
  cases[2].replaced = {false, true, false};
  cases[2].library = Library("1.14", "1.14", "1.2", "1.14") + "Serial=1\r\n";
  for (size_t i = 0; i < std::size(cases); ++i) {
    Install(Library("1.14", "1.14", "1.14", "1.14"));
    Listed(cases[i].offer);
    server.ForgetRequests();
    UpdatePanel = UpdateLaunch = UpdateClear = UpdateBrowsers = false;
    winapp::app::ResetForTests();
    Open();
    auto seen = RunUpdate(2);
    ASSERT_EQ(seen.size(), 2u) << "case " << i;
    EXPECT_EQ(seen[1].title, "Quietrail Update Checker") << "case " << i;
    EXPECT_EQ(seen[1].text, "Update successfuly downloaded and installed!") << "case " << i;
    EXPECT_EQ(seen[1].icon, InformationIcon()) << "case " << i;
    std::vector<std::string> asked;
    for (int p = 0; p < 3; ++p) {
      EXPECT_SAME_FILE(Installed(p), cases[i].replaced[p] ? New(p) : Old(p)) << "case " << i << " " << Programs[p];
      if (cases[i].replaced[p]) asked.push_back(ServerNames[p]);
    }
    EXPECT_EQ(server.Requests(), asked) << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), cases[i].library) << "case " << i;
    EXPECT_FALSE(testutil::Exists(dir / "available.ini")) << "case " << i;
    EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"Launch.exe", "clear.exe", "library.ini", "panel.exe"}))
        << "case " << i;
    EXPECT_TRUE(winapp::app::Ended()) << "case " << i;
    EXPECT_FALSE(windows->compare.Loaded()) << "case " << i;
    windows.reset();
  }
}

TEST_F(Installing, AFailedLauncherDownloadKeepsTheRecordAndTheListAndHandsTheTableBack) {
  std::string launch = ProgramBytes("new launch_new.exe");
  std::string page = "<html><body>Sorry, this page is not available.</body></html>";
  UpdateServer elsewhere(0, "127.0.0.2");
  elsewhere.ServeFile("launch_new.exe", launch);
  struct Case {
    const char* what;
    bool served;
    Reply reply;
    const char* launchFile;
  } cases[] = {
      {"missing on the server", false, {}, "launch_new.exe"},
      {"connection dropped halfway", true, Reply{200, launch, launch.size() / 2}, "launch_new.exe"},
      {"an HTML page under its name", true, Reply{200, page}, "launch_new.exe"},
      {"a program for another machine", true, Reply{200, ProgramForMachine("x", IMAGE_FILE_MACHINE_I386)}, "launch_new.exe"},
      {"no file name in the list", true, Reply{200, launch}, nullptr},
      // What the signed list does not describe: another program of the listed size, one byte
      // more than listed, the file from another host.
      {"another program of its size", true, Reply{200, ProgramBytes("new launch_new.exf")}, "launch_new.exe"},
      {"a byte longer than listed", true, Reply{200, launch + "x"}, "launch_new.exe"},
      {"redirected to another host", true,
       Reply{302, "", std::string::npos, false, -1, elsewhere.BaseUrl() + "launch_new.exe"}, "launch_new.exe"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Install(Library("1.14", "1.14", "1.14", "1.14"));
    Offer offer;
    offer.panel = "1.15", offer.launch = "1.15", offer.clear = "1.15", offer.launchFile = cases[i].launchFile;
    std::string list = Listed(offer);
    std::string library = testutil::ReadWholeFile(dir / "library.ini");
    server.Forget("launch_new.exe");
    if (cases[i].served) server.Serve("launch_new.exe", cases[i].reply);
    server.ForgetRequests();
    Windows& w = Open();
    auto seen = RunUpdate(2);
    ASSERT_EQ(seen.size(), 2u) << "case " << i << ": " << cases[i].what;
    EXPECT_EQ(seen[1].title, "Download error") << "case " << i;
    EXPECT_EQ(seen[1].text, DownloadError) << "case " << i;
    EXPECT_EQ(seen[1].icon, StopIcon()) << "case " << i;
    // Nothing is replaced unless every chosen program came: the panel came, and stays as it was.
    EXPECT_SAME_FILE(Installed(0), Old(0)) << "case " << i;
    EXPECT_SAME_FILE(Installed(1), Old(1)) << "case " << i << ": " << cases[i].what;
    EXPECT_SAME_FILE(Installed(2), Old(2)) << "case " << i;
    EXPECT_EQ(server.Requests().size(), cases[i].launchFile ? 2u : 1u) << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), library) << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), list) << "case " << i;
    EXPECT_EQ(FolderFiles(),
              (std::vector<std::string>{"Launch.exe", "available.ini", "clear.exe", "library.ini", "panel.exe"}))
        << "case " << i;
    EXPECT_TRUE(w.compare.Visible() && w.compare.Enabled()) << "case " << i;
    EXPECT_TRUE(IsWindowEnabled(Item(w.compare, "Command2"))) << "case " << i;
    EXPECT_FALSE(winapp::app::Ended()) << "case " << i;
    windows.reset();
  }
}

TEST_F(Installing, AfterAFailureYesDownloadsEverySelectedProgramAgain) {
  Offer offer;
  offer.panel = "1.15", offer.launch = "1.15";
  Listed(offer);
  server.Forget("launch_new.exe");
  auto first = RunUpdate(2);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1].title, "Download error");
  server.ServeFile("launch_new.exe", New(1));
  server.ForgetRequests();
  auto second = RunUpdate(2);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[1].text, "Update successfuly downloaded and installed!");
  EXPECT_EQ(server.Requests(), (std::vector<std::string>{"panel_new.exe", "launch_new.exe"}));
  EXPECT_SAME_FILE(Installed(1), New(1));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.15", "1.15", "1.14") + "Serial=1\r\n");
}

// Three programs chosen, all three fetched, and the third cannot be moved into place (it is
// running): the two moved before it are put back, so all three stay as they were.
TEST_F(Installing, ARunningProgramIsAFailedDownloadAndTheOthersArePutBack) {
  Offer offer;
  offer.panel = "1.15", offer.launch = "1.15", offer.clear = "1.15";
  Listed(offer);
  std::string clear = dir / "clear.exe";
  std::string line = "\"" + clear + "\" stay";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessA(clear.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.path().c_str(), &si, &pi));
  auto seen = RunUpdate(2);
  TerminateProcess(pi.hProcess, 1);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].title, "Download error");
  EXPECT_EQ(server.Requests(), (std::vector<std::string>{"panel_new.exe", "launch_new.exe", "clear_new.exe"}));
  for (int p = 0; p < 3; ++p) EXPECT_SAME_FILE(Installed(p), Old(p)) << Programs[p];
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.14", "1.14", "1.14"));
  EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"Launch.exe", "available.ini", "clear.exe", "library.ini", "panel.exe"}));
}

// What an interrupted update left beside the programs goes with the next one, and a list that
// cannot be deleted afterwards does not make the installed update a failure.
TEST_F(Installing, LeftoversGoAndAListThatCannotBeDeletedIsNoFailure) {
  Offer offer;
  offer.clear = "1.15";
  Listed(offer);
  for (const char* left : {"panel.exe.new", "clear.exe.download", "browsers.dll.new", "Launch.exe.download"})
    ASSERT_TRUE(testutil::WriteWholeFile(dir / left, "left by a crash"));
  winapp::File held(CreateFileA((dir / "available.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  auto seen = RunUpdate(2);
  held.reset();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, "Update successfuly downloaded and installed!");
  EXPECT_SAME_FILE(Installed(2), New(2));
  EXPECT_EQ(FolderFiles(), (std::vector<std::string>{"Launch.exe", "available.ini", "clear.exe", "library.ini", "panel.exe"}));
}

// A clearing run's hold on the browser module, from a thread of its own: a mutex is taken again
// at once by the thread that owns it.
class RunHoldingTheModule {
 public:
  explicit RunHoldingTheModule(const std::string& folder)
      : thread_([this, folder] {
          winapp::BrowsersModuleLock lock(folder, 0);
          held_ = lock.Held();
          while (!release_) Sleep(10);
        }) {
    while (!held_) Sleep(10);
  }
  ~RunHoldingTheModule() {
    release_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> held_{false}, release_{false};
  std::thread thread_;
};

TEST_F(Installing, TheBrowserModuleIsUpdatedOnlyWhileNoRunHoldsIt) {
  const std::string module = ModuleBytes("new browsers_new.dll"), installed = ModuleBytes("old browsers.dll");
  server.ServeFile("browsers_new.dll", module);
  for (bool runHolds : {true, false}) {
    SCOPED_TRACE(runHolds ? "a run holds the module" : "no run");
    Install(Library("1.14", "1.14", "1.14", "1.14") + "BrowsersVer=1.14\r\n");
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "browsers.dll", installed));
    Offer offer;
    offer.panel = "1.15", offer.browsers = "1.15", offer.browsersModule = module;
    Listed(offer);
    UpdatePanel = UpdateLaunch = UpdateClear = UpdateBrowsers = false;
    winapp::app::ResetForTests();
    Windows& w = Open();
    w.compare.Show();
    EXPECT_EQ(TextOf(w.compare, "Label9"), "Browsers Module Version:");
    EXPECT_EQ(TextOf(w.compare, "lblBrowsersPC"), "1.14");
    EXPECT_EQ(TextOf(w.compare, "lblBrowsersAvailable"), "1.15");
    EXPECT_TRUE(Shown(w.compare, "tickBrowsers") && !Shown(w.compare, "xBrowsers"));
    std::optional<RunHoldingTheModule> run;
    if (runHolds) run.emplace(dir.path());
    auto seen = RunUpdate(2);
    run.reset();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "The total size you are about to download is 160 KB.\r\nDo you wish to continue?");
    if (runHolds) {
      EXPECT_EQ(seen[1].title, "Download error");
      EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "browsers.dll"), installed);
      EXPECT_SAME_FILE(Installed(0), Old(0));
      EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.14", "1.14", "1.14") + "BrowsersVer=1.14\r\n");
    } else {
      EXPECT_EQ(seen[1].text, "Update successfuly downloaded and installed!");
      EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "browsers.dll"), module);
      EXPECT_SAME_FILE(Installed(0), New(0));
      EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"),
                Library("1.14", "1.15", "1.14", "1.14") + "BrowsersVer=1.15\r\nSerial=1\r\n");
    }
    windows.reset();
  }
}

// A list without the module's keys (every list before the module's row) offers no module.
TEST_F(Installing, AListWithoutTheModuleOffersNone) {
  Install(Library("1.14", "1.14", "1.14", "1.14"));
  Listed({});
  Windows& w = Open();
  w.compare.Show();
  EXPECT_EQ(TextOf(w.compare, "lblBrowsersPC"), "");
  EXPECT_EQ(TextOf(w.compare, "lblBrowsersAvailable"), "");
  EXPECT_TRUE(Shown(w.compare, "xBrowsers") && !Shown(w.compare, "tickBrowsers"));
  EXPECT_FALSE(IsWindowEnabled(Item(w.compare, "Command2")));
}

TEST_F(Installing, TheSequenceRunsOnceForEachOpening) {
  Offer offer;
  offer.clear = "1.15";
  Listed(offer);
  Windows& w = Open();
  w.compare.Show();
  MessageBoxes boxes;
  Click(w.compare, "Command2");
  ASSERT_TRUE(w.update.Loaded());
  // Further ticks that reach the window while it works change nothing.
  for (int i = 0; i < 3; ++i) PostMessageA(w.update.hwnd(), WM_TIMER, winapp::ControlId("Timer1"), 0);
  EXPECT_TRUE(testutil::PumpUntil([&] { return !w.update.Loaded(); }, std::chrono::seconds(30)));
  EXPECT_TRUE(boxes.WaitFor(2));
  testutil::PumpFor(std::chrono::milliseconds(300));
  EXPECT_EQ(boxes.Count(), 2u);
  EXPECT_EQ(server.Requests(), std::vector<std::string>{"clear_new.exe"});
}

}  // namespace
