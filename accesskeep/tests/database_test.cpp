// The user database routines on real files through the profile functions: the count as the
// operations prepare or merely read it, the version check, the two user searches, whole values.
#include <gtest/gtest.h>

#include "database.h"
#include "fault.h"
#include "text.h"
#include "test_util.h"

using namespace accesskeep;

namespace {

constexpr const char* FreshDatabase = "[Users]\r\ncount=0\r\n[General]\r\nVersion=2\r\n";

std::wstring W(const std::string& s) { return winapp::Wide(s); }

// Runs `f`; the fault's code, or S_OK.
template <class F>
HRESULT FaultOf(F&& f) {
  try {
    f();
  } catch (const Fault& fault) {
    return fault.code;
  }
  return S_OK;
}

struct CountCase {
  const char* file;  // null: no file at all
  short count;
  HRESULT prepared;  // PrepareUserCount's error
  HRESULT read;      // ReadUserCount's error
  bool initialised;  // PrepareUserCount wrote a fresh database
};

const CountCase CountCases[] = {
    {"[Users]\r\ncount=3\r\n", 3, S_OK, S_OK, false},
    {"[Users]\r\ncount=3.9\r\n", 3, S_OK, S_OK, false},
    {"[Users]\r\ncount=+1e2\r\n", 100, S_OK, S_OK, false},
    {"[Users]\r\ncount =  12  \r\n", 12, S_OK, S_OK, false},
    {"[users]\r\nCOUNT=7\r\n", 7, S_OK, S_OK, false},
    {"[Users]\r\ncount=32767\r\n", 32767, S_OK, S_OK, false},
    {"[Users]\r\ncount=32768\r\n", 0, DISP_E_OVERFLOW, DISP_E_OVERFLOW, false},
    {"[Users]\r\ncount=-1\r\n", 0, DISP_E_OVERFLOW, DISP_E_OVERFLOW, false},
    {"[Users]\r\ncount=three\r\n", 0, S_OK, DISP_E_TYPEMISMATCH, true},
    {"[Users]\r\ncount=\r\n", 0, S_OK, DISP_E_TYPEMISMATCH, true},
    {"[Users]\r\ncount=0x10\r\n", 0, S_OK, DISP_E_TYPEMISMATCH, true},
    {"[Users]\r\ncount=1,5\r\n", 0, S_OK, DISP_E_TYPEMISMATCH, true},
    {"[General]\r\nVersion=2\r\n", 0, S_OK, DISP_E_TYPEMISMATCH, true},
    {"", 0, S_OK, DISP_E_TYPEMISMATCH, true},
    {nullptr, 0, S_OK, DISP_E_TYPEMISMATCH, true},
};

TEST(UserCount, ReadAndPrepared) {
  for (size_t i = 0; i < std::size(CountCases); ++i) {
    const CountCase& c = CountCases[i];
    testutil::TempFolder dir;
    std::string path = dir / "panel.dll";
    if (c.file) {
      ASSERT_TRUE(testutil::WriteWholeFile(path, c.file)) << "case " << i;
    }

    short read = -1;
    EXPECT_EQ(FaultOf([&] { read = ReadUserCount(W(path)); }), c.read) << "case " << i;
    if (c.read == S_OK) {
      EXPECT_EQ(read, c.count) << "case " << i;
    }
    // Reading alone never writes.
    EXPECT_EQ(testutil::ReadWholeFile(path), c.file ? c.file : "") << "case " << i;

    short prepared = -1;
    EXPECT_EQ(FaultOf([&] { prepared = PrepareUserCount(W(path)); }), c.prepared) << "case " << i;
    if (c.prepared == S_OK) {
      EXPECT_EQ(prepared, c.count) << "case " << i;
    }
    if (c.initialised) {
      EXPECT_EQ(ReadUserCount(W(path)), 0) << "case " << i;
      EXPECT_TRUE(CheckVersion(W(path))) << "case " << i;
    } else {
      EXPECT_EQ(testutil::ReadWholeFile(path), c.file) << "case " << i;
    }
  }
}

TEST(UserCount, MissingDatabaseIsCreatedFresh) {
  testutil::TempFolder dir;
  std::string path = dir / "panel.dll";
  EXPECT_EQ(PrepareUserCount(W(path)), 0);
  EXPECT_EQ(testutil::ReadWholeFile(path), FreshDatabase);
}

TEST(UserCount, InitialisingKeepsSlotsAndSections) {
  testutil::TempFolder dir;
  std::string path = dir / "panel.dll";
  testutil::WriteWholeFile(path, "[Users]\r\ncount=lots\r\n1=ann\r\n[ann]\r\nPswd=42\r\n");
  EXPECT_EQ(PrepareUserCount(W(path)), 0);
  EXPECT_EQ(testutil::ReadWholeFile(path),
            "[Users]\r\ncount=0\r\n1=ann\r\n[ann]\r\nPswd=42\r\n[General]\r\nVersion=2\r\n");
}

TEST(Version, OnlyTwoPasses) {
  struct {
    const char* file;
    bool accepted;
  } const cases[] = {
      {"[General]\r\nVersion=2\r\n", true},
      {"[general]\r\nversion = 2 \r\n", true},
      {"[General]\r\nVersion=\"2\"\r\n", true},  // the profile functions drop the quotes
      {"[General]\r\nVersion=1\r\n", false},
      {"[General]\r\nVersion=2.0\r\n", false},
      {"[General]\r\nVersion=02\r\n", false},
      {"[Users]\r\ncount=0\r\n", false},
      {nullptr, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    testutil::TempFolder dir;
    std::string path = dir / "panel.dll";
    if (cases[i].file) testutil::WriteWholeFile(path, cases[i].file);
    EXPECT_EQ(CheckVersion(W(path)), cases[i].accepted) << "case " << i;
    EXPECT_EQ(testutil::Exists(path), cases[i].file != nullptr) << "case " << i;
  }
  EXPECT_FALSE(CheckVersion(L""));
}

TEST(Users, ExactSearchAndSectionOwners) {
  testutil::TempFolder dir;
  std::string path = dir / "panel.dll";
  testutil::WriteWholeFile(path, "[Users]\r\ncount=3\r\n1=Ann\r\n2=bob smith\r\n3=Cy\r\n4=Dee\r\n");
  struct {
    std::wstring name;
    short count;
    bool exact, owner;
  } const cases[] = {
      {L"Ann", 3, true, true},
      {L"ann", 3, false, true},
      {L"ANN", 3, false, true},
      {L" Ann ", 3, false, true},
      {L"\tAnn", 3, false, true},
      {L"bob smith", 3, true, true},
      {L"Bob Smith", 3, false, true},
      {L"bobsmith", 3, false, false},
      {L"\xFF21nn", 3, false, true},  // a full-width A is written as a plain one
      {L"Cy", 3, true, true},
      {L"Cy", 2, false, false},   // beyond the count
      {L"Dee", 3, false, false},  // a slot beyond the count is never read
      {L"Ann", 0, false, false},
      {L"An", 3, false, false},
      {L"", 3, false, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(FindUser(W(path), cases[i].name, cases[i].count), cases[i].exact) << "case " << i;
    EXPECT_EQ(FindSectionOwner(W(path), cases[i].name, cases[i].count), cases[i].owner) << "case " << i;
  }
}

TEST(Values, ComeBackWholeHoweverLong) {
  testutil::TempFolder dir;
  std::string path = dir / "panel.dll";
  for (size_t length : {1u, 510u, 511u, 512u, 2047u, 2048u, 5000u, 32766u}) {
    std::wstring value;
    for (size_t k = 0; k < length; ++k) value += static_cast<wchar_t>(L'a' + k % 26);
    WriteSectionKey(W(path), L"ann", L"long", value);
    EXPECT_EQ(ReadUserKey(W(path), L"ann", L"long"), value) << "length " << length;
  }
  // Missing section, key or file: the path itself.
  EXPECT_EQ(ReadUserKey(W(path), L"ann", L"nothing"), W(path));
  EXPECT_EQ(ReadUserKey(W(path), L"nobody", L"long"), W(path));
  EXPECT_EQ(ReadUsersKey(W(dir / "none.dll"), L"count"), W(dir / "none.dll"));
  // Blanks and one pair of quotes go, as the profile functions read them.
  WriteSectionKey(W(path), L"ann", L"quoted", L"  \"x y\"  ");
  EXPECT_EQ(ReadUserKey(W(path), L"ann", L"quoted"), L"x y");
  WriteSectionKey(W(path), L"ann", L"blank", L" ");
  EXPECT_EQ(ReadUserKey(W(path), L"ann", L"blank"), L"");
}

TEST(Values, TooLongForTheProfileFunctionsIsRefusedUnwritten) {
  testutil::TempFolder dir;
  std::string path = dir / "panel.dll";
  WriteSectionKey(W(path), L"ann", L"k", L"v");
  std::string before = testutil::ReadWholeFile(path);
  const std::wstring huge(MaxProfileText + 1, L'x');
  struct {
    std::wstring section, key, value;
  } const cases[] = {{L"ann", L"k", huge}, {L"ann", huge, L"v"}, {huge, L"k", L"v"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(FaultOf([&] { WriteSectionKey(W(path), cases[i].section, cases[i].key, cases[i].value); }),
              E_INVALIDARG)
        << "case " << i;
    EXPECT_EQ(testutil::ReadWholeFile(path), before) << "case " << i;
  }
  EXPECT_EQ(ReadUserKey(W(path), huge, L"k"), W(path));
  EXPECT_EQ(ReadUserKey(W(path), L"ann", huge), W(path));
}

TEST(Values, NoPathTouchesNoFile) {
  // With an empty path the profile functions would use a file of the Windows folder.
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string winIni = std::string(windows) + "\\win.ini";
  std::string before = testutil::ReadWholeFile(winIni);
  InitDatabase(L"");
  WriteSectionKey(L"", L"ann", L"k", L"v");
  EXPECT_EQ(ReadKey(L"", L"Users", L"count"), L"");
  EXPECT_EQ(testutil::ReadWholeFile(winIni), before);
}

}  // namespace
