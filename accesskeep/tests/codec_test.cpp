// The password code: the table of character codes, the encoding of every length and character
// class, and the decoding with its rounding, as stored databases need them.
#include <gtest/gtest.h>

#include <set>

#include "codec.h"
#include "fault.h"

using namespace accesskeep;

namespace {

TEST(CodeTable, CodesSkipEveryNumberWithAZero) {
  ASSERT_EQ(CodeTable.size(), 93u);
  struct {
    wchar_t c;
    short code;
  } const cases[] = {
      {L'A', 1},  {L'a', 2},  {L'E', 9},   {L'e', 11},  {L'z', 57},  {L' ', 58},  {L'1', 59},
      {L'2', 61}, {L'0', 69}, {L'!', 71},  {L'(', 79},  {L')', 81},  {L'{', 89},  {L']', 91},
      {L'"', 93}, {L'.', 99}, {L',', 111}, {L'>', 112}, {L'<', 113},
      // No code: these are illegal in a password.
      {L'`', 0}, {L'~', 0}, {L'\t', 0}, {L'\xE9', 0}, {L'\0', 0}, {L'\xB6', 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(CharToCode(cases[i].c), cases[i].code) << "case " << i;

  std::set<int> seen;
  int previous = 0;
  for (size_t k = 0; k < CodeTable.size(); ++k) {
    int code = CharToCode(CodeTable[k]);
    EXPECT_GT(code, previous) << "table position " << k;
    EXPECT_EQ(std::to_string(code).find('0'), std::string::npos) << "table position " << k;
    EXPECT_EQ(CodeToChar(code), std::wstring(1, CodeTable[k])) << "table position " << k;
    seen.insert(code);
    previous = code;
  }
  EXPECT_EQ(seen.size(), 93u);
  for (int notACode : {0, 10, 20, 90, 100, 110, 114, -1, 32767})
    EXPECT_EQ(CodeToChar(notACode), L"") << "code " << notACode;
}

TEST(EncodePassword, LengthFirstThenCharacters) {
  struct {
    std::wstring password;
    std::wstring stored;
  } const cases[] = {
      {L"", L"1"},
      {L"abcde", L"1"},
      {L"abcdef", L"42V54V66V78V96V108"},  // L = 6: (c + 6) * 6 - 6
      {L"abcdefghijklmnopqrst", L""},      // 20: accepted (checked below)
      {L"abcdefghijklmnopqrstu", L"1"},
      {L"ab`", L"1"},  // wrong length wins over the illegal character
      {L"abc`ef", L"2"},
      {L"abc\tef", L"2"},
      {L"abc\xE9" L"ef", L"2"},
      {L"abc~ef", L"2"},
      {L"Pa ss1", L"234V42V378V282V282V384"},  // the space is a character like any other
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::wstring got = EncodePassword(cases[i].password);
    if (cases[i].stored.empty()) {
      EXPECT_NE(got, L"1") << "case " << i;
      EXPECT_NE(got, L"2") << "case " << i;
    } else {
      EXPECT_EQ(got, cases[i].stored) << "case " << i;
    }
  }
}

TEST(EncodePassword, TwentyCharactersRoundTrip) {
  const std::wstring passwords[] = {
      L",,,,,,,,,,,,,,,,,,,,",  // the longest stored form: 20 four-digit numbers
      L"Zz9 0!@#$%^&*()_-+=|",
      L"\\}{][\"':;?/.,><AaEe",
      L"aaaaaa",
  };
  for (size_t i = 0; i < std::size(passwords); ++i) {
    std::wstring stored = EncodePassword(passwords[i]);
    EXPECT_LE(stored.size(), 99u) << "case " << i;
    EXPECT_TRUE(iswdigit(stored[0])) << "case " << i;
    EXPECT_EQ(DecodePassword(stored), passwords[i]) << "case " << i;
  }
  EXPECT_EQ(EncodePassword(passwords[0]).size(), 99u);
}

TEST(DecodePassword, PiecesRoundHalvesToEven) {
  struct {
    std::wstring stored;
    std::wstring password;
  } const cases[] = {
      {L"", L""},
      {L"42V54V66V78V96V108", L"abcdef"},
      // n = 2: 3 gives 2.5, rounded to 2, code 0 (nothing); 5 gives 3.5, rounded to 4, code 2 "a".
      {L"3V5", L"a"},
      // 19 gives 10.5 -> 10 -> 8 "d"; 21 gives 11.5 -> 12 -> 10, no such code.
      {L"19V21", L"d"},
      {L"9.9", L"E"},      // the whole-number part of the piece
      {L"1e1", L""},       // 10 -> (10 + 1) / 1 - 1 = 10: no such code
      {L"-1.5", L""},      // -2 -> -1 - 1: no code
      {L"+9", L"E"},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(DecodePassword(cases[i].stored), cases[i].password) << "case " << i;
}

TEST(DecodePassword, DamagedFormsFailTheCall) {
  struct {
    std::wstring stored;
    HRESULT error;
  } const cases[] = {
      {L"42V54Vx", DISP_E_TYPEMISMATCH},
      {L"42VV54", DISP_E_TYPEMISMATCH},  // an empty piece
      {L"V", DISP_E_TYPEMISMATCH},
      {L"C:\\data\\panel.dll", DISP_E_TYPEMISMATCH},  // a missing key reads as the path
      {L" 42", DISP_E_TYPEMISMATCH},
      {L"0x2A", DISP_E_TYPEMISMATCH},
      {L"32768", DISP_E_OVERFLOW},
      {L"42V-32769", DISP_E_OVERFLOW},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    HRESULT got = S_OK;
    try {
      DecodePassword(cases[i].stored);
    } catch (const Fault& f) {
      got = f.code;
    }
    EXPECT_EQ(got, cases[i].error) << "case " << i;
  }
  EXPECT_NO_THROW(DecodePassword(L"32767"));
}

}  // namespace
