// Files written by earlier versions, whose programs ran in the system's ANSI code page (1252 in
// the test prefix), met by the programs' code as it runs now, in the UTF-8 code page: the settings,
// the exclusion list and the user database hold text a user typed in the old code page, and read
// the same (flags, entries, users and password checks); what is written back keeps the old code
// page byte for byte.
#include <gtest/gtest.h>

#include "client.h"
#include "raii.h"
#include "settings.h"
#include "test_util.h"
#include "text.h"

namespace {

// "José", "Café crème", "Müller" as the earlier versions wrote them, and as the programs now
// hold them.
constexpr const char* Jose1252 = "Jos\xE9";
constexpr const char* JoseUtf8 = "Jos\xC3\xA9";

TEST(StoredText, TheProgramsRunInUtf8AndTheFilesStayInTheSystemsCodePage) {
  EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
  EXPECT_EQ(winapp::StoredCodePage(), 1252u);
  EXPECT_FALSE(winapp::AnsiIsStored());
  // Every byte of the old code page comes back as it was, the five it leaves undefined too.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(winapp::ToStored(winapp::FromStored(all)), all);
  EXPECT_EQ(winapp::FromStored(Jose1252), JoseUtf8);
}

TEST(StoredText, SettingsReadTheSameAndASaveKeepsWhatTheUserTyped) {
  testutil::TempFolder dir;
  const std::string file = dir / "quietrail.ini";
  const std::string typed = "; R\xE9glages de Jos\xE9 \xE0 la caf\xE9t\xE9ria\r\n";
  ASSERT_TRUE(testutil::WriteWholeFile(file, typed +
                                                 "[Settings]\r\nHistory=1\r\nTmpInt=0\r\nCookies=1\r\nRecent=0\r\n"
                                                 "URL=1\r\nStartup=0\r\nClearDialog=1\r\nOwner=Jos\xE9\r\n"
                                                 "[Launch]\r\nSplash=0\r\nTray=1\r\n"));
  EXPECT_EQ(winapp::ReadIniValue(file, "Settings", "History"), "1");
  EXPECT_EQ(winapp::ReadIniValue(file, "Settings", "ClearDialog"), "1");
  EXPECT_EQ(winapp::ReadIniValue(file, "Launch", "Tray"), "1");
  const winapp::IniFlag flags[] = {{"Settings", "TmpInt", 1}, {"Launch", "Splash", 1}};
  ASSERT_TRUE(winapp::WriteIniFlags(file, flags, 2));
  std::string after = testutil::ReadWholeFile(file);
  EXPECT_NE(after.find(typed), std::string::npos) << after;
  EXPECT_NE(after.find("Owner=Jos\xE9\r\n"), std::string::npos) << after;
  EXPECT_EQ(after.find('\xC3'), std::string::npos) << "written in UTF-8: " << after;
  EXPECT_EQ(winapp::ReadIniValue(file, "Settings", "TmpInt"), "1");
  EXPECT_EQ(winapp::ReadIniValue(file, "Launch", "Splash"), "1");
}

TEST(StoredText, TheExclusionListGivesTheSameEntriesAndIsWrittenBackAsItWas) {
  testutil::TempFolder dir;
  const std::string file = dir / "exclude.ini";
  const std::string stored = "caf\xE9.example\r\nm\xFCller.de\r\nbank\r\n";
  ASSERT_TRUE(testutil::WriteWholeFile(file, stored));
  auto text = winapp::ReadExclusionText(file);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "caf\xC3\xA9.example,m\xC3\xBCller.de,bank");
  ASSERT_TRUE(winapp::WriteExclusionText(file, *text));
  EXPECT_EQ(testutil::ReadWholeFile(file), stored);
}

// The user database of an earlier version: a user whose name has a letter of the old code page,
// with a setting typed in it.
class StoredDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testutil::ProgramFolder().empty()) << "QR_PROGRAM_DIR is not set";
    db = dir / "panel.dll";
    // The stored form of "Secret1", as ChangePassword writes it.
    ASSERT_EQ(control.Create(testutil::ProgramFolder() + "\\accesskeep.ocx"), S_OK);
    std::string seed = dir / "seed.dll";
    long status = -1;
    ASSERT_EQ(control.CreateUser("x", "Secret1", seed, false, &status), S_OK);
    ASSERT_EQ(status, 0);
    char stored[256] = {};
    GetPrivateProfileStringA("x", "Pswd", "", stored, sizeof stored, seed.c_str());
    ASSERT_STRNE(stored, "");
    bytes = std::string("[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=2\r\n1=default\r\n2=") + Jose1252 +
            "\r\n\r\n[default]\r\nlogin=1\r\nPswd=" + stored + "\r\n\r\n[" + Jose1252 + "]\r\nPswd=" + stored +
            "\r\nColour=Caf\xE9 cr\xE8me\r\n";
    ASSERT_TRUE(testutil::WriteWholeFile(db, bytes));
  }

  testutil::TempFolder dir;
  winapp::ComApartment com;
  accesskeep::AccessKeepClient control;
  std::string db, bytes;
};

TEST_F(StoredDatabase, UsersPasswordsAndSettingsReadTheSame) {
  struct Row {
    const char* user;
    const char* password;
    long status;
  };
  const Row rows[] = {
      {JoseUtf8, "Secret1", 0}, {JoseUtf8, "Secret2", 2}, {"default", "Secret1", 0}, {"Jose", "Secret1", 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.user) + " / " + r.password);
    long status = -1;
    ASSERT_EQ(control.ValidateUser(r.user, r.password, db, false, &status), S_OK);
    EXPECT_EQ(status, r.status);
  }
  std::vector<std::string> users;
  ASSERT_EQ(control.UserArray(db, &users), S_OK);
  EXPECT_EQ(users, (std::vector<std::string>{"default", JoseUtf8}));
  std::string value;
  ASSERT_EQ(control.RetrieveSetting(JoseUtf8, "Colour", db, &value), S_OK);
  EXPECT_EQ(value, "Caf\xC3\xA9 cr\xC3\xA8me");
  EXPECT_EQ(testutil::ReadWholeFile(db), bytes) << "a read changed the file";
}

TEST_F(StoredDatabase, WritesKeepTheOldCodePage) {
  long status = -1;
  ASSERT_EQ(control.StoreSetting(JoseUtf8, "Town", "K\xC3\xB6ln", db, &status), S_OK);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(control.CreateUser("Ren\xC3\xA9", "Secret3", db, false, &status), S_OK);
  ASSERT_EQ(status, 0);
  std::string after = testutil::ReadWholeFile(db);
  for (const char* kept : {"2=Jos\xE9\r\n", "3=Ren\xE9\r\n", "[Jos\xE9]\r\n", "Colour=Caf\xE9 cr\xE8me\r\n", "Town=K\xF6ln\r\n"})
    EXPECT_NE(after.find(kept), std::string::npos) << kept << " missing from " << after;
  EXPECT_EQ(after.find('\xC3'), std::string::npos) << "written in UTF-8: " << after;
  ASSERT_EQ(control.ValidateUser("Ren\xC3\xA9", "Secret3", db, false, &status), S_OK);
  EXPECT_EQ(status, 0);
}

}  // namespace
