#include <gtest/gtest.h>

#include <aclapi.h>

#include <thread>

#include "raii.h"
#include "settings.h"
#include "system.h"
#include "test_util.h"

using namespace winapp;

namespace {

TEST(Flags, ValuesReadTheWayEveryProgramReadsThem) {
  testutil::TempFolder dir;
  std::string ini = dir / "quietrail.ini";
  ASSERT_TRUE(testutil::WriteWholeFile(
      ini, "[Settings]\r\nA= 1 \r\nB=2\r\nC=text\r\nD=1.9\r\nE=-0.5\r\nF=99999\r\nG=1e0\r\nH=\r\n"
           "I=0\r\nJ=" + std::string(5000, '1') + "\r\nK=+1\r\nL=1x\r\nM=.5e1\r\n"));
  struct Case {
    const char* key;
    short value;
  } cases[] = {{"A", 1},  {"B", 2}, {"C", 0}, {"D", 1}, {"E", -1}, {"F", 0},   {"G", 1},
               {"H", 0},  {"I", 0}, {"J", 0}, {"K", 1}, {"L", 0},  {"M", 5},   {"Missing", 0}};
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(FlagValue(ReadIniValue(ini, "Settings", cases[i].key)), cases[i].value) << "case " << i;
  // The 50-character buffer cuts long values; a missing key reads as the file's own path.
  EXPECT_EQ(ReadIniValue(ini, "Settings", "J"), std::string(49, '1'));
  EXPECT_EQ(ReadIniValue(ini, "Settings", "Missing"), ini.substr(0, 49));
}

TEST(Flags, DamagedFilesReadAsOff) {
  testutil::TempFolder dir;
  std::string ini = dir / "quietrail.ini";
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
  const std::string files[] = {
      binary,
      std::string("\xFF\xFE[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\r\0\n\0H\0=\0x\0", 30),
      "[Settings]\r\nHistory=" + std::string(100000, 'x'),
  };
  for (size_t i = 0; i < std::size(files); ++i) {
    ASSERT_TRUE(testutil::WriteWholeFile(ini, files[i]));
    EXPECT_EQ(FlagValue(ReadIniValue(ini, "Settings", "History")), 0) << "file " << i;
  }
}

TEST(Flags, WrittenOneKeyAtATime) {
  testutil::TempFolder dir;
  WriteFirstRunFiles(dir.path());
  std::string ini = dir / "quietrail.ini";
  EXPECT_TRUE(WriteIniFlag(ini, "Settings", "Cookies", 1));
  EXPECT_TRUE(WriteIniFlag(ini, "Launch", "Tray", 0));
  std::string expected = FirstRunSettingsText();
  expected.replace(expected.find("Cookies=0"), 9, "Cookies=1");
  expected.replace(expected.find("Tray=1"), 6, "Tray=0");
  // Wine's profile writer drops the empty lines when it rewrites the file; Windows keeps them.
  auto withoutEmptyLines = [](std::string s) {
    for (size_t at; (at = s.find("\r\n\r\n")) != std::string::npos;) s.erase(at, 2);
    return s;
  };
  EXPECT_EQ(withoutEmptyLines(testutil::ReadWholeFile(ini)), withoutEmptyLines(expected));
}

// A save of several flags at once leaves the very bytes that writing them one key at a time
// leaves, whatever the file looked like, and takes nothing else along.
TEST(Flags, WrittenAsOneChangeGiveTheSameBytesAsOneKeyAtATime) {
  const IniFlag flags[] = {{"Settings", "History", 1}, {"Settings", "Cookies", 0}, {"Settings", "ClearDialog", 2},
                           {"Launch", "Splash", 1}, {"Launch", "Tray", 0}};
  const std::string before[] = {
      "",  // no file yet
      FirstRunSettingsText(),
      "[Settings]\nHistory = 0\nCookies=1\n; a note\n\n[Other]\nKeep=me\n",
      "; only a comment\r\n",
      "[Launch]\r\nTray=1\r\n[Settings]\r\nURL=1\r\n",
  };
  for (size_t i = 0; i < std::size(before); ++i) {
    testutil::TempFolder dir;
    std::string oneByOne = dir / "one.ini", whole = dir / "quietrail.ini";
    if (i != 0) {
      ASSERT_TRUE(testutil::WriteWholeFile(oneByOne, before[i]));
      ASSERT_TRUE(testutil::WriteWholeFile(whole, before[i]));
    }
    for (const IniFlag& f : flags) WriteIniFlag(oneByOne, f.section, f.key, f.value);
    EXPECT_TRUE(WriteIniFlags(whole, flags, std::size(flags))) << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(whole), testutil::ReadWholeFile(oneByOne)) << "case " << i;
    EXPECT_FALSE(testutil::Exists(whole + ".new")) << "case " << i;
    EXPECT_FALSE(testutil::Exists(whole + ".room")) << "case " << i;
  }
}

// A file the writer cannot replace keeps its bytes and the save says so.
TEST(Flags, ASaveThatCannotBeMadeLeavesTheOldFile) {
  testutil::TempFolder dir;
  const IniFlag flags[] = {{"Settings", "History", 1}};
  std::string folderInTheWay = dir / "quietrail.ini.new";  // the copy cannot be made
  ASSERT_TRUE(CreateDirectoryA(folderInTheWay.c_str(), nullptr));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", FirstRunSettingsText()));
  EXPECT_FALSE(WriteIniFlags(dir / "quietrail.ini", flags, 1));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "quietrail.ini"), FirstRunSettingsText());
  EXPECT_FALSE(WriteIniFlags(dir / "missing\\quietrail.ini", flags, 1));
}

TEST(FirstRun, WritesTheFourteenLinesOverAnyOldFile) {
  testutil::TempFolder dir;
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", "[Settings]\r\nHistory=1\r\nCookies=1\r\n" + std::string(4000, 'z')));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", "yahoo\r\ngoogle\r\n"));
  WriteFirstRunFiles(dir.path());
  EXPECT_EQ(testutil::ReadWholeFile(dir / "quietrail.ini"),
            "; Quietrail INI File\r\n\r\n[Settings]\r\nHistory=0\r\nTmpInt=0\r\nCookies=0\r\n"
            "Recent=0\r\nURL=0\r\nStartup=1\r\nClearDialog=1\r\n\r\n[Launch]\r\nSplash=1\r\nTray=1\r\n");
  bool ok = false;
  EXPECT_EQ(testutil::ReadWholeFile(dir / "exclude.ini", &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_FALSE(testutil::Exists(dir / "quietrail.ini.new"));
}

// The build lays down a fresh installation's files; its settings file is the first-run file itself,
// byte for byte, and the other files are the ones a fresh installation starts from.
TEST(FirstRun, TheBuildLaysDownTheFreshFiles) {
  const std::string fresh = testutil::FreshFolder();
  ASSERT_FALSE(fresh.empty()) << "QR_FRESH_DIR is not set";
  bool ok = false;
  EXPECT_EQ(testutil::ReadWholeFile(fresh + "\\quietrail.ini", &ok), FirstRunSettingsText());
  EXPECT_TRUE(ok);
  EXPECT_EQ(testutil::ReadWholeFile(fresh + "\\exclude.ini", &ok), "");
  EXPECT_TRUE(ok);
  EXPECT_EQ(testutil::ReadWholeFile(fresh + "\\panel.dll"),
            "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n"
            "[default]\r\nlogin=0\r\nShowWelcome=0\r\n");
  EXPECT_EQ(testutil::ReadWholeFile(fresh + "\\library.ini"),
            "[WIN]\r\nQuietVer=1.14\r\nPanelVer=1.14\r\nLaunchVer=1.14\r\nClearVer=1.14\r\nBrowsersVer=1.14\r\n");
}

TEST(FirstRun, FailuresAreSkipped) {
  testutil::TempFolder dir;
  std::string missing = dir / "no such folder";
  WriteFirstRunFiles(missing);  // nothing to write into: nothing happens, nothing breaks
  EXPECT_FALSE(testutil::Exists(missing));
}

TEST(Exclusions, RoundTrips) {
  struct Case {
    const char* text;
    const char* file;
    const char* readBack;
  } cases[] = {
      {"yahoo,google", "yahoo\r\ngoogle\r\n", "yahoo,google"},
      {"yahoo,", "yahoo\r\n\r\n", "yahoo,"},
      {"yahoo, google", "yahoo\r\n google\r\n", "yahoo,google"},
      {"", "", ""},
      {",yahoo", "\r\nyahoo\r\n", "yahoo"},
      {"a,,b", "a\r\n\r\nb\r\n", "a,,b"},
      {"trailing ", "trailing \r\n", "trailing "},
  };
  testutil::TempFolder dir;
  std::string path = dir / "exclude.ini";
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(WriteExclusionText(path, cases[i].text)) << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(path), cases[i].file) << "case " << i;
    auto back = ReadExclusionText(path);
    ASSERT_TRUE(back.has_value()) << "case " << i;
    EXPECT_EQ(*back, cases[i].readBack) << "case " << i;
  }
}

TEST(Exclusions, FieldRulesOfFilesWrittenByHand) {
  using namespace std::string_literals;
  struct Case {
    std::string file;
    const char* text;
  } cases[] = {
      {"\r\n\r\nyahoo\r\ngoogle\r\n", "yahoo,google"},  // leading empty lines vanish
      {"yahoo\r\n\r\ngoogle", "yahoo,,google"},          // an empty line after an entry stays
      {"a,b\r\nc", "a,b,c"},
      {"a,\r\nb", "a,,b"},
      {"\"quoted, with comma\",x", "quoted, with comma,x"},
      {"  \"q\"  tail,y", "q,y"},
      {"\"unbalanced\r\nnext", "unbalanced,next"},
      {"lf\nonly\ncr\ronly", "lf,only,cr,only"},
      {"a,", "a,"},
      {"   ", ""},
      // NUL bytes part entries inside a line and vanish at its ends: what follows them still counts.
      {"x\0hidden"s, "x,hidden"},
      {"bank\r\n\0\0\0shop\r\n\0"s, "bank,shop"},
      {"\0\0a\0\0\r\nb"s, "a,b"},
      // Saved as Unicode or as UTF-8 with a byte-order mark: the same entries.
      {"\xFF\xFE" "b\0a\0n\0k\0\r\0\n\0s\0h\0o\0p\0"s, "bank,shop"},
      {"\xFF\xFE" "a\0\0\0b\0"s, "a,b"},
      {"\xFF\xFE" "\xE9\0t\0\xE9\0"s, "\xE9t\xE9"},
      {"\xEF\xBB\xBF" "caf\xC3\xA9,tea"s, "caf\xE9,tea"},
      {"\xFF\xFE"s, ""},
  };
  testutil::TempFolder dir;
  std::string path = dir / "exclude.ini";
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::string& content = cases[i].file;
    ASSERT_TRUE(testutil::WriteWholeFile(path, content));
    auto text = ReadExclusionText(path);
    ASSERT_TRUE(text.has_value()) << "case " << i;
    EXPECT_EQ(*text, cases[i].text) << "case " << i;
  }
}

TEST(Exclusions, MissingOrHugeFilesCannotBeRead) {
  testutil::TempFolder dir;
  EXPECT_FALSE(ReadExclusionText(dir / "exclude.ini").has_value());
  // Large but sane lists read whole: 100,000 entries, and one line of a megabyte.
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "site" + std::to_string(i) + "\r\n";
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", many));
  auto text = ReadExclusionText(dir / "exclude.ini");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(SplitAtCommas(*text).size(), 100000u);
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", std::string(1 << 20, 'q')));
  text = ReadExclusionText(dir / "exclude.ini");
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size(), 1u << 20);
}

TEST(Exclusions, WriteReplacesTheOldListOnlyWhenComplete) {
  testutil::TempFolder dir;
  std::string path = dir / "exclude.ini";
  ASSERT_TRUE(testutil::WriteWholeFile(path, "old\r\n"));
  // A folder where the new file would be written beside it makes the write fail: the old list
  // stays whole.
  ASSERT_TRUE(CreateDirectoryA((path + ".new").c_str(), nullptr));
  EXPECT_FALSE(WriteExclusionText(path, "new"));
  EXPECT_EQ(testutil::ReadWholeFile(path), "old\r\n");
}

TEST(Text, SplitTrimAndNumbers) {
  EXPECT_TRUE(SplitAtCommas("").empty());
  EXPECT_EQ(SplitAtCommas(","), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(SplitAtCommas("a, b"), (std::vector<std::string>{"a", " b"}));
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  double v = 0;
  const char* numbers[] = {"0", "-3", "+2.5", ".5", "5.", "1e3", "1E-2", "007"};
  for (const char* n : numbers) EXPECT_TRUE(ParseNumber(n, v)) << n;
  const char* others[] = {"", " 1", "1 ", "e3", ".", "1e", "1e+", "0x10", "&H10", "1,5", "--1", "1e999", "C:\\x"};
  for (const char* n : others) EXPECT_FALSE(ParseNumber(n, v)) << n;
}

TEST(CommandLine, TextAfterTheProgramName) {
  struct Case {
    const char* line;
    const char* text;
  } cases[] = {
      {"clear.exe K4T9B3", "K4T9B3"},
      {"\"C:\\Program Files\\Q\\clear.exe\" K4T9B3", "K4T9B3"},
      {"\"C:\\Q\\clear.exe\"K4T9B3", ""},
      {"clear.exe   K4T9B3 ", "  K4T9B3 "},  // only the one separating blank goes
      {"\"C:\\Q\\clear.exe\"  K4T9B3", " K4T9B3"},
      {"clear.exe", ""},
      {"C:\\Q\\clear.exe\tSETTINGS", "SETTINGS"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(CommandTextOf(cases[i].line), cases[i].text) << "case " << i;
}

TEST(Files, ExistenceIsADirectoryLookUp) {
  testutil::TempFolder dir;
  EXPECT_FALSE(FileExists(dir / "quietrail.ini"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", ""));
  EXPECT_TRUE(FileExists(dir / "quietrail.ini"));
  ASSERT_TRUE(CreateDirectoryA((dir / "folder.ini").c_str(), nullptr));
  EXPECT_FALSE(FileExists(dir / "folder.ini"));
  EXPECT_FALSE(FileExists(""));
}

// ---- The settings lock (L05) ----

// Whether another thread finds the user's lock free.
bool LockFreeElsewhere() {
  bool free = false;
  std::thread([&] {
    Handle mutex(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, SettingsFilesLockName().c_str()));
    // No object of that name at all: nobody holds it.
    if (!mutex) {
      free = GetLastError() == ERROR_FILE_NOT_FOUND;
      return;
    }
    DWORD got = WaitForSingleObject(mutex.get(), 0);
    free = got == WAIT_OBJECT_0 || got == WAIT_ABANDONED;
    if (free) ReleaseMutex(mutex.get());
  }).join();
  return free;
}

// Objects another program of the session could hold under the lock's old, shared name no longer
// matter; the lock is the user's alone, and one of its name that is not the user's own mutex is
// not waited for.
TEST(SettingsLock, PrivateToTheUserWhateverHoldsTheSharedName) {
  Handle event(CreateEventA(nullptr, TRUE, FALSE, "QuietrailSettingsFiles"));
  ASSERT_TRUE(event);
  const std::string name = SettingsFilesLockName();
  ASSERT_NE(name.find("-S-1-"), std::string::npos) << name;
  {
    SettingsFilesLock lock;
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(LockFreeElsewhere());

    Handle mutex(OpenMutexA(READ_CONTROL, FALSE, name.c_str()));
    ASSERT_TRUE(mutex);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_EQ(GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    LocalBlock descriptor(sd);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    Handle ownedToken(token);
    BYTE user[256];
    DWORD size = sizeof user;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
    PSID me = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    EXPECT_TRUE(owner && EqualSid(owner, me));
    ASSERT_TRUE(dacl);
    ASSERT_EQ(dacl->AceCount, 1);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, &ace));
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_TRUE(EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), me));
  }
  EXPECT_TRUE(LockFreeElsewhere());

  // Another type of object under the user's own name: gone on without, at once.
  Handle squatter(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
  ASSERT_TRUE(squatter);
  SettingsFilesLock lock;
  EXPECT_FALSE(lock.Held());
}

// A lock taken inside another on the same thread is part of the same operation: it holds what
// the outer one holds, and when the outer one gave up after its wait it does not wait again.
TEST(SettingsLock, TakenOncePerOperation) {
  {
    SettingsFilesLock outer;
    ASSERT_TRUE(outer.Held());
    { SettingsFilesLock inner; EXPECT_TRUE(inner.Held()); }
    EXPECT_FALSE(LockFreeElsewhere()) << "the inner lock let go of the outer one's";
  }
  // Held by another program that does not let go (here another thread) for the outer lock's
  // whole wait, then let go before the inner one is taken.
  Handle taken(CreateEventA(nullptr, TRUE, FALSE, nullptr)), letGo(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    SettingsFilesLock other;
    SetEvent(taken.get());
    WaitForSingleObject(letGo.get(), 60000);
  });
  WaitForSingleObject(taken.get(), 60000);
  {
    SettingsFilesLock outer;
    EXPECT_FALSE(outer.Held());
    SetEvent(letGo.get());
    holder.join();
    SettingsFilesLock inner;
    EXPECT_FALSE(inner.Held()) << "the inner lock waited again";
  }
  EXPECT_TRUE(LockFreeElsewhere());
}

// The file kit tells a missing file from one it cannot use, and an edit or replacement either
// happens whole or leaves the file and no copy behind.
TEST(Files, WholeFilesAreReadAndReplacedWhole) {
  testutil::TempFolder dir;
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "small.ini", "abc"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "big.ini", std::string(101, 'x')));
  ASSERT_TRUE(CreateDirectoryA((dir / "folder.ini").c_str(), nullptr));
  struct Case {
    const char* name;
    FileContent::State state;
    const char* bytes;
  } cases[] = {{"small.ini", FileContent::Read, "abc"},
               {"none.ini", FileContent::Missing, ""},
               {"no folder\\none.ini", FileContent::Missing, ""},
               {"big.ini", FileContent::Unreadable, ""},
               {"folder.ini", FileContent::Unreadable, ""}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    FileContent got = ReadWholeFile(dir / cases[i].name, 100);
    EXPECT_EQ(got.state, cases[i].state) << "case " << i;
    EXPECT_EQ(got.bytes, cases[i].bytes) << "case " << i;
  }

  std::string path = dir / "small.ini";
  EXPECT_FALSE(EditThroughCopy(path, [](const std::string& copy) {
    testutil::WriteWholeFile(copy, "half");
    return false;
  }));
  EXPECT_TRUE(EditThroughCopy(path, [](const std::string& copy) {
    return testutil::ReadWholeFile(copy) == "abc" && testutil::WriteWholeFile(copy, "new");
  }));
  EXPECT_EQ(testutil::ReadWholeFile(path), "new");
  EXPECT_FALSE(EditThroughCopy(dir / "folder.ini", [](const std::string&) { return true; }));
  EXPECT_FALSE(ReplaceWholeFile(dir / "no folder\\x.ini", "x"));
  EXPECT_TRUE(ReplaceWholeFile(dir / "none.ini", "whole"));
  EXPECT_EQ(testutil::ReadWholeFile(dir / "none.ini"), "whole");
  for (const char* left : {"small.ini.new", "small.ini.room", "none.ini.new", "folder.ini.new"})
    EXPECT_FALSE(testutil::Exists(dir / left)) << left;
}

}  // namespace
