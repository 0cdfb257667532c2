// Downloads against the test server: only a whole file with "200 OK" that passes its check ever
// replaces the target; everything else leaves the target byte for byte and no file behind.
#include <gtest/gtest.h>

#include "download.h"
#include "newerly_files.h"
#include "test_util.h"
#include "update_server.h"
#include "updatefiles.h"

using namespace newerlytest;

namespace {

bool Program(const std::string& bytes) { return newerly::IsImageForThisBuild(bytes); }

// Names in a folder, for "nothing left behind".
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    std::string n = d.cFileName;
    if (n != "." && n != "..") names.push_back(n);
  } while (FindNextFileA(h, &d));
  FindClose(h);
  return names;
}

TEST(ProgramCheck, OnlyWholeProgramsOrLibrariesOfThisMachinePass) {
  std::string good = ProgramBytes("mark");
  ASSERT_GT(good.size(), 1024u) << "the stand-in program is missing from the test folder";
  size_t pe = static_cast<unsigned char>(good[0x3C]) | static_cast<unsigned char>(good[0x3D]) << 8;
  auto with = [&](size_t at, std::string bytes) {
    std::string b = good;
    b.replace(at, bytes.size(), bytes);
    return b;
  };
  // The stand-in's section data ends where its mark begins.
  std::string cut = good.substr(0, good.size() - 4 - 200);
  struct Case {
    std::string bytes;
    bool program;
    bool library = false;
  } cases[] = {
      {good, true},
      {ModuleBytes("mark"), false, true},
      {ProgramForMachine("mark", IMAGE_FILE_MACHINE_I386), false},
      {ProgramForMachine("mark", 0xAA64), false},
      {"", false},
      {"MZ", false},
      {"<html><body><h1>Not Found</h1></body></html>", false},
      {with(0, "ZM"), false},
      {with(pe, "PX"), false},
      {with(0x3C, std::string("\xF0\xFF\xFF\x7F", 4)), false},
      {with(pe + 22, std::string("\x22\x20", 2)), false, true},  // a library (IMAGE_FILE_DLL)
      {with(pe + 22, std::string("\x20\x00", 2)), false},  // not an executable image
      {with(pe + 24, std::string("\x0B\x01", 2)), false},  // 32-bit optional header
      {cut, false},
      {good.substr(0, 0x200), false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    EXPECT_EQ(newerly::IsImageForThisBuild(cases[i].bytes), cases[i].program);
    EXPECT_EQ(newerly::IsImageForThisBuild(cases[i].bytes, true), cases[i].library);
  }
  EXPECT_EQ(core::MachineOf(good), newerly::BuildMachine());
  EXPECT_EQ(core::MachineOf(ProgramForMachine("mark", IMAGE_FILE_MACHINE_I386)), core::MachineI386);
}

class Fetch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Listening());
    ASSERT_TRUE(testutil::WriteWholeFile(target, installed));
  }
  UpdateServer server;
  testutil::TempFolder dir;
  std::string target = dir / "clear.exe";
  std::string installed = ProgramBytes("installed");
};

TEST_F(Fetch, AWholeProgramReplacesTheInstalledOne) {
  std::string update = ProgramBytes("update");
  server.ServeFile("clear_new.exe", update);
  newerly::DownloadReport report;
  EXPECT_TRUE(newerly::FetchFile(server.BaseUrl() + "clear_new.exe", target, Program, &report));
  EXPECT_EQ(report.status, 200u);
  EXPECT_EQ(report.expectedBytes, static_cast<long long>(update.size()));
  EXPECT_SAME_FILE(testutil::ReadWholeFile(target), update);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"clear.exe"});
}

TEST_F(Fetch, FailedCutAndForeignDownloadsLeaveTheInstalledProgramAsItWas) {
  std::string update = ProgramBytes("update");
  std::string page = "<html><body><h1>Service unavailable</h1><p>Please try again later.</p></body></html>";
  struct Case {
    const char* what;
    Reply reply;
    bool served;
  } cases[] = {
      {"404 with an error page", {}, false},
      {"cut halfway", Reply{200, update, update.size() / 2}, true},
      {"cut one byte short", Reply{200, update, update.size() - 1}, true},
      {"an HTML page under the program's name", Reply{200, page}, true},
      {"a 500 answer carrying a program", Reply{500, update}, true},
      {"a program for another machine", Reply{200, ProgramForMachine("x", IMAGE_FILE_MACHINE_I386)}, true},
      {"an empty file", Reply{200, ""}, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    server.Forget("clear_new.exe");
    if (cases[i].served) server.Serve("clear_new.exe", cases[i].reply);
    EXPECT_FALSE(newerly::FetchFile(server.BaseUrl() + "clear_new.exe", target, Program))
        << "case " << i << ": " << cases[i].what;
    EXPECT_SAME_FILE(testutil::ReadWholeFile(target), installed) << "case " << i << ": " << cases[i].what;
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"clear.exe"}) << "case " << i << ": " << cases[i].what;
  }
}

TEST_F(Fetch, StalledAndOversizedDownloadsAreGivenUp) {
  std::string update = ProgramBytes("update");
  struct Restore {
    unsigned long stall = newerly::StallMs, deadline = newerly::DeadlineMs;
    ~Restore() { newerly::StallMs = stall, newerly::DeadlineMs = deadline; }
  } restore;
  newerly::StallMs = 1000;
  newerly::DeadlineMs = 2500;
  struct Case {
    const char* what;
    Reply reply;
    long long largest;
    bool stalls;  // given up while it runs (a small file over its limit may arrive first)
    bool late;    // given up at the deadline
  } cases[] = {
      {"silent after its headers", Reply{200, update, 0, true}, newerly::LargestProgram, true, false},
      {"silent halfway", Reply{200, update, update.size() / 2, true}, newerly::LargestProgram, true, false},
      {"larger than its limit", Reply{200, update}, static_cast<long long>(update.size()) - 1, false, false},
      {"trickling, never silent for long",
       Reply{200, update + std::string(20000, '.'), std::string::npos, false, -1, "", 200},
       newerly::LargestProgram, true, true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    // A server of its own: a stalled one holds its connection until it stops.
    UpdateServer own;
    own.Serve("clear_new.exe", cases[i].reply);
    newerly::DownloadReport report;
    EXPECT_FALSE(newerly::FetchFile(own.BaseUrl() + "clear_new.exe", target, Program,
                                    &report, cases[i].largest))
        << "case " << i << ": " << cases[i].what;
    if (cases[i].stalls) {
      EXPECT_TRUE(report.givenUp) << "case " << i << ": " << cases[i].what;
      EXPECT_EQ(report.late, cases[i].late) << "case " << i << ": " << cases[i].what;
    }
    EXPECT_SAME_FILE(testutil::ReadWholeFile(target), installed) << "case " << i << ": " << cases[i].what;
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"clear.exe"}) << "case " << i << ": " << cases[i].what;
  }
}

// A file is taken only from the folder it was asked of: a redirect anywhere else gives the
// download up, and nothing from there is installed.
TEST_F(Fetch, RedirectsOutOfTheFolderAreRefused) {
  std::string update = ProgramBytes("update");
  UpdateServer other(0, "127.0.0.2");
  ASSERT_TRUE(other.Listening());
  other.ServeFile("clear_new.exe", update);
  server.ServeFile("/other/clear_new.exe", update);
  server.ServeFile("clear_115.exe", update);
  std::string port = std::to_string(server.Port());
  struct Case {
    std::string location;
    bool taken;
  } cases[] = {
      {"http://127.0.0.1:" + port + "/other/clear_new.exe", false},
      {"/other/clear_new.exe", false},
      {other.BaseUrl() + "clear_new.exe", false},
      {server.BaseUrl() + "clear_115.exe", true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(testutil::WriteWholeFile(target, installed));
    server.Serve("clear_new.exe", Reply{302, "", std::string::npos, false, -1, cases[i].location});
    newerly::DownloadReport report;
    EXPECT_EQ(newerly::FetchFile(server.BaseUrl() + "clear_new.exe", target, Program, &report), cases[i].taken)
        << "case " << i << ": " << cases[i].location;
    EXPECT_EQ(report.redirectedOut, !cases[i].taken) << "case " << i;
    EXPECT_SAME_FILE(testutil::ReadWholeFile(target), cases[i].taken ? update : installed) << "case " << i;
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"clear.exe"}) << "case " << i;
  }
}

TEST_F(Fetch, NoServerNoChange) {
  unsigned short port;
  {
    UpdateServer gone;
    port = gone.Port();
  }
  std::string url = "http://127.0.0.1:" + std::to_string(port) + "/quietrail2003/clear_new.exe";
  EXPECT_FALSE(newerly::FetchFile(url, target, Program));
  EXPECT_SAME_FILE(testutil::ReadWholeFile(target), installed);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"clear.exe"});
}

TEST_F(Fetch, ARunningProgramIsNotReplaced) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = "\"" + target + "\" stay";
  ASSERT_TRUE(CreateProcessA(target.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.path().c_str(), &si, &pi));
  server.ServeFile("clear_new.exe", ProgramBytes("update"));
  bool replaced = newerly::FetchFile(server.BaseUrl() + "clear_new.exe", target, Program);
  TerminateProcess(pi.hProcess, 1);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_FALSE(replaced);
  EXPECT_SAME_FILE(testutil::ReadWholeFile(target), installed);
  EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"clear.exe"});
}

TEST_F(Fetch, EachDownloadAsksTheServerAfresh) {
  for (int i = 0; i < 2; ++i) {
    std::string list = "[WIN]\r\nClearVer=1." + std::to_string(20 + i) + "\r\n";
    server.ServeFile("available.ini", list);
    ASSERT_TRUE(newerly::FetchFile(server.BaseUrl() + "available.ini", dir / "available.ini")) << "round " << i;
    EXPECT_EQ(testutil::ReadWholeFile(dir / "available.ini"), list) << "round " << i;
  }
  EXPECT_EQ(server.Requests().size(), 2u);
}

}  // namespace
