// The control as a host meets it: created from its library, called through IDispatch::Invoke by
// dispatch identifier, answering with statuses, texts, arrays and automation errors, and leaving
// the user database as the layout prescribes, byte for byte. (Wine's profile functions drop the
// blank of a value written as a single space: "3=" where Windows writes "3= "; both read as empty.)
#include <gtest/gtest.h>

#include "host.h"
#include "test_util.h"

using namespace akt;

namespace {

constexpr const char* Fresh = "[Users]\r\ncount=0\r\n[General]\r\nVersion=2\r\n";
const std::wstring NotLoggedIn = L"Not Logged In";

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(winapp::HostedObject::CreateFromLibrary(ClsId, LibraryPath(), object_), S_OK);
  }
  Control control() const { return Control(object_.get()); }
  std::string File() const { return testutil::ReadWholeFile(path_); }
  void Seed(const std::string& content) const { ASSERT_TRUE(testutil::WriteWholeFile(path_, content)); }
  // A database holding users created through the control.
  void Users(std::initializer_list<std::pair<std::wstring, std::wstring>> users) const {
    for (const auto& [name, password] : users) ASSERT_EQ(control().CreateUser(name, password, db_).Status(), 0);
  }

  winapp::ComApartment com_;
  testutil::TempFolder dir_;
  std::string path_ = dir_ / "panel.dll";
  std::wstring db_ = Wide(path_);
  winapp::HostedObject object_;
};

// --- CreateUser -------------------------------------------------------------------------------

TEST_F(Host, CreateUserChecksInOrderAndStopsAtTheFirstFailure) {
  Users({{L"bob", L"Secret1"}});
  const std::string seeded = File();
  struct {
    std::wstring user, password;
    bool withPath;
    long status;
  } const cases[] = {
      {L"", L"", true, 1},
      {L"", L"Secret1", true, 1},
      {L"ann", L"", false, 2},
      {L"ann", L"Secret1", false, 3},
      {L" ", L"x", true, 4},  // the single space comes before the password checks
      // L02, after the password checks: names that would make a section header of their own, or
      // land in the database's own sections, as the file gets them (full-width signs and
      // letters become plain ones).
      {L"a]b", L"x", true, 5},
      {L"a]b", L"Secret1", true, 4},
      {L"[x", L"Secret1", true, 4},
      {L"a=b", L"Secret1", true, 4},
      {L";x", L"Secret1", true, 4},
      {L"a\xFF3D", L"Secret1", true, 4},
      {L"Users", L"Secret1", true, 4},
      {L" general ", L"Secret1", true, 4},
      {L"\xFF35SERS", L"Secret1", true, 4},
      {L"ann", L"Short", true, 5},
      {L"ann", L"abcdefghijklmnopqrstu", true, 5},
      {L"ann", L"ab`", true, 5},
      {L"ann", L"Secr`t1", true, 7},
      {L"ann", L"Secr\tt1", true, 7},
      {L"bob", L"Another1", true, 6},
      {L"BOB", L"Another1", true, 6},   // would share bob's section
      {L" bob", L"Another1", true, 6},  // so would this
      {L"\xFF42ob", L"Another1", true, 6},  // a full-width b is written as a plain one
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Outcome o = control().CreateUser(cases[i].user, cases[i].password, cases[i].withPath ? db_ : L"");
    ASSERT_EQ(o.hr, S_OK) << "case " << i;
    EXPECT_EQ(o.Status(), cases[i].status) << "case " << i;
    EXPECT_EQ(File(), seeded) << "case " << i;
  }
  EXPECT_EQ(control().ValidateUser(L"bob", L"Secret1", db_).Status(), 0);
}

TEST_F(Host, CreateUserInitialisesThenWritesCountSlotAndPassword) {
  Users({{L"Ann", L"abcdef"}});
  EXPECT_EQ(File(),
            "[Users]\r\ncount=1\r\n1=Ann\r\n[General]\r\nVersion=2\r\n[Ann]\r\nPswd=42V54V66V78V96V108\r\n");
  Users({{L"  ", L"abcdef"}, {L"cy", L"abcdefghijklmnopqrst"}});  // two spaces are a name
  EXPECT_EQ(control().RetrieveSetting(L"cy", L"Pswd", db_).Text(),
            L"420V460V500V540V600V640V680V720V760V820V860V900V940V1000V1040V1080V1120V1160V1220V1260");
  EXPECT_EQ(control().UserArray(db_).Names(), (std::vector<std::wstring>{L"Ann", L"", L"cy"}));
  // Creating logs nobody in.
  EXPECT_EQ(control().CurrentUserName(), NotLoggedIn);
}

TEST_F(Host, CreateUserIgnoresTheVersionAndRepairsADamagedCount) {
  Seed("[General]\r\nVersion=1\r\n[Users]\r\ncount=many\r\n");
  Users({{L"ann", L"Secret1"}});
  EXPECT_EQ(File(), "[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=ann\r\n[ann]\r\nPswd=329V119V84V315V119V350V455\r\n");
  Seed("[General]\r\nVersion=1\r\n[Users]\r\ncount=0\r\n");
  Users({{L"ann", L"Secret1"}});
  EXPECT_EQ(control().ValidateUser(L"ann", L"Secret1", db_).Status(), 3);
}

TEST_F(Host, AFullDatabaseOverflowsAndStaysAsItWas) {
  Seed("[Users]\r\ncount=32767\r\n[General]\r\nVersion=2\r\n");
  Outcome o = control().CreateUser(L"one more", L"Secret1", db_);
  EXPECT_EQ(o.hr, DISP_E_EXCEPTION);
  EXPECT_EQ(o.scode, DISP_E_OVERFLOW);
  EXPECT_EQ(File(), "[Users]\r\ncount=32767\r\n[General]\r\nVersion=2\r\n");
}

// --- Errors that are not statuses ------------------------------------------------------------

TEST_F(Host, ErrorsComeBackAsAutomationExceptionsAndWriteNothing) {
  struct {
    const char* file;  // null: no database
    std::function<Outcome(const Control&, const std::wstring&)> call;
    SCODE error;
  } const cases[] = {
      {nullptr, [](auto& c, auto& db) { return c.KillUser(L"ann", db); }, DISP_E_TYPEMISMATCH},
      {nullptr, [](auto& c, auto& db) { return c.UserArray(db); }, DISP_E_TYPEMISMATCH},
      {"[Users]\r\ncount=x\r\n", [](auto& c, auto& db) { return c.UserArray(db); }, DISP_E_TYPEMISMATCH},
      {"[Users]\r\ncount=40000\r\n", [](auto& c, auto& db) { return c.KillUser(L"ann", db); }, DISP_E_OVERFLOW},
      {"[Users]\r\ncount=40000\r\n", [](auto& c, auto& db) { return c.UserArray(db); }, DISP_E_OVERFLOW},
      {"[Users]\r\ncount=40000\r\n", [](auto& c, auto& db) { return c.CreateUser(L"ann", L"Secret1", db); },
       DISP_E_OVERFLOW},
      {"[Users]\r\ncount=40000\r\n", [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"k", L"v", db); },
       DISP_E_OVERFLOW},
      {"[General]\r\nVersion=2\r\n[Users]\r\ncount=40000\r\n",
       [](auto& c, auto& db) { return c.ValidateUser(L"ann", L"Secret1", db); }, DISP_E_OVERFLOW},
      {"[General]\r\nVersion=2\r\n[Users]\r\ncount=40000\r\n",
       [](auto& c, auto& db) { return c.ChangePassword(L"ann", L"Secret1", db); }, DISP_E_OVERFLOW},
      {"[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=ann\r\n[ann]\r\nPswd=12Vx\r\n",
       [](auto& c, auto& db) { return c.ValidateUser(L"ann", L"Secret1", db); }, DISP_E_TYPEMISMATCH},
      {"[General]\r\nVersion=2\r\n[Users]\r\ncount=1\r\n1=ann\r\n",  // no Pswd: reads as the path
       [](auto& c, auto& db) { return c.ValidateUser(L"ann", L"Secret1", db); }, DISP_E_TYPEMISMATCH},
      // Texts that cannot stand on one line of the file, or not as a key.
      {Fresh, [](auto& c, auto& db) { return c.CreateUser(L"eve\r\n[ann]", L"Secret1", db); }, E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.CreateUser(std::wstring(L"ann\0x", 5), L"Secret1", db); },
       E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.CreateUser(std::wstring(40000, L'n'), L"Secret1", db); },
       E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"k", L"v\r\nPswd=42", db); }, E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"k", std::wstring(40000, L'v'), db); },
       E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"a=b", L"v", db); }, E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"[Users]", L"v", db); }, E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L" ;note", L"v", db); }, E_INVALIDARG},
      // L02: the full-width signs reach the file as the plain ones.
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"a\xFF1D" L"b", L"v", db); }, E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"\xFF3BUsers]", L"v", db); }, E_INVALIDARG},
      {Fresh, [](auto& c, auto& db) { return c.StoreSetting(L"ann", L"\xFF1Bnote", L"v", db); }, E_INVALIDARG},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    testutil::TempFolder dir;
    std::string path = dir / "panel.dll";
    if (cases[i].file) testutil::WriteWholeFile(path, cases[i].file);
    Control c = control();
    ASSERT_EQ(c.ValidateUser(L"nobody", L"", db_).hr, S_OK);
    Outcome o = cases[i].call(c, Wide(path));
    EXPECT_EQ(o.hr, DISP_E_EXCEPTION) << "case " << i;
    EXPECT_EQ(o.scode, cases[i].error) << "case " << i;
    EXPECT_FALSE(o.description.empty()) << "case " << i;
    bool exists = false;
    std::string after = testutil::ReadWholeFile(path, &exists);
    EXPECT_EQ(exists, cases[i].file != nullptr) << "case " << i;
    if (cases[i].file) {
      EXPECT_EQ(after, cases[i].file) << "case " << i;
    }
    EXPECT_EQ(c.CurrentUserName(), NotLoggedIn) << "case " << i;
  }
}

// --- ValidateUser and the logged-in state -----------------------------------------------------

TEST_F(Host, LoginStateFollowsEveryValidation) {
  Users({{L"bob", L"Secret1"}, {L"ann", L"Pa ss,word"}, {L"eve", L"Secret1"}});
  // The blank password KillUser leaves, on a user still listed.
  ASSERT_TRUE(WritePrivateProfileStringA("eve", "Pswd", " ", path_.c_str()));
  Control c = control();
  EXPECT_EQ(c.CurrentUserName(), NotLoggedIn);
  EXPECT_EQ(c.CurrentPassword(), NotLoggedIn);
  EXPECT_EQ(c.GetStatus(), NotLoggedIn);

  const std::wstring missing = Wide(dir_ / "missing.dll");
  struct {
    std::wstring user, password, ini;
    long status;
    std::wstring name;  // CurrentUserName afterwards
  } const steps[] = {
      {L"bob", L"Secret1", db_, 0, L"bob"},
      {L"bob", L"secret1", db_, 2, NotLoggedIn},  // letter case counts in passwords
      {L"bob", L"Secret1", db_, 0, L"bob"},
      {L"Bob", L"Secret1", db_, 1, NotLoggedIn},  // and in names
      {L"bob", L"Secret1", db_, 0, L"bob"},
      {L"bob", L"Secret1", missing, 3, NotLoggedIn},
      {L"bob", L"Secret1", db_, 0, L"bob"},
      {L"ann", L"Pa ss,word", db_, 0, L"ann"},  // the new user replaces the old
      {L"nobody", L"Secret1", db_, 1, NotLoggedIn},
      {L"ann", L"Pa ss,word", db_, 0, L"ann"},
      {L"", L"", db_, 1, NotLoggedIn},
      {L"bob", L"Secret1", db_, 0, L"bob"},
      {L"eve", L"", db_, 2, NotLoggedIn},  // a blank password lets no one in
      {L"eve", L"Secret1", db_, 2, NotLoggedIn},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    Outcome o = c.ValidateUser(steps[i].user, steps[i].password, steps[i].ini);
    ASSERT_EQ(o.hr, S_OK) << "step " << i;
    EXPECT_EQ(o.Status(), steps[i].status) << "step " << i;
    EXPECT_EQ(c.CurrentUserName(), steps[i].name) << "step " << i;
    EXPECT_EQ(c.CurrentPassword(), steps[i].status == 0 ? steps[i].password : NotLoggedIn) << "step " << i;
  }
  EXPECT_FALSE(testutil::Exists(Narrow(missing)));  // validating never creates a database

  ASSERT_EQ(c.ValidateUser(L"ann", L"Pa ss,word", db_).Status(), 0);
  EXPECT_EQ(c.GetStatus(), L"\"ann\" is logged in with \"Pa ss,word\" as password.");
  Outcome out = c.Logout();
  EXPECT_EQ(out.hr, S_OK);
  EXPECT_EQ(V_VT(&*out.result), VT_EMPTY);
  EXPECT_EQ(c.CurrentUserName(), NotLoggedIn);
  EXPECT_EQ(c.CurrentPassword(), NotLoggedIn);
  EXPECT_EQ(c.GetStatus(), NotLoggedIn);
  EXPECT_EQ(c.Logout().hr, S_OK);  // logging out twice is fine

  // Each instance keeps its own login.
  winapp::HostedObject other;
  ASSERT_EQ(winapp::HostedObject::CreateFromLibrary(ClsId, LibraryPath(), other), S_OK);
  ASSERT_EQ(c.ValidateUser(L"bob", L"Secret1", db_).Status(), 0);
  EXPECT_EQ(Control(other.get()).CurrentUserName(), NotLoggedIn);
}

// --- ChangePassword -----------------------------------------------------------------------------

TEST_F(Host, ChangePasswordChecksTheDatabaseFirst) {
  Users({{L"bob", L"Secret1"}});
  const std::string seeded = File();
  const std::wstring versionOne = Wide(dir_ / "v1.dll");
  testutil::WriteWholeFile(Narrow(versionOne), "[General]\r\nVersion=1\r\n[Users]\r\ncount=1\r\n1=bob\r\n");
  struct {
    std::wstring user, password, ini;
    long status;
  } const cases[] = {
      {L"bob", L"Secret2", L"", 6},  // the version check comes before "no INI file"
      {L"bob", L"Secret2", Wide(dir_ / "missing.dll"), 6},
      {L"bob", L"Secret2", versionOne, 6},
      {L"", L"", db_, 1},
      {L"bob", L"", db_, 2},
      {L"bob", L"Short", db_, 4},
      {L"bob", L"Secret~2", db_, 7},
      {L"Bob", L"Secret2", db_, 5},
      {L"ann", L"Secret2", db_, 5},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Outcome o = control().ChangePassword(cases[i].user, cases[i].password, cases[i].ini);
    ASSERT_EQ(o.hr, S_OK) << "case " << i;
    EXPECT_EQ(o.Status(), cases[i].status) << "case " << i;
    EXPECT_EQ(File(), seeded) << "case " << i;
  }
  EXPECT_FALSE(testutil::Exists(dir_ / "missing.dll"));
}

TEST_F(Host, ChangePasswordWritesTheNewFormAndLeavesItsArgumentsAlone) {
  Users({{L"bob", L"Secret1"}});
  Variant password = Str(L"abcdef"), ini = Str(db_), notify = Bool(VARIANT_FALSE);
  Outcome o = control().Invoke(DISPID_ChangePassword, {Str(L"bob"), Ref(password), Ref(ini), Ref(notify)});
  ASSERT_EQ(o.hr, S_OK);
  EXPECT_EQ(o.Status(), 0);
  EXPECT_EQ(std::wstring(V_BSTR(password.get())), L"abcdef");
  EXPECT_EQ(std::wstring(V_BSTR(ini.get())), db_);
  EXPECT_EQ(V_BOOL(notify.get()), VARIANT_FALSE);
  EXPECT_EQ(File(), "[Users]\r\ncount=1\r\n1=bob\r\n[General]\r\nVersion=2\r\n[bob]\r\nPswd=42V54V66V78V96V108\r\n");
  EXPECT_EQ(control().ValidateUser(L"bob", L"Secret1", db_).Status(), 2);
  EXPECT_EQ(control().ValidateUser(L"bob", L"abcdef", db_).Status(), 0);
  // By value works too: automation hands the method a reference to its own copy.
  o = control().Invoke(DISPID_ChangePassword, {Str(L"bob"), Str(L"Secret3"), Str(db_), Bool(VARIANT_FALSE)});
  EXPECT_EQ(o.Status(), 0);
  EXPECT_EQ(control().ValidateUser(L"bob", L"Secret3", db_).Status(), 0);
}

TEST_F(Host, ChangePasswordReplacesOnlyTheLoggedInUsersOwnPassword) {
  Users({{L"bob", L"Secret1"}, {L"ann", L"Secret1"}});
  Control c = control();
  // Nobody logged in: nobody is afterwards.
  ASSERT_EQ(c.ChangePassword(L"bob", L"Secret2", db_).Status(), 0);
  EXPECT_EQ(c.CurrentPassword(), NotLoggedIn);
  EXPECT_EQ(c.CurrentUserName(), NotLoggedIn);
  // bob logged in, ann's password changes: bob's stays.
  ASSERT_EQ(c.ValidateUser(L"bob", L"Secret2", db_).Status(), 0);
  ASSERT_EQ(c.ChangePassword(L"ann", L"Another1", db_).Status(), 0);
  EXPECT_EQ(c.CurrentUserName(), L"bob");
  EXPECT_EQ(c.CurrentPassword(), L"Secret2");
  // bob's own: the new one.
  ASSERT_EQ(c.ChangePassword(L"bob", L"Secret3", db_).Status(), 0);
  EXPECT_EQ(c.CurrentPassword(), L"Secret3");
  EXPECT_EQ(c.GetStatus(), L"\"bob\" is logged in with \"Secret3\" as password.");
  // A failing change leaves the login alone.
  EXPECT_EQ(c.ChangePassword(L"bob", L"x", db_).Status(), 4);
  EXPECT_EQ(c.CurrentPassword(), L"Secret3");
}

// --- KillUser and UserArray ---------------------------------------------------------------------

TEST_F(Host, KillUserShiftsTheSlotsDown) {
  Users({{L"A", L"Secret1"}, {L"B", L"Secret1"}, {L"C", L"Secret1"}});
  ASSERT_EQ(control().StoreSetting(L"B", L"login", L"1", db_).Status(), 0);
  const std::string pswd = "Pswd=329V119V84V315V119V350V455\r\n";
  EXPECT_EQ(control().KillUser(L"B", db_).Status(), 0);
  EXPECT_EQ(File(), "[Users]\r\ncount=2\r\n1=A\r\n2=C\r\n3=\r\n[General]\r\nVersion=2\r\n[A]\r\n" + pswd +
                        "[B]\r\nPswd=\r\nlogin=1\r\n[C]\r\n" + pswd);
  LONG lower = -1, upper = -1;
  EXPECT_EQ(control().UserArray(db_).Names(&lower, &upper), (std::vector<std::wstring>{L"A", L"C"}));
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 1);

  struct {
    std::wstring user;
    bool withPath;
    long status;
  } const refusals[] = {{L"", true, 1}, {L"A", false, 2}, {L"B", true, 3}, {L"a", true, 3}, {L"", false, 1}};
  const std::string before = File();
  for (size_t i = 0; i < std::size(refusals); ++i) {
    EXPECT_EQ(control().KillUser(refusals[i].user, refusals[i].withPath ? db_ : L"").Status(), refusals[i].status)
        << "case " << i;
    EXPECT_EQ(File(), before) << "case " << i;
  }
}

TEST_F(Host, TheLastUserGoneANewOneCanComeAndTheOldSettingsWait) {
  Users({{L"A", L"Secret1"}});
  ASSERT_EQ(control().StoreSetting(L"A", L"ShowWelcome", L"0", db_).Status(), 0);
  Control c = control();
  ASSERT_EQ(c.ValidateUser(L"A", L"Secret1", db_).Status(), 0);
  ASSERT_EQ(c.KillUser(L"A", db_).Status(), 0);
  EXPECT_EQ(c.CurrentUserName(), L"A");  // removing does not log out
  EXPECT_EQ(c.ValidateUser(L"A", L"Secret1", db_).Status(), 1);
  LONG lower = -1, upper = 0;
  EXPECT_TRUE(c.UserArray(db_).Names(&lower, &upper).empty());
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, -1);
  EXPECT_EQ(c.StoreSetting(L"A", L"ShowWelcome", L"1", db_).Status(), 1);
  Users({{L"A", L"Another1"}});
  EXPECT_EQ(c.RetrieveSetting(L"A", L"ShowWelcome", db_).Text(), L"0");
  EXPECT_EQ(c.ValidateUser(L"A", L"Another1", db_).Status(), 0);
}

TEST_F(Host, UserArraySplitsAtEveryPilcrow) {
  const std::wstring pilcrow = Wide("\xB6");
  Users({{L"A", L"Secret1"}, {L"x" + pilcrow + L"y", L"Secret1"}, {L"B", L"Secret1"}});
  EXPECT_EQ(control().UserArray(db_).Names(), (std::vector<std::wstring>{L"A", L"x", L"y", L"B"}));
  // Slots beyond the count are never read; a name that reads empty adds no separator of its own.
  Seed("[Users]\r\ncount=3\r\n1=\"\"\r\n2=bob\r\n3=  \r\n4=ghost\r\n");
  EXPECT_EQ(control().UserArray(db_).Names(), (std::vector<std::wstring>{L"bob", L""}));
}

// --- Settings -----------------------------------------------------------------------------------

TEST_F(Host, SettingsAreStoredOnlyForUsersAndNeverAsThePassword) {
  Users({{L"default", L"Secret1"}});
  const std::string seeded = File();
  struct {
    std::wstring user, setting;
    long status;
  } const refusals[] = {
      {L"default", L"Pswd", 2}, {L"default", L"PSWD", 2}, {L"default", L" pswd ", 2},
      {L"nobody", L"Pswd", 2},  {L"nobody", L"login", 1}, {L"Default", L"login", 1},
      // Full-width letters reach the file as plain ones.
      {L"default", L"\xFF30\xFF53\xFF57\xFF44", 2}, {L"default", L"P\xFF33WD", 2},
  };
  for (size_t i = 0; i < std::size(refusals); ++i) {
    Outcome o = control().StoreSetting(refusals[i].user, refusals[i].setting, L"1", db_);
    ASSERT_EQ(o.hr, S_OK) << "case " << i;
    EXPECT_EQ(o.Status(), refusals[i].status) << "case " << i;
    EXPECT_EQ(File(), seeded) << "case " << i;
  }
  EXPECT_EQ(control().ValidateUser(L"default", L"Secret1", db_).Status(), 0);

  // The password's stored form reads like any setting, and begins with a digit.
  std::wstring stored = control().RetrieveSetting(L"default", L"Pswd", db_).Text();
  EXPECT_EQ(stored, L"329V119V84V315V119V350V455");

  EXPECT_EQ(control().StoreSetting(L"default", L"login", L"1", db_).Status(), 0);
  EXPECT_EQ(control().StoreSetting(L"default", L"ShowWelcome", L"", db_).Status(), 0);
  EXPECT_EQ(File(), seeded + "login=1\r\nShowWelcome=\r\n");
  EXPECT_EQ(control().RetrieveSetting(L"default", L"login", db_).Text(), L"1");
  EXPECT_EQ(control().RetrieveSetting(L"default", L"LOGIN", db_).Text(), L"1");
  EXPECT_EQ(control().RetrieveSetting(L"default", L"ShowWelcome", db_).Text(), L"");
  // Never stored, no such user, no such file: the path passed in.
  EXPECT_EQ(control().RetrieveSetting(L"default", L"never", db_).Text(), db_);
  EXPECT_EQ(control().RetrieveSetting(L"nobody", L"login", db_).Text(), db_);
  const std::wstring missing = Wide(dir_ / "missing.dll");
  EXPECT_EQ(control().RetrieveSetting(L"default", L"login", missing).Text(), missing);
  EXPECT_FALSE(testutil::Exists(Narrow(missing)));

  std::wstring longValue;
  for (int k = 0; k < 700; ++k) longValue += static_cast<wchar_t>(L'A' + k % 26);
  longValue[350] = L' ';
  EXPECT_EQ(control().StoreSetting(L"default", L"note", longValue, db_).Status(), 0);
  EXPECT_EQ(control().RetrieveSetting(L"default", L"note", db_).Text(), longValue);
  EXPECT_EQ(control().StoreSetting(L"default", L"note", L"  padded  ", db_).Status(), 0);
  EXPECT_EQ(control().RetrieveSetting(L"default", L"note", db_).Text(), L"padded");
}

// L02: a database made elsewhere that lists such names: they are no users to write for, and
// removing one takes it off the list without writing into the section it would address.
TEST_F(Host, NamesThatWouldForgeASectionAreNoUsersToWriteFor) {
  const std::string listed =
      "[General]\r\nVersion=2\r\n[Users]\r\ncount=4\r\n1=Users\r\n2=GENERAL\r\n3=a]b\r\n4=a\r\n"
      "[a]\r\nPswd=329V119V84V315V119V350V455\r\n";
  Seed(listed);
  const std::wstring names[] = {L"Users", L"GENERAL", L"a]b"};
  for (size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(control().StoreSetting(names[i], L"count", L"1", db_).Status(), 1) << "case " << i;
    EXPECT_EQ(control().ChangePassword(names[i], L"Secret2", db_).Status(), 5) << "case " << i;
    EXPECT_EQ(File(), listed) << "case " << i;
  }
  EXPECT_EQ(control().KillUser(L"a]b", db_).Status(), 0);
  EXPECT_EQ(control().UserArray(db_).Names(), (std::vector<std::wstring>{L"Users", L"GENERAL", L"a"}));
  EXPECT_EQ(control().ValidateUser(L"a", L"Secret1", db_).Status(), 0);
}

TEST_F(Host, StoreSettingCreatesAMissingDatabaseAndRepairsADamagedOne) {
  EXPECT_EQ(control().StoreSetting(L"default", L"login", L"1", db_).Status(), 1);
  EXPECT_EQ(File(), Fresh);
  Seed("[Users]\r\ncount=oops\r\n1=default\r\n[General]\r\nVersion=2\r\n");
  EXPECT_EQ(control().StoreSetting(L"default", L"login", L"1", db_).Status(), 1);
  EXPECT_EQ(File(), "[Users]\r\ncount=0\r\n1=default\r\n[General]\r\nVersion=2\r\n");
}

// --- The typed client the panel uses ------------------------------------------------------------

TEST(Client, CallsEveryMethodAndHandsBackTheControlsErrors) {
  winapp::ComApartment com;
  testutil::TempFolder dir;
  const std::string db = dir / "panel.dll";
  accesskeep::AccessKeepClient client;
  ASSERT_EQ(client.Create(LibraryPath()), S_OK);
  long status = -1;
  EXPECT_EQ(client.CreateUser("default", "Secret1", db, false, &status), S_OK);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(client.StoreSetting("default", "login", "1", db, &status), S_OK);
  EXPECT_EQ(status, 0);
  std::string text;
  EXPECT_EQ(client.RetrieveSetting("default", "login", db, &text), S_OK);
  EXPECT_EQ(text, "1");
  EXPECT_EQ(client.ValidateUser("default", "Secret1", db, false, &status), S_OK);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(client.CurrentUserName(&text), S_OK);
  EXPECT_EQ(text, "default");
  EXPECT_EQ(client.ChangePassword("default", "Secret2", db, false, &status), S_OK);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(client.CurrentPassword(&text), S_OK);
  EXPECT_EQ(text, "Secret2");
  EXPECT_EQ(client.GetStatus(&text), S_OK);
  EXPECT_EQ(text, "\"default\" is logged in with \"Secret2\" as password.");
  std::vector<std::string> users;
  EXPECT_EQ(client.UserArray(db, &users), S_OK);
  EXPECT_EQ(users, std::vector<std::string>{"default"});
  EXPECT_EQ(client.Logout(), S_OK);
  EXPECT_EQ(client.CurrentUserName(&text), S_OK);
  EXPECT_EQ(text, "Not Logged In");
  EXPECT_EQ(client.KillUser("default", db, &status), S_OK);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(client.UserArray(db, &users), S_OK);
  EXPECT_TRUE(users.empty());
  EXPECT_EQ(client.UserArray(dir / "missing.dll", &users), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(client.KillUser("default", dir / "missing.dll", &status), DISP_E_TYPEMISMATCH);
}

}  // namespace
