// The program folder on a disk that cannot take more: a small file system filled to the brim,
// and one mounted read-only. disk_check.sh sets both up as drives of the test prefix and names
// them in QR_FULL_DRIVE, QR_RO_DRIVE and QR_RO_STAGE (the read-only drive's files, writable);
// without them every case is skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "clear_fixture.h"
#include "client.h"
#include "faults_util.h"
#include "message_boxes.h"
#include "newerly_files.h"
#include "test_keys.h"
#include "programs.h"
#include "settings.h"
#include "test_cache.h"
#include "test_util.h"
#include "update_server.h"

namespace {

using std::chrono::seconds;
using Files = std::map<std::string, std::string>;

constexpr const char* Token = "K4T9B3";
constexpr const char* Database =
    "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=0\r\nShowWelcome=7\r\n";
constexpr const char* UnconfirmedDatabase =
    "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=0\r\nShowWelcome=0\r\n";
constexpr const char* Settings =
    "; Quietrail INI File\r\n\r\n[Settings]\r\nHistory=0\r\nTmpInt=1\r\nCookies=1\r\nRecent=0\r\nURL=0\r\n"
    "Startup=1\r\nClearDialog=1\r\n\r\n[Launch]\r\nSplash=1\r\nTray=1\r\n";
constexpr const char* List = "bank\r\nmail\r\n";

// A settings file a user annotated at length, without the [Launch] keys: the profile writer makes
// it longer than the disk's last free block.
std::string AnnotatedSettings() {
  std::string notes;
  while (notes.size() < 3900) notes += "; set up by the help desk for the shared kiosk, do not change\r\n";
  return notes + "[Settings]\r\nHistory=1\r\nTmpInt=1\r\nCookies=1\r\nRecent=1\r\nURL=1\r\nStartup=1\r\nClearDialog=0\r\n";
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

Files Snapshot(const std::string& folder) {
  Files files;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files[d.cFileName] = testutil::ReadWholeFile(folder + "\\" + d.cFileName);
  } while (FindNextFileA(h, &d));
  FindClose(h);
  return files;
}

// Every file that was there keeps its bytes; new files are only those named.
void ExpectKept(const Files& before, const Files& after, const std::set<std::string>& mayAppear, const char* id) {
  for (const auto& [name, bytes] : before) {
    auto it = after.find(name);
    if (it == after.end()) {
      ADD_FAILURE() << id << ": " << name << " is gone";
      continue;
    }
    EXPECT_TRUE(it->second == bytes) << id << ": " << name << " changed: [" << faults::Shown(it->second)
                                     << "] instead of [" << faults::Shown(bytes) << "]";
  }
  for (const auto& [name, bytes] : after)
    if (!before.count(name) && !mayAppear.count(name)) ADD_FAILURE() << id << ": " << name << " left behind";
}

enum class Disk { Full, ReadOnly };
enum class Action { SaveSettings, Welcome, SaveList, ClearRun, CheckForUpdates, Update };

struct Case {
  const char* id;
  Disk disk;
  size_t free;        // bytes left free on the full disk
  Files files;        // the program folder's data files
  Action action;
  std::set<std::string> mayAppear;
  Files changed = {};  // files the case rewrites whole, with their new bytes
};

class DiskFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    full = Env("QR_FULL_DRIVE");
    readOnly = Env("QR_RO_DRIVE");
    stage = Env("QR_RO_STAGE");
    if (full.empty() || readOnly.empty() || stage.empty())
      GTEST_SKIP() << "no test drives: run through disk_check.sh (root, with the right to mount)";
  }
  // Lays out the program folder: the programs and `files`. Returns the folder the programs run
  // from; `staged` gets the folder the test writes to.
  std::string LayOut(const Case& c, std::string& staged) {
    std::string base = c.disk == Disk::Full ? full : stage;
    staged = base + "\\prog";
    DeleteFileA((full + "\\filler.bin").c_str());
    testutil::RemoveTree(staged);
    EXPECT_TRUE(CreateDirectoryA(staged.c_str(), nullptr)) << c.id << ": " << staged;
    for (const char* p : {"panel.exe", "accesskeep.ocx", "clear.exe"})
      EXPECT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\" + p, staged)) << c.id << " " << p;
    EXPECT_TRUE(testutil::CopyInto(newerlytest::TestBinFolder() + "\\newerly_testbuild.exe", staged, "update.exe")) << c.id;
    for (const auto& [name, bytes] : c.files) EXPECT_TRUE(testutil::WriteWholeFile(staged + "\\" + name, bytes)) << c.id;
    return c.disk == Disk::Full ? staged : readOnly + "\\prog";
  }
  // Fills the full disk until only `free` bytes are left, and checks that it took.
  bool Fill(size_t free, const char* id) {
    std::string filler = full + "\\filler.bin";
    HANDLE f = CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      ADD_FAILURE() << id << ": no filler, error " << GetLastError();
      return false;
    }
    std::string chunk(64 * 1024, 'f');
    long long size = 0;
    for (size_t piece : {chunk.size(), size_t{4096}}) {
      DWORD written = 0;
      while (WriteFile(f, chunk.data(), static_cast<DWORD>(piece), &written, nullptr) && written == piece) size += written;
      size += written;
    }
    LARGE_INTEGER real{};
    GetFileSizeEx(f, &real);
    size = real.QuadPart;
    LARGE_INTEGER at;
    at.QuadPart = size > static_cast<long long>(free) ? size - static_cast<long long>(free) : 0;
    bool ok = free == 0 || (SetFilePointerEx(f, at, nullptr, FILE_BEGIN) && SetEndOfFile(f));
    EXPECT_TRUE(ok) << id << ": the filler could not be cut to size, error " << GetLastError();
    CloseHandle(f);
    ULARGE_INTEGER avail{};
    GetDiskFreeSpaceExA((full + "\\").c_str(), &avail, nullptr, nullptr);
    EXPECT_LE(avail.QuadPart, free + 4096) << id << ": the disk was not filled";
    // Nothing more than what was left fits.
    std::string probe = full + "\\probe.bin";
    bool tooBig = !testutil::WriteWholeFile(probe, std::string(free + 8192, 'p')) ||
                  testutil::ReadWholeFile(probe).size() != free + 8192;
    DeleteFileA(probe.c_str());
    EXPECT_TRUE(tooBig) << id << ": the full disk still takes files";
    return ok && tooBig;
  }
  bool ReadOnlyTook(const std::string& folder) {
    std::string probe = folder + "\\probe.txt";
    if (testutil::WriteWholeFile(probe, "x") && testutil::Exists(probe)) {
      DeleteFileA(probe.c_str());
      return false;
    }
    return true;
  }

  void Run(const Case& c);

  std::string full, readOnly, stage;
};

HWND VisibleWindow(e2e::Program& p, const char* form, seconds deadline = seconds(30)) {
  HWND found = nullptr;
  testutil::PumpUntil(
      [&] {
        found = nullptr;
        for (HWND w : p.Windows(form))
          if (IsWindowVisible(w) && IsWindowEnabled(w)) found = w;
        return found || !p.Running();
      },
      deadline);
  return found;
}

void ExpectSession(const faults::Session& s, const char* id) {
  EXPECT_TRUE(s.opened) << id << ": " << s.note;
  EXPECT_TRUE(s.ended) << id << ": " << s.note;
  EXPECT_EQ(s.exitCode, 0u) << id;
}

void DiskFaults::Run(const Case& c) {
  std::string staged;
  std::string folder = LayOut(c, staged);
  if (c.disk == Disk::Full) {
    ASSERT_TRUE(Fill(c.free, c.id)) << c.id;
  } else if (!ReadOnlyTook(folder)) {
    GTEST_SKIP() << c.id << ": " << folder << " takes files; the read-only mount did not take";
  }
  Files before = Snapshot(folder);
  switch (c.action) {
    case Action::SaveSettings:
      ExpectSession(faults::SaveSettings(folder, "111111111"), c.id);
      break;
    case Action::Welcome:
      ExpectSession(faults::OpenWelcome(folder), c.id);
      break;
    case Action::SaveList: {
      std::string longList = "bank";
      for (int i = 0; i < 1500; ++i) longList += ",site" + std::to_string(i) + ".example";
      ExpectSession(faults::SaveList(folder, longList), c.id);
      break;
    }
    case Action::ClearRun: {
      testcache::EmptyCache();
      ASSERT_TRUE(testcache::SeedContent("http://example.com/page.html"));
      for (const char* cookie : {"Cookie:user@bank.example/", "Cookie:user@ads.example/"})
        ASSERT_TRUE(testcache::SeedCookie(cookie));
      e2e::Program run(folder, "clear.exe", Token);
      EXPECT_TRUE(run.WaitForEnd(seconds(60))) << c.id << ": the run did not end by itself";
      EXPECT_EQ(run.ExitCode(), 0u) << c.id;
      auto all = testcache::AllEntries();
      std::set<std::string> left(all.begin(), all.end());
      // With a list the run spares what it names; without one it makes an empty list (a file
      // that takes no room) and spares nothing; a list it cannot make could be protecting
      // anything, so then it deletes no cookie.
      std::set<std::string> expected = {"Cookie:user@bank.example/"};
      if (!c.files.count("exclude.ini")) {
        if (c.disk == Disk::ReadOnly) expected.insert("Cookie:user@ads.example/");
        else expected.clear();
      }
      EXPECT_EQ(left, expected) << c.id;
      testcache::EmptyCache();
      break;
    }
    case Action::CheckForUpdates:
    case Action::Update: {
      // The test build's port may be busy for a moment with another suite's server.
      std::unique_ptr<newerlytest::UpdateServer> listening;
      testutil::PumpUntil([&] {
        listening = std::make_unique<newerlytest::UpdateServer>(newerlytest::TestBuildPort());
        return listening->Listening();
      }, seconds(60));
      ASSERT_TRUE(listening->Listening()) << c.id << ": port " << newerlytest::TestBuildPort() << " is taken";
      newerlytest::UpdateServer& server = *listening;
      newerlytest::Offer offer;
      offer.panel = "1.15";
      offer.panelProgram = newerlytest::ProgramBytes("update of panel.exe" + std::string(40000, '.'));
      newerlytest::ServeSignedList(server, newerlytest::Available(offer));
      server.ServeFile(offer.panelFile, offer.panelProgram);
      e2e::Program run(folder, "update.exe", "");
      newerlytest::MessageBoxes boxes(run.Id());
      HWND start = VisibleWindow(run, "frmMain");
      ASSERT_TRUE(start) << c.id;
      e2e::Click(e2e::Control(start, "Command1"));
      if (c.action == Action::CheckForUpdates) {
        ASSERT_TRUE(boxes.WaitFor(1)) << c.id;
        EXPECT_EQ(boxes.Seen()[0].text, "Unable to download latest version list - 02") << c.id;
        EXPECT_TRUE(testutil::PumpUntil([&] { return IsWindowVisible(start) && IsWindowEnabled(start); })) << c.id;
        PostMessageA(start, WM_CLOSE, 0, 0);
      } else {
        HWND compare = VisibleWindow(run, "frmCompare");
        ASSERT_TRUE(compare) << c.id << ": no compare window";
        e2e::Click(e2e::Control(compare, "Command2"));
        ASSERT_TRUE(boxes.WaitFor(2, 60)) << c.id;
        auto seen = boxes.Seen();
        EXPECT_EQ(seen[1].title, "Download error") << c.id;
        // The compare window is the user's again.
        HWND back = VisibleWindow(run, "frmCompare");
        ASSERT_TRUE(back) << c.id;
        e2e::Click(e2e::Control(back, "Command1"));
      }
      EXPECT_TRUE(run.WaitForEnd(seconds(30))) << c.id;
      EXPECT_EQ(run.ExitCode(), 0u) << c.id;
      break;
    }
  }
  EXPECT_TRUE(testutil::PumpUntil([&] { return faults::ProcessesIn(folder).empty(); }, seconds(10)))
      << c.id << ": a program is still running";
  for (const auto& [name, bytes] : c.changed) before[name] = bytes;
  ExpectKept(before, Snapshot(folder), c.mayAppear, c.id);
}

const Files Installed = {{"panel.dll", Database}, {"quietrail.ini", Settings}, {"exclude.ini", List},
                         {"library.ini", newerlytest::Library("1.14", "1.14", "1.14", "1.14")}};

Files With(Files files, const std::string& name, const char* bytes) {
  if (bytes) files[name] = bytes;
  else files.erase(name);
  return files;
}

TEST_F(DiskFaults, EveryProgramReportsOrSkipsAndEveryFileKeepsItsBytes) {
  const std::string annotated = AnnotatedSettings();
  const Case cases[] = {
      {"D01", Disk::Full, 3 * 4096, Installed, Action::SaveSettings, {},
       {{"quietrail.ini", faults::SettingsAfterSave(Settings, "111111111")}}},
      {"D02", Disk::Full, 0, With(Installed, "quietrail.ini", annotated.c_str()), Action::SaveSettings, {}},
      {"D03", Disk::Full, 0, With(Installed, "panel.dll", UnconfirmedDatabase), Action::Welcome, {}},
      {"D04", Disk::Full, 4096, Installed, Action::SaveList, {}},
      {"D05", Disk::Full, 0, Installed, Action::ClearRun, {}},
      {"D14", Disk::Full, 0, With(Installed, "exclude.ini", nullptr), Action::ClearRun, {"exclude.ini"}},
      {"D06", Disk::Full, 0, Installed, Action::CheckForUpdates, {}},
      {"D07", Disk::Full, 8192, Installed, Action::Update, {"available.ini"}},
      {"D08", Disk::ReadOnly, 0, Installed, Action::SaveSettings, {}},
      {"D09", Disk::ReadOnly, 0, With(Installed, "panel.dll", UnconfirmedDatabase), Action::Welcome, {}},
      {"D10", Disk::ReadOnly, 0, Installed, Action::SaveList, {}},
      {"D11", Disk::ReadOnly, 0, Installed, Action::ClearRun, {}},
      {"D12", Disk::ReadOnly, 0, With(Installed, "exclude.ini", nullptr), Action::ClearRun, {}},
      {"D13", Disk::ReadOnly, 0, Installed, Action::CheckForUpdates, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    Run(c);
  }
}

}  // namespace

namespace {

using e2e::Press;

// The user database cannot take the protection switched off: the panel says so and ends after
// the message's OK, and the database keeps its bytes.
TEST_F(DiskFaults, D15_ProtectionThatCannotBeStoredIsReported) {
  Case c{"D15", Disk::ReadOnly, 0, Installed, Action::SaveSettings, {}};
  std::string staged;
  std::string folder = LayOut(c, staged);
  {
    winapp::ComApartment com;
    accesskeep::AccessKeepClient control;
    ASSERT_EQ(control.Create(testutil::ProgramFolder() + "\\accesskeep.ocx"), S_OK);
    long status = -1;
    ASSERT_EQ(control.ChangePassword("default", "Secret1", staged + "\\panel.dll", false, &status), S_OK);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(control.StoreSetting("default", "login", "1", staged + "\\panel.dll", &status), S_OK);
    ASSERT_EQ(status, 0);
  }
  if (!ReadOnlyTook(folder)) GTEST_SKIP() << "D15: " << folder << " takes files; the read-only mount did not take";
  Files before = Snapshot(folder);

  e2e::Program p(folder, "panel.exe", "SETTINGS");
  HWND prompt = VisibleWindow(p, "frmLogin");
  ASSERT_TRUE(prompt) << "D15: no password prompt";
  HWND box = e2e::Control(prompt, "Text1");
  for (char ch : std::string("Secret1")) PostMessageA(box, WM_CHAR, static_cast<unsigned char>(ch), 1);
  Press(e2e::Control(prompt, "Command1"));
  HWND settings = VisibleWindow(p, "frmSettings");
  ASSERT_TRUE(settings) << "D15: no settings dialog after the right password";
  HWND protect = e2e::Control(settings, "chkProtect");
  EXPECT_EQ(SendMessageA(protect, BM_GETCHECK, 0, 0), BST_CHECKED) << "D15";
  SendMessageA(protect, BM_CLICK, 0, 0);
  Press(e2e::Control(settings, "Command1"));
  HWND error = VisibleWindow(p, "frmError");
  ASSERT_TRUE(error) << "D15: no message";
  EXPECT_EQ(testutil::TextOf(e2e::Control(error, "Label1")), "Unexpected error when attempting to write password data");
  Press(e2e::Control(error, "Command1"));
  EXPECT_TRUE(p.WaitForEnd(seconds(20))) << "D15";
  EXPECT_EQ(p.ExitCode(), 0u) << "D15";
  ExpectKept(before, Snapshot(folder), {}, "D15");
}

}  // namespace

namespace {

// The user database on a full disk: every change the control makes is written whole or not at
// all, so protection stays on and the password stays what it was (a database rewritten in place
// was cut short where the disk ended, and with `login` lost protection was silently off).
TEST_F(DiskFaults, D16_UserDatabaseChangesAreWholeOrNone) {
  Case c{"D16", Disk::Full, 0, Installed, Action::SaveSettings, {}};
  std::string staged;
  LayOut(c, staged);
  const std::string db = staged + "\\panel.dll";
  winapp::ComApartment com;
  accesskeep::AccessKeepClient control;
  ASSERT_EQ(control.Create(testutil::ProgramFolder() + "\\accesskeep.ocx"), S_OK);
  long status = -1;
  ASSERT_EQ(control.ChangePassword("default", "Secret1", db, false, &status), S_OK);
  for (int i = 0; i < 40; ++i)
    ASSERT_EQ(control.StoreSetting("default", "Note" + std::to_string(i), std::string(60, 'n'), db, &status), S_OK);
  ASSERT_EQ(control.StoreSetting("default", "login", "1", db, &status), S_OK);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(Fill(0, "D16"));
  const std::string before = testutil::ReadWholeFile(db);
  const std::string longer(2000, 'x');
  struct Change {
    const char* what;
    std::function<HRESULT()> call;
  } const changes[] = {
      {"StoreSetting", [&] { return control.StoreSetting("default", "Note0", longer, db, &status); }},
      {"ChangePassword", [&] { return control.ChangePassword("default", "Another2", db, false, &status); }},
      {"CreateUser", [&] { return control.CreateUser("second" + longer.substr(0, 200), "Secret2", db, false, &status); }},
      {"KillUser", [&] { return control.KillUser("default", db, &status); }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    change.call();
    EXPECT_TRUE(testutil::ReadWholeFile(db) == before) << "the database changed: [" << faults::Shown(testutil::ReadWholeFile(db)) << "]";
    EXPECT_FALSE(testutil::Exists(db + ".new"));
    ASSERT_EQ(control.ValidateUser("default", "Secret1", db, false, &status), S_OK);
    EXPECT_EQ(status, 0);
    std::string login;
    ASSERT_EQ(control.RetrieveSetting("default", "login", db, &login), S_OK);
    EXPECT_EQ(login, "1");
  }
}

}  // namespace
