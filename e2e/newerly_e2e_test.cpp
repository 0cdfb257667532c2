// The update checker as it runs for real: the test build (whose update folder is on this
// machine's test server) started in a program folder of its own, its windows found and clicked
// from outside, its message boxes answered as a user answers them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "message_boxes.h"
#include "newerly_files.h"
#include "programs.h"
#include "test_keys.h"
#include "test_util.h"
#include "update_server.h"

using namespace newerlytest;

namespace {

const char* const Installed[3] = {"panel.exe", "Launch.exe", "clear.exe"};

// A folder of the host as this Windows process sees it: drive Z: is the host's root. Ends in a
// backslash when the host path ends in a slash.
std::string HostFolder(const std::string& hostPath) {
  std::string folder = "Z:" + hostPath;
  for (char& c : folder)
    if (c == '/') c = '\\';
  return folder;
}

using e2e::WaitForWindow;

class UpdateProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testutil::CopyInto(TestBinFolder() + "\\newerly_testbuild.exe", dir.path(), "update.exe"));
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "library.ini", Library("1.14", "1.14", "1.14", "1.14")));
    for (const char* p : Installed) ASSERT_TRUE(testutil::WriteWholeFile(dir / p, Old(p)));
  }
  static std::string Old(const char* p) { return ProgramBytes(std::string("installed ") + p); }
  static std::string New(const char* p) { return ProgramBytes(std::string("update of ") + p); }

  // Presses "Check" in the start window once it shows; the start window, null when it never did.
  static HWND PressCheck(e2e::Program& run) {
    HWND start = WaitForWindow(run, "frmMain");
    if (start) e2e::Click(e2e::Control(start, "Command1"));
    return start;
  }
  // An installed program still starts and runs to its end.
  DWORD RunInstalled(const char* name) {
    e2e::Program p(dir.path(), name, "");
    if (!p.Started() || !p.WaitForEnd(std::chrono::seconds(30))) return 0;
    return p.ExitCode();
  }

  testutil::TempFolder dir;
};

TEST_F(UpdateProgram, ANewUserChecksAcceptsAndGetsTheNewPrograms) {
  UpdateServer server(TestBuildPort());
  ASSERT_TRUE(server.Listening()) << "port " << TestBuildPort() << " is taken";
  Offer offer;
  offer.panel = "1.15", offer.clear = "1.2", offer.panelFile = "panel_115.exe", offer.clearFile = "clear_12.exe";
  offer.serial = "5", offer.panelProgram = New("panel.exe"), offer.clearProgram = New("clear.exe");
  ServeSignedList(server, Available(offer));
  server.ServeFile("panel_115.exe", New("panel.exe"));
  server.ServeFile("clear_12.exe", New("clear.exe"));

  e2e::Program run(dir.path(), "update.exe", "");
  MessageBoxes boxes(run.Id());
  HWND start = WaitForWindow(run, "frmMain");
  ASSERT_TRUE(start);
  EXPECT_EQ(testutil::TextOf(start), "Quietrail Update Checker");
  e2e::Click(e2e::Control(start, "Command1"));

  HWND compare = WaitForWindow(run, "frmCompare");
  ASSERT_TRUE(compare);
  EXPECT_TRUE(testutil::PumpUntil([&] { return !IsWindow(start); })) << "the start window closes";
  struct Row {
    const char *pc, *available, *tick, *cross;
    std::string pcText, availableText;
    bool update;
  } rows[] = {{"lblQuietrailPC", "lblQuietrailAvailable", "tickQuietrail", "xQuietrail", "1.14", "1.14", false},
              {"lblPanelPC", "lblPanelAvailable", "tickPanel", "xPanel", "1.14", "1.15", true},
              {"lblLaunchPC", "lblLaunchAvailable", "tickLaunch", "xLaunch", "1.14", "1.14", false},
              {"lblClearPC", "lblClearAvailable", "tickClear", "xClear", "1.14", "1.2", true}};
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(testutil::TextOf(e2e::Control(compare, rows[i].pc)), rows[i].pcText) << "row " << i;
    EXPECT_EQ(testutil::TextOf(e2e::Control(compare, rows[i].available)), rows[i].availableText) << "row " << i;
    EXPECT_EQ(IsWindowVisible(e2e::Control(compare, rows[i].tick)) != FALSE, rows[i].update) << "row " << i;
    EXPECT_EQ(IsWindowVisible(e2e::Control(compare, rows[i].cross)) != FALSE, !rows[i].update) << "row " << i;
  }
  HWND yes = e2e::Control(compare, "Command2");
  EXPECT_EQ(testutil::TextOf(yes), "&Yes, update");
  EXPECT_TRUE(IsWindowEnabled(yes));
  e2e::Click(yes);

  ASSERT_TRUE(run.WaitForEnd(std::chrono::seconds(60))) << "the program ends after the update";
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, "The total size you are about to download is 200 KB.\r\nDo you wish to continue?");
  EXPECT_EQ(seen[1].title, "Quietrail Update Checker");
  EXPECT_EQ(seen[1].text, "Update successfuly downloaded and installed!");

  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "panel.exe"), New("panel.exe"));
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "Launch.exe"), Old("Launch.exe"));
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "clear.exe"), New("clear.exe"));
  // The list's serial is recorded: no older list is taken from now on.
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.15", "1.14", "1.2") + "Serial=5\r\n");
  EXPECT_FALSE(testutil::Exists(dir / "available.ini"));
  EXPECT_EQ(server.Requests(),
            (std::vector<std::string>{"available.sig", "available.ini", "panel_115.exe", "clear_12.exe"}));
  EXPECT_EQ(RunInstalled("clear.exe"), 42u);
}

TEST_F(UpdateProgram, WithTheServerDownTheStartWindowStays) {
  e2e::Program run(dir.path(), "update.exe", "");
  MessageBoxes boxes(run.Id());
  HWND start = PressCheck(run);
  ASSERT_TRUE(start);
  ASSERT_TRUE(boxes.WaitFor(1));
  auto seen = boxes.Seen();
  EXPECT_EQ(seen[0].title, "Error");
  EXPECT_EQ(seen[0].text, "Unable to download latest version list - 02");
  testutil::PumpFor(std::chrono::milliseconds(300));
  EXPECT_TRUE(IsWindowVisible(start));
  EXPECT_FALSE(run.Window("frmCompare"));
  EXPECT_TRUE(run.Running());
  PostMessageA(start, WM_CLOSE, 0, 0);
  EXPECT_TRUE(run.WaitForEnd());
}

TEST_F(UpdateProgram, ABrokenDownloadLeavesEveryInstalledProgramWorking) {
  UpdateServer server(TestBuildPort());
  ASSERT_TRUE(server.Listening()) << "port " << TestBuildPort() << " is taken";
  Offer offer;
  offer.panel = "1.15", offer.launch = "1.15", offer.clear = "1.15";
  offer.panelProgram = New("panel.exe"), offer.launchProgram = New("Launch.exe"), offer.clearProgram = New("clear.exe");
  ServeSignedList(server, Available(offer));
  // The panel arrives as an error page of a captive portal, the launcher is cut off halfway.
  server.ServeFile("panel_new.exe", "<html><body>Please log in to use this network.</body></html>");
  std::string launch = New("Launch.exe");
  server.Serve("launch_new.exe", Reply{200, launch, launch.size() / 2});
  server.ServeFile("clear_new.exe", New("clear.exe"));

  e2e::Program run(dir.path(), "update.exe", "");
  MessageBoxes boxes(run.Id());
  ASSERT_TRUE(PressCheck(run));
  HWND compare = WaitForWindow(run, "frmCompare");
  ASSERT_TRUE(compare);
  for (int attempt = 0; attempt < 2; ++attempt) {
    // First the panel's page is refused; then, with the panel fixed, the launcher's cut file.
    e2e::Click(e2e::Control(compare, "Command2"));
    ASSERT_TRUE(boxes.WaitFor(2 * (attempt + 1), 30)) << "attempt " << attempt;
    auto seen = boxes.Seen();
    EXPECT_EQ(seen.back().title, "Download error") << "attempt " << attempt;
    ASSERT_TRUE(testutil::PumpUntil([&] { return IsWindowEnabled(compare) && !run.Window("frmUpdate"); }))
        << "attempt " << attempt;
    server.ServeFile("panel_new.exe", New("panel.exe"));
  }
  // The panel came whole the second time, but an update is all of the chosen programs or none.
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "panel.exe"), Old("panel.exe"));
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "Launch.exe"), Old("Launch.exe"));
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "clear.exe"), Old("clear.exe"));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.14", "1.14", "1.14"));
  EXPECT_TRUE(testutil::Exists(dir / "available.ini"));
  e2e::Click(e2e::Control(compare, "Command1"));
  EXPECT_TRUE(run.WaitForEnd());
  for (const char* p : Installed) EXPECT_EQ(RunInstalled(p), 42u) << p;
}

// Right after setup no update is recorded: the floor the program was built with still refuses a
// list signed before its release (the test build's floor is 1).
TEST_F(UpdateProgram, AnOlderSignedListIsRefusedRightAfterSetup) {
  UpdateServer server(TestBuildPort());
  ASSERT_TRUE(server.Listening()) << "port " << TestBuildPort() << " is taken";
  Offer offer;
  offer.serial = "0", offer.panel = "1.15", offer.panelProgram = New("panel.exe");
  ServeSignedList(server, Available(offer));
  server.ServeFile("panel_new.exe", New("panel.exe"));
  e2e::Program run(dir.path(), "update.exe", "");
  MessageBoxes boxes(run.Id());
  HWND start = PressCheck(run);
  ASSERT_TRUE(start);
  ASSERT_TRUE(boxes.WaitFor(1));
  EXPECT_EQ(boxes.Seen()[0].text, "The latest version list is older than the one already installed - 07");
  EXPECT_FALSE(run.Window("frmCompare"));
  EXPECT_FALSE(testutil::Exists(dir / "available.ini"));
  PostMessageA(start, WM_CLOSE, 0, 0);
  EXPECT_TRUE(run.WaitForEnd());
}

// The folder scripts/publish-update made (newerly/tests/published_check.sh runs it with the
// tests' key before this binary and names the folder in QR_PUBLISHED_DIR): the test build takes
// it as it stands and installs its programs byte for byte.
TEST_F(UpdateProgram, APublishedReleaseIsTakenAsItStands) {
  const char* published = std::getenv("QR_PUBLISHED_DIR");
  if (!published) GTEST_SKIP() << "run by newerly/tests/published_check.sh";
  std::string folder = HostFolder(published);
  UpdateServer server(TestBuildPort());
  ASSERT_TRUE(server.Listening()) << "port " << TestBuildPort() << " is taken";
  for (const char* name : {"available.ini", "available.sig", "panel.exe", "Launch.exe", "clear.exe", "browsers.dll"})
    server.ServeFile(name, testutil::ReadWholeFile(folder + "\\" + name));
  std::string list = testutil::ReadWholeFile(folder + "\\available.ini");

  e2e::Program run(dir.path(), "update.exe", "");
  MessageBoxes boxes(run.Id());
  ASSERT_TRUE(PressCheck(run));
  HWND compare = WaitForWindow(run, "frmCompare");
  ASSERT_TRUE(compare) << (boxes.Count() ? boxes.Seen()[0].text : "no message");
  e2e::Click(e2e::Control(compare, "Command2"));
  ASSERT_TRUE(run.WaitForEnd(std::chrono::seconds(60)));
  auto seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, "Update successfuly downloaded and installed!");
  for (const char* p : {"panel.exe", "Launch.exe", "clear.exe", "browsers.dll"})
    EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / p), testutil::ReadWholeFile(folder + "\\" + p)) << p;
  std::string serial = list.substr(list.find("Serial=") + 7);
  serial = serial.substr(0, serial.find('\r'));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"),
            Library("1.14", "1.15", "1.16", "1.17") + "BrowsersVer=1.18\r\nSerial=" + serial + "\r\n");
}

// The release program against its own fixed update folder over HTTPS. newerly/tests/
// https_check.sh runs these (as root): it maps the folder's host to this machine, serves the
// folder QR_HTTPS_SERVE_DIR on port 443 with a certificate from a test root, and runs the second
// case after taking that root out of the host's store again. Anywhere else they are skipped.
class ReleaseOverHttps : public UpdateProgram {
 protected:
  void SetUp() override {
    const char* serve = std::getenv("QR_HTTPS_SERVE_DIR");
    if (!serve) GTEST_SKIP() << "run by newerly/tests/https_check.sh";
    UpdateProgram::SetUp();
    // The release program as built, with the tests' key in place of the publisher's.
    ASSERT_TRUE(testutil::CopyInto(TestBinFolder() + "\\newerly_release_testkey.exe", dir.path(), "newerly.exe"));
    folder = HostFolder(std::string(serve) + UpdateFolderPath());
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  // Publishes a signed list offering the panel under `panelFile`, checks and says Yes; the
  // message boxes seen once the program ended or handed the table back.
  std::vector<SeenBox> Update(const char* panelFile) {
    // A serial above the release's floor, the time of its commit.
    Offer offer;
    offer.serial = "9000000000", offer.panel = "1.15", offer.panelFile = panelFile, offer.panelProgram = New("panel.exe");
    std::string list = Available(offer);
    EXPECT_TRUE(testutil::WriteWholeFile(folder + "available.ini", list));
    EXPECT_TRUE(testutil::WriteWholeFile(folder + "available.sig", TestKey::Build().Sign(list)));
    EXPECT_TRUE(testutil::WriteWholeFile(folder + "panel_new.exe", New("panel.exe")));
    e2e::Program run(dir.path(), "newerly.exe", "");
    MessageBoxes boxes(run.Id());
    if (!PressCheck(run)) return {};
    HWND compare = WaitForWindow(run, "frmCompare");
    EXPECT_TRUE(compare) << (boxes.Count() ? boxes.Seen()[0].text : "no message");
    if (!compare) return boxes.Seen();
    EXPECT_TRUE(IsWindowVisible(e2e::Control(compare, "tickPanel")));
    e2e::Click(e2e::Control(compare, "Command2"));
    testutil::PumpUntil([&] { return !run.Running() || (boxes.Count() >= 2 && IsWindowEnabled(compare)); },
                        std::chrono::seconds(60));
    return boxes.Seen();
  }
  std::string folder;
};

TEST_F(ReleaseOverHttps, WithTheHostTrustedTheReleaseProgramUpdatesFromItsFixedFolder) {
  auto seen = Update("panel_new.exe");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, "Update successfuly downloaded and installed!");
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "panel.exe"), New("panel.exe"));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.15", "1.14", "1.14") + "Serial=9000000000\r\n");
  EXPECT_FALSE(testutil::Exists(dir / "available.ini"));
}

// The server sends the panel's request on to the same file over plain http (https_check.sh
// answers a name ending in ".tohttp" so, and serves the folder on port 80 too): the very bytes
// the list describes, but not from the pinned folder, so nothing is installed.
TEST_F(ReleaseOverHttps, WithTheHostTrustedARedirectToPlainHttpIsRefused) {
  auto seen = Update("panel_new.exe.tohttp");
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].title, "Download error");
  EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / "panel.exe"), Old("panel.exe"));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "library.ini"), Library("1.14", "1.14", "1.14", "1.14"));
}

TEST_F(ReleaseOverHttps, WithoutTrustInTheServerNothingIsFetched) {
  if (!std::getenv("QR_HTTPS_UNTRUSTED")) GTEST_SKIP() << "runs once the test root is gone";
  Offer offer;
  offer.panel = "1.15";
  ASSERT_TRUE(testutil::WriteWholeFile(folder + "available.ini", Available(offer)));
  e2e::Program run(dir.path(), "newerly.exe", "");
  MessageBoxes boxes(run.Id());
  ASSERT_TRUE(PressCheck(run));
  ASSERT_TRUE(testutil::PumpUntil([&] { return boxes.Count() > 0 || run.Window("frmCompare"); }, std::chrono::seconds(60)));
  ASSERT_EQ(boxes.Count(), 1u) << "the list was fetched from an untrusted server";
  EXPECT_EQ(boxes.Seen()[0].text, "Unable to download latest version list - 02");
  EXPECT_FALSE(testutil::Exists(dir / "available.ini"));
  EXPECT_FALSE(run.Window("frmCompare"));
}

TEST(UpdateProgramBuild, TheProgramFolderHoldsItAlsoAsUpdateExe) {
  std::string folder = testutil::ProgramFolder();
  ASSERT_FALSE(folder.empty()) << "QR_PROGRAM_DIR is not set";
  std::string program = testutil::ReadWholeFile(folder + "\\newerly.exe");
  ASSERT_FALSE(program.empty());
  EXPECT_TRUE(testutil::ReadWholeFile(folder + "\\update.exe") == program);
  // The test build differs from it: its update folder is another.
  EXPECT_FALSE(testutil::ReadWholeFile(TestBinFolder() + "\\newerly_testbuild.exe") == program);
}

}  // namespace
