// The update checker against hostile input: a damaged, odd or unreachable record of installed
// versions, version lists and program files that are empty, binary, huge or lying, a server that
// refuses, stalls or drops, and arguments the program does not take. The real test build runs in
// a program folder of its own against the test server, driven from outside as a user drives it.
// Whatever happens, it ends or waits for the user, every installed program and library.ini keep
// their bytes unless a whole, correct download replaced them, and no other file is left behind.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "message_boxes.h"
#include "newerly_files.h"
#include "programs.h"
#include "test_keys.h"
#include "test_util.h"
#include "update_server.h"

using namespace newerlytest;

namespace {

const char* const Installed[3] = {"panel.exe", "Launch.exe", "clear.exe"};
const char* const ServerNames[3] = {"panel_new.exe", "launch_new.exe", "clear_new.exe"};
const char* const OtherHost = "127.0.0.2";

const char* const NoList = "Unable to download latest version list - 02";
const char* const DamagedList = "The latest version list is damaged and cannot be used - 03";
const char* const Unsigned = "The latest version list is not signed and cannot be trusted - 05";
const char* const BadSignature = "The latest version list failed its signature check and cannot be trusted - 06";
const char* const Older = "The latest version list is older than the one already installed - 07";
const char* const NoRecord = "The record of installed versions is missing or damaged - 04";
const char* const DownloadError =
    "Either this operation was cancelled, or there was a fatal error downloading a selected file.\r\n\r\n"
    "You may need to reinstall Quietrail.";
const char* const Prompt = "The total size you are about to download is 120 KB.\r\nDo you wish to continue?";

std::string Old(const char* p) { return ProgramBytes(std::string("installed ") + p); }
std::string New(const char* p) { return ProgramBytes(std::string("update of ") + p); }

// The list of the last check, still in the program folder: a failed check leaves it as it is.
const std::string LastList = "[WIN]\r\n; the list of the last check\r\nQuietVer=1.14\r\nPanelVer=1.14\r\n";

// A list that describes the programs the server holds (their sizes and SHA-256).
Offer Described(Offer o) {
  std::string* programs[3] = {&o.panelProgram, &o.launchProgram, &o.clearProgram};
  for (int i = 0; i < 3; ++i)
    if (programs[i]->empty()) *programs[i] = New(Installed[i]);
  return o;
}

// The usual list: a newer panel, the rest as installed.
Offer NewPanel() {
  Offer o;
  o.panel = "1.15";
  return Described(o);
}

// The same bytes every run: a test that fails on binary input fails again on it.
std::string Noise(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16);
  }
  return bytes;
}

std::string Utf16WithBom(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) bytes += std::string{c, '\0'};
  return bytes;
}

// What a case sets up before the program starts.
struct Setup {
  explicit Setup(std::string folder) : dir{std::move(folder)} {}
  // The program folder: a fresh temporary one, or one the case chose (emptied again afterwards,
  // all but library.ini).
  struct Folder {
    std::string path;
    std::string operator/(const std::string& name) const { return path + "\\" + name; }
  } dir;
  bool ownFolder = false;
  std::optional<std::string> library = Library("1.14", "1.14", "1.14", "1.14");  // nothing: no file
  Reply list{200, Available(NewPanel())};
  // available.sig for the list served: the test builds' key's signature of it unless the case
  // says otherwise (nothing: no signature on the server).
  std::function<std::optional<std::string>(const std::string& list)> sign = [](const std::string& list) {
    return std::optional<std::string>(TestKey::Build().Sign(list));
  };
  std::map<std::string, Reply> files;  // by server name; the usual programs unless replaced
  bool otherHost = false;  // another host (127.0.0.2, the same port) serves programs of its own
  // A redirect's target on the server: the platform follows a redirect before the program can
  // refuse what comes of it, so this one request outside the folder's files is no fault.
  std::string followed;
  bool serverUp = true;
  std::string arguments;
  std::function<void()> undo;  // puts back what the case changed outside the files it wrote
  std::string skip;            // why the case cannot run here
};

enum class Flow {
  Check,   // "Check for updates", then the table (if it shows) is left with "E&xit"
  Update,  // and "&Yes, update", answering Yes to the size prompt
};

// Where the program waits for the user once its message boxes are answered.
enum class Left { StartWindow, Table, Nothing };

struct Case {
  const char* id;
  const char* input;
  Flow flow;
  std::function<void(Setup&)> arrange;
  std::vector<const char*> boxes;  // the texts of the message boxes, in order
  Left left;
  bool listTaken = false;  // available.ini afterwards holds the served list (else the last one)
  bool panelReplaced = false;  // panel.exe afterwards holds the whole, correct download
  // The table's "Your PC" column, top to bottom, when the table shows (nothing: not looked at).
  std::vector<std::string> installedColumn = {};
};

// Copies of update.exe still running, anywhere, and Wine's crash debugger (started for a crash).
int RunningCopies() {
  int count = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
    if (_stricmp(entry.szExeFile, "update.exe") == 0 || _stricmp(entry.szExeFile, "winedbg.exe") == 0) ++count;
  CloseHandle(snap);
  return count;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

using e2e::VisibleWindow;

void RunCase(const Case& c) {
  // QR_HOSTILE_CASES=N24,N31 runs only those cases (when chasing one).
  if (const char* only = std::getenv("QR_HOSTILE_CASES"); only && !std::strstr(only, c.id)) return;
  SCOPED_TRACE(std::string(c.id) + ": " + c.input);
  auto began = std::chrono::steady_clock::now();
  struct Timing {
    const char* id;
    std::chrono::steady_clock::time_point began;
    ~Timing() {
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
      std::cout << "[   CASE   ] " << id << " " << ms.count() << " ms\n";
    }
  } timing{c.id, began};
  testutil::TempFolder temp;
  Setup s(temp.path());
  for (size_t i = 0; i < 3; ++i) s.files[ServerNames[i]] = Reply{200, New(Installed[i])};
  c.arrange(s);
  struct Undo {
    std::function<void()>& undo;
    ~Undo() {
      if (undo) undo();
    }
  } undo{s.undo};
  const Setup::Folder& dir = s.dir;
  struct Empty {
    Setup& s;
    ~Empty() {
      if (!s.ownFolder) return;
      for (const std::string& name : FilesIn(s.dir.path))
        if (name != "library.ini") DeleteFileA((s.dir / name).c_str());
    }
  } empty{s};
  if (!s.skip.empty()) {
    std::cout << "[  SKIPPED ] " << c.id << ": " << s.skip << "\n";
    return;
  }

  ASSERT_TRUE(testutil::CopyInto(TestBinFolder() + "\\newerly_testbuild.exe", dir.path, "update.exe"));
  for (const char* p : Installed) ASSERT_TRUE(testutil::WriteWholeFile(dir / p, Old(p)));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "available.ini", LastList));
  if (s.library && !testutil::Exists(dir / "library.ini")) {
    ASSERT_TRUE(testutil::WriteWholeFile(dir / "library.ini", *s.library));
  }
  DWORD libraryAttributes = GetFileAttributesA((dir / "library.ini").c_str());
  std::string libraryBytes = testutil::ReadWholeFile(dir / "library.ini");
  std::vector<std::string> before = FilesIn(dir.path);

  std::unique_ptr<UpdateServer> server;
  if (s.serverUp) {
    // The test build's port may be busy for a moment with another suite's server.
    testutil::PumpUntil([&] {
      server = std::make_unique<UpdateServer>(TestBuildPort());
      return server->Listening();
    }, std::chrono::seconds(60));
    ASSERT_TRUE(server->Listening()) << "port " << TestBuildPort() << " is taken";
    server->Serve("available.ini", s.list);
    if (std::optional<std::string> signature = s.sign(s.list.body)) server->ServeFile("available.sig", *signature);
    for (auto& [name, reply] : s.files) server->Serve(name, reply);
  }
  std::unique_ptr<UpdateServer> otherHost;
  if (s.otherHost) {
    otherHost = std::make_unique<UpdateServer>(TestBuildPort(), OtherHost);
    ASSERT_TRUE(otherHost->Listening()) << "no server on " << OtherHost;
    for (const char* name : ServerNames) otherHost->ServeFile(name, New("evil"));
  }

  e2e::Program run(dir.path, "update.exe", s.arguments);
  ASSERT_TRUE(run.Started());
  MessageBoxes boxes(run.Id());
  HWND start = e2e::WaitForWindow(run, "frmMain");
  ASSERT_TRUE(start) << "no start window";
  e2e::Click(e2e::Control(start, "Command1"));

  // Every step has its time: a stalled server too is given up in bounded time. A step is over
  // when its message boxes were answered and the program is back with the user (or ended).
  auto waitFor = [&](size_t count, bool table) {
    return testutil::PumpUntil(
        [&] {
          if (!run.Running()) return true;
          if (boxes.Count() < count) return false;
          HWND compare = VisibleWindow(run, "frmCompare");
          bool atTable = compare && IsWindowEnabled(compare) && !VisibleWindow(run, "frmUpdate");
          bool atStart = !compare && VisibleWindow(run, "frmMain");
          return atTable || ((!table || boxes.Count() > count) && atStart);
        },
        std::chrono::seconds(45));
  };
  if (c.flow == Flow::Update) {
    ASSERT_TRUE(waitFor(0, true)) << "no table";
    HWND compare = VisibleWindow(run, "frmCompare");
    ASSERT_TRUE(compare) << "no table; " << boxes.Count() << " message boxes";
    ASSERT_EQ(boxes.Count(), 0u) << boxes.Seen()[0].text;
    e2e::Click(e2e::Control(compare, "Command2"));
  }
  ASSERT_TRUE(waitFor(c.boxes.size(), c.boxes.empty())) << "the program neither ended nor came back to the user";
  testutil::PumpFor(std::chrono::milliseconds(200));

  std::vector<SeenBox> seen = boxes.Seen();
  std::vector<std::string> texts;
  for (const SeenBox& b : seen) texts.push_back(b.text);
  EXPECT_EQ(texts, std::vector<std::string>(c.boxes.begin(), c.boxes.end()));
  Left left = !run.Running()                        ? Left::Nothing
              : VisibleWindow(run, "frmCompare")    ? Left::Table
              : VisibleWindow(run, "frmMain")       ? Left::StartWindow
                                                    : Left::Nothing;
  EXPECT_EQ(static_cast<int>(left), static_cast<int>(c.left)) << "0 start window, 1 table, 2 nothing";

  if (HWND compare = VisibleWindow(run, "frmCompare"); compare && !c.installedColumn.empty()) {
    std::vector<std::string> column;
    for (const char* label : {"lblQuietrailPC", "lblPanelPC", "lblLaunchPC", "lblClearPC"})
      column.push_back(testutil::TextOf(e2e::Control(compare, label)));
    EXPECT_EQ(column, c.installedColumn);
  }

  // The user leaves as a user does: "E&xit" on the table, the close box on the start window.
  if (HWND compare = VisibleWindow(run, "frmCompare")) {
    e2e::Click(e2e::Control(compare, "Command1"));
  } else if (HWND main = VisibleWindow(run, "frmMain")) {
    PostMessageA(main, WM_CLOSE, 0, 0);
  }
  ASSERT_TRUE(run.WaitForEnd(std::chrono::seconds(20))) << "the program does not end";
  EXPECT_EQ(run.ExitCode(), 0u) << std::hex << "exit code 0x" << run.ExitCode();
  if (server) {
    // Nothing was asked for outside the update folder's own files.
    for (const std::string& name : server->Requests())
      EXPECT_TRUE(name == "available.ini" || name == "available.sig" || (!s.followed.empty() && name == s.followed) ||
                  std::count(std::begin(ServerNames), std::end(ServerNames), name))
          << "asked for " << name;
  }
  server.reset();
  EXPECT_TRUE(testutil::PumpUntil([] { return RunningCopies() == 0; }, std::chrono::seconds(5)))
      << "a copy of the program, or the crash debugger, is left running";

  for (const char* p : Installed) {
    bool replaced = c.panelReplaced && std::string(p) == "panel.exe";
    EXPECT_SAME_FILE(testutil::ReadWholeFile(dir / p), replaced ? New(p) : Old(p)) << p;
  }
  EXPECT_EQ(GetFileAttributesA((dir / "library.ini").c_str()), libraryAttributes);
  EXPECT_TRUE(testutil::ReadWholeFile(dir / "library.ini") == libraryBytes) << "library.ini changed";
  std::string list = testutil::ReadWholeFile(dir / "available.ini");
  if (c.listTaken) {
    std::string served = s.list.body.substr(0, s.list.announced >= 0 ? s.list.announced : std::string::npos);
    EXPECT_TRUE(list == served) << "available.ini is not the served list";
  } else {
    EXPECT_TRUE(list == LastList) << "available.ini is not the last check's list";
  }
  EXPECT_EQ(FilesIn(dir.path), before) << "files came or went";
}

// library.ini as the installation left it, or as something else left it.
const Case LibraryCases[] = {
    {"N01", "library.ini missing", Flow::Check, [](Setup& s) { s.library.reset(); }, {NoRecord}, Left::StartWindow,
     true},
    {"N02", "library.ini empty", Flow::Check, [](Setup& s) { s.library = ""; }, {NoRecord}, Left::StartWindow, true},
    {"N03", "library.ini binary (4 KB of noise)", Flow::Check, [](Setup& s) { s.library = Noise(4096, 3); },
     {NoRecord}, Left::StartWindow, true},
    {"N04", "library.ini in UTF-16 with a byte-order mark", Flow::Check,
     [](Setup& s) { s.library = Utf16WithBom(Library("1.14", "1.14", "1.15", "1.14")); }, {}, Left::Table, true,
     false, {"1.14", "1.14", "1.15", "1.14"}},
    {"N05", "library.ini with a line of 10 MB", Flow::Check,
     [](Setup& s) {
       s.library = "[WIN]\r\nQuietVer=" + std::string(10 << 20, '7') + "\r\nPanelVer=1.14\r\nLaunchVer=1.14\r\n"
                   "ClearVer=1.14\r\n";
     },
     {}, Left::Table, true, false, {std::string(49, '7'), "1.14", "1.14", "1.14"}},
    {"N06", "library.ini with NUL bytes in its values", Flow::Check,
     [](Setup& s) {
       s.library = std::string("[WIN]\r\nQuietVer=1.1\0\0" "4\r\nPanelVer=\0\r\nLaunchVer=1.14\r\nClearVer=1\0.14\r\n",
                               66);
     },
     {}, Left::Table, true, false, {"1.1", "", "1.14", "1"}},
    {"N07", "library.ini read-only, an update chosen", Flow::Update,
     [](Setup& s) {
       // Wine's root user replaces a file with the read-only attribute all the same: as root the
       // test's wrapper (readonly_library.sh) makes a folder whose library.ini is a read-only
       // bind mount, and names it in QR_READONLY_FOLDER.
       const char* folder = std::getenv("QR_READONLY_FOLDER");
       if (folder) {
         s.dir.path = "Z:" + std::string(folder);
         std::replace(s.dir.path.begin(), s.dir.path.end(), '/', '\\');
         s.ownFolder = true;
         s.library = testutil::ReadWholeFile(s.dir / "library.ini");
       } else {
         std::string path = s.dir / "library.ini";
         testutil::WriteWholeFile(path, *s.library);
         SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
         s.undo = [path] { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); };
       }
       // The program replaces library.ini whole: a replacement must be kept out here.
       std::string probe = s.dir / "library.ini", over = s.dir / "probe.new";
       testutil::WriteWholeFile(over, "new");
       if (MoveFileExA(over.c_str(), probe.c_str(), MOVEFILE_REPLACE_EXISTING)) {
         testutil::WriteWholeFile(probe, *s.library);
         s.skip = "library.ini cannot be made read-only here (as root, run through readonly_library.sh)";
       }
       DeleteFileA(over.c_str());
     },
     {Prompt, DownloadError}, Left::Table, true, false},
    {"N08", "library.ini locked by another process", Flow::Check,
     [](Setup& s) {
       std::string path = s.dir / "library.ini";
       testutil::WriteWholeFile(path, *s.library);
       HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
       s.undo = [h] { CloseHandle(h); };
       HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
       if (other != INVALID_HANDLE_VALUE) {
         CloseHandle(other);
         s.skip = "the lock does not keep others out here";
       }
     },
     {NoRecord}, Left::StartWindow, true},
    {"N09", "a folder named library.ini", Flow::Check,
     [](Setup& s) {
       s.library.reset();
       CreateDirectoryA((s.dir / "library.ini").c_str(), nullptr);
     },
     {NoRecord}, Left::StartWindow, true},
};

TEST(HostileNetwork, LibraryIni) {
  for (const Case& c : LibraryCases) RunCase(c);
}

// The version list as the server hands it over.
Reply ListOf(const Offer& o) { return Reply{200, Available(Described(o))}; }

const Case ListCases[] = {
    {"N10", "available.ini served empty", Flow::Check, [](Setup& s) { s.list.body.clear(); }, {DamagedList},
     Left::StartWindow},
    {"N11", "available.ini served binary (4 KB of noise)", Flow::Check,
     [](Setup& s) { s.list.body = Noise(4096, 11); }, {DamagedList}, Left::StartWindow},
    {"N12", "available.ini served as an HTML error page with status 200", Flow::Check,
     [](Setup& s) {
       s.list.body = "<html><head><title>Service Unavailable</title></head><body><h1>Down for maintenance</h1>"
                     "</body></html>";
     },
     {DamagedList}, Left::StartWindow},
    {"N13", "available.ini of 100 MB", Flow::Check,
     [](Setup& s) { s.list.body = Available(NewPanel()) + std::string(100 << 20, ';'); }, {NoList},
     Left::StartWindow},
    {"N14", "odd versions: QuietVer -1, PanelVer 1e999, LaunchVer letters, ClearVer -1.5", Flow::Check,
     [](Setup& s) {
       Offer o;
       o.quiet = "-1", o.panel = "1e999", o.launch = "abc", o.clear = "-1.5";
       s.list = ListOf(o);
     },
     {}, Left::Table, true},
    {"N15", "ClearVer 1e999 in the list", Flow::Check,
     [](Setup& s) {
       Offer o;
       o.clear = "1e999";
       s.list = ListOf(o);
     },
     {DamagedList}, Left::StartWindow, true},
    {"N16", "ClearVer in letters in the list", Flow::Check,
     [](Setup& s) {
       Offer o;
       o.clear = "one point two";
       s.list = ListOf(o);
     },
     {DamagedList}, Left::StartWindow, true},
    {"N17", "a negative size (PanelSize -5)", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelSize = "-5";
       s.list = ListOf(o);
     },
     {DamagedList}, Left::Table, true},
    {"N18", "a size of 1e999 (PanelSize)", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelSize = "1e999";
       s.list = ListOf(o);
     },
     {DamagedList}, Left::Table, true},
    {"N19", "a size in letters (PanelSize abc)", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelSize = "abc";
       s.list = ListOf(o);
     },
     {DamagedList}, Left::Table, true},
    {"N20", "sizes over the 32767 KB total (32000 + 768)", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.clear = "1.15", o.panelSize = "32000", o.clearSize = "768";
       s.list = ListOf(o);
     },
     {DamagedList}, Left::Table, true},
    {"N21", "PanelFile ../../evil.exe", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelFile = "../../evil.exe";
       s.list = ListOf(o);
       s.files["../../evil.exe"] = s.files["/evil.exe"] = s.files["evil.exe"] = Reply{200, New("evil")};
     },
     {Prompt, DownloadError}, Left::Table, true},
    {"N22", "PanelFile %2e%2e/%2e%2e/evil.exe (escaped climb)", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelFile = "%2e%2e/%2e%2e/evil.exe";
       s.list = ListOf(o);
       s.files["%2e%2e/%2e%2e/evil.exe"] = s.files["../../evil.exe"] = s.files["/evil.exe"] = Reply{200, New("evil")};
     },
     {Prompt, DownloadError}, Left::Table, true},
};

TEST(HostileNetwork, VersionList) {
  for (const Case& c : ListCases) RunCase(c);
}

const std::string PanelServed = "panel_new.exe";

const Case NetworkCases[] = {
    {"N23", "no server: the connection is refused", Flow::Check, [](Setup& s) { s.serverUp = false; }, {NoList},
     Left::StartWindow},
    {"N24", "the list stalls: headers, then nothing", Flow::Check,
     [](Setup& s) { s.list.cutAt = 0, s.list.stall = true; }, {NoList}, Left::StartWindow},
    {"N25", "the list stalls halfway", Flow::Check,
     [](Setup& s) { s.list.cutAt = s.list.body.size() / 2, s.list.stall = true; }, {NoList}, Left::StartWindow},
    {"N26", "the connection drops halfway through the list", Flow::Check,
     [](Setup& s) { s.list.cutAt = s.list.body.size() / 2; }, {NoList}, Left::StartWindow},
    {"N27", "the list answers 404 with an error page", Flow::Check,
     [](Setup& s) { s.list.status = 404, s.list.body = "<html><body>Not Found</body></html>"; }, {NoList},
     Left::StartWindow},
    {"N28", "the list answers 500", Flow::Check,
     [](Setup& s) { s.list.status = 500, s.list.body = "<html><body>Internal Server Error</body></html>"; },
     {NoList}, Left::StartWindow},
    {"N29", "the list's Content-Length claims more than is sent", Flow::Check,
     [](Setup& s) { s.list.announced = static_cast<long long>(s.list.body.size()) + 100; }, {NoList},
     Left::StartWindow},
    {"N30", "the list's Content-Length claims less than is sent (cut before ClearVer)", Flow::Check,
     [](Setup& s) { s.list.announced = static_cast<long long>(s.list.body.find("ClearVer")); }, {BadSignature},
     Left::StartWindow},
    {"N31", "the panel's download stalls after its headers", Flow::Update,
     [](Setup& s) { s.files[PanelServed].cutAt = 0, s.files[PanelServed].stall = true; }, {Prompt, DownloadError},
     Left::Table, true},
    {"N32", "the connection drops halfway through the panel", Flow::Update,
     [](Setup& s) { s.files[PanelServed].cutAt = s.files[PanelServed].body.size() / 2; }, {Prompt, DownloadError},
     Left::Table, true},
    {"N33", "the panel is 100 MB", Flow::Update,
     [](Setup& s) { s.files[PanelServed].body += std::string(100 << 20, '\0'); }, {Prompt, DownloadError},
     Left::Table, true},
    {"N34", "the panel answers 404", Flow::Update,
     [](Setup& s) { s.files[PanelServed] = Reply{404, "<html><body>Not Found</body></html>"}; },
     {Prompt, DownloadError}, Left::Table, true},
    {"N35", "the panel answers 500", Flow::Update,
     [](Setup& s) { s.files[PanelServed] = Reply{500, "<html><body>Internal Server Error</body></html>"}; },
     {Prompt, DownloadError}, Left::Table, true},
    {"N36", "the panel's Content-Length claims more than is sent", Flow::Update,
     [](Setup& s) { s.files[PanelServed].announced = static_cast<long long>(s.files[PanelServed].body.size()) * 2; },
     {Prompt, DownloadError}, Left::Table, true},
    {"N37", "the panel's Content-Length claims half of what is sent", Flow::Update,
     [](Setup& s) { s.files[PanelServed].announced = static_cast<long long>(s.files[PanelServed].body.size()) / 2; },
     {Prompt, DownloadError}, Left::Table, true},
};

TEST(HostileNetwork, Server) {
  for (const Case& c : NetworkCases) RunCase(c);
}

// Whoever holds the update folder, or stands between it and the machine, without the
// publisher's private key: nothing they offer is used.
const Case TrustCases[] = {
    {"N39", "the list without its signature (available.sig answers 404)", Flow::Check,
     [](Setup& s) { s.sign = [](const std::string&) { return std::optional<std::string>(); }; }, {Unsigned},
     Left::StartWindow},
    {"N40", "the list signed with another key", Flow::Check,
     [](Setup& s) {
       s.sign = [](const std::string& list) { return std::optional<std::string>(TestKey::Fresh().Sign(list)); };
     },
     {BadSignature}, Left::StartWindow},
    {"N41", "one byte of the signed list changed (PanelVer 1.15 to 1.75)", Flow::Check,
     [](Setup& s) {
       std::string signedList = s.list.body;
       s.sign = [signedList](const std::string&) { return std::optional<std::string>(TestKey::Build().Sign(signedList)); };
       s.list.body[s.list.body.find("PanelVer=1.15") + 11] = '7';
     },
     {BadSignature}, Left::StartWindow},
    {"N42", "available.sig of 64 bytes of noise", Flow::Check,
     [](Setup& s) { s.sign = [](const std::string&) { return std::optional<std::string>(Noise(64, 42)); }; },
     {BadSignature}, Left::StartWindow},
    {"N43", "a list with a lower serial than the last one installed (4 after 5)", Flow::Check,
     [](Setup& s) {
       s.library = Library("1.14", "1.14", "1.14", "1.14") + "Serial=5\r\n";
       Offer o = NewPanel();
       o.serial = "4";
       s.list = ListOf(o);
     },
     {Older}, Left::StartWindow},
    {"N44", "the panel differs from the list's SHA-256 (another program of its size)", Flow::Update,
     [](Setup& s) { s.files[PanelServed] = Reply{200, New("Panel.exe")}; }, {Prompt, DownloadError}, Left::Table, true},
    {"N45", "the panel is one byte longer than the list says", Flow::Update,
     [](Setup& s) { s.files[PanelServed].body += "x"; }, {Prompt, DownloadError}, Left::Table, true},
    {"N46", "the panel's request is redirected to another host", Flow::Update,
     [](Setup& s) {
       s.otherHost = true;
       s.files[PanelServed] = Reply{302, "", std::string::npos, false, -1,
                                    "http://" + std::string(OtherHost) + ":" + std::to_string(TestBuildPort()) +
                                        UpdateFolderPath() + PanelServed};
     },
     {Prompt, DownloadError}, Left::Table, true},
    {"N47", "the list's request is redirected out of the update folder", Flow::Check,
     [](Setup& s) {
       s.followed = "/elsewhere/available.ini";
       s.files[s.followed] = s.list;
       s.list = Reply{302, "", std::string::npos, false, -1, s.followed};
     },
     {NoList}, Left::StartWindow},
    {"N48", "PanelFile with a folder (2003/panel_new.exe)", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelFile = "2003/panel_new.exe";
       s.list = ListOf(o);
     },
     {Prompt, DownloadError}, Left::Table, true},
    {"N50", "the panel trickles in, a kilobyte a second", Flow::Update,
     [](Setup& s) {
       Offer o = NewPanel();
       o.panelProgram = New("panel.exe") + std::string(32 << 10, '.');
       s.list = ListOf(o);
       s.files[PanelServed] = Reply{200, o.panelProgram, std::string::npos, false, -1, "", 1000};
     },
     {Prompt, DownloadError}, Left::Table, true},
    {"N51", "the list trickles in, a kilobyte a second", Flow::Check,
     [](Setup& s) {
       s.list.body += "; " + std::string(32 << 10, '.') + "\r\n";
       s.list.trickleMs = 1000;
     },
     {NoList}, Left::StartWindow},
};

TEST(HostileNetwork, Trust) {
  for (const Case& c : TrustCases) RunCase(c);
}

// The program takes no arguments: whatever it is given, it checks its own update folder.
const Case CommandLineCases[] = {
    {"N38", "arguments: a URL of another server, switches, an unbalanced quote and 30,000 characters",
     Flow::Check,
     [](Setup& s) {
       Offer o;
       s.list = ListOf(o);
       s.arguments = "http://127.0.0.1:1/elsewhere/ /S /update \"unbalanced " + std::string(30000, 'A');
     },
     {}, Left::Table, true},
};

TEST(HostileNetwork, CommandLine) {
  for (const Case& c : CommandLineCases) RunCase(c);
}

}  // namespace
