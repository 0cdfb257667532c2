// Checks of an installation made by the setup program, run inside the Wine prefix that
// installer_test.sh made for it. The script runs the setup program and the uninstaller and picks
// the checks for each stage with --gtest_filter:
//   EndPrograms.*  the helper that ends running programs, before anything is installed
//   Installed.*    after the first silent installation
//   Upgraded.*     after a second silent installation over the first
// The same binary, started with --linger, --stubborn or --window, is the stand-in program that
// the EndPrograms checks end.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <aclapi.h>
#include <sddl.h>

#include "client.h"
#include "folderrights.h"
#include "programs.h"
#include "raii.h"
#include "test_util.h"
#include "text.h"

namespace {

constexpr char Product[] = "Quietrail 2003";
using winapp::LaunchToken;
constexpr char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quietrail 2003";

std::string KnownFolder(int csidl) {
  char path[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::string InstallFolder() { return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\" + Product; }
std::string MenuFolder() { return KnownFolder(CSIDL_PROGRAMS) + "\\" + Product; }
std::string Installed(const std::string& name) { return InstallFolder() + "\\" + name; }

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// Names of the files directly in a folder matching `pattern`.
std::vector<std::string> FilesIn(const std::string& folder, const char* pattern = "*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  winapp::FindHandle find(FindFirstFileA((folder + "\\" + pattern).c_str(), &found));
  if (!find) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(find.get(), &found));
  std::sort(names.begin(), names.end());
  return names;
}

// The programs of the set: what the build laid out in its program folder.
std::vector<std::string> Programs() {
  std::vector<std::string> programs = FilesIn(testutil::ProgramFolder(), "*.exe");
  for (const std::string& control : FilesIn(testutil::ProgramFolder(), "*.ocx")) programs.push_back(control);
  for (const std::string& module : FilesIn(testutil::ProgramFolder(), "browsers.dll")) programs.push_back(module);
  return programs;
}

bool InSet(const char* program) {
  auto programs = Programs();
  return std::any_of(programs.begin(), programs.end(), [&](const std::string& p) { return SamePath(p, program); });
}

std::string RegText(HKEY root, const char* key, const char* name, bool* found = nullptr) {
  char value[2048] = {};
  DWORD size = sizeof value - 1;
  LONG rc = RegGetValueA(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size);
  if (found) *found = rc == ERROR_SUCCESS;
  return rc == ERROR_SUCCESS ? value : "";
}

DWORD RegNumber(HKEY root, const char* key, const char* name) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueA(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS ? value : ~0u;
}

std::string ImageOf(HANDLE process) {
  char image[MAX_PATH * 2] = {};
  DWORD size = sizeof image;
  return QueryFullProcessImageNameA(process, 0, image, &size) ? std::string(image, size) : std::string();
}

// Processes whose image is the given file.
std::vector<DWORD> ProcessesOf(const std::string& image) {
  std::vector<DWORD> pids;
  winapp::File snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
    winapp::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (process && SamePath(ImageOf(process.get()), image)) pids.push_back(entry.th32ProcessID);
  }
  return pids;
}

// A stand-in program of the test's own, started from a copy of this binary.
struct Started {
  winapp::Handle process;
  DWORD pid = 0;
};

Started Start(const std::string& image, const std::string& arguments, const std::string& folder = {}) {
  std::string line = "\"" + image + "\" " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  Started started;
  if (!CreateProcessA(image.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &pi))
    return started;
  CloseHandle(pi.hThread);
  started.process.reset(pi.hProcess);
  started.pid = pi.dwProcessId;
  return started;
}

DWORD ExitCodeOf(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  return code;
}

// Runs a program to its end; its exit code, or ~0 when it could not be started or hung.
DWORD RunToEnd(const std::string& image, const std::string& arguments) {
  Started run = Start(image, arguments);
  if (!run.process || WaitForSingleObject(run.process.get(), 60000) != WAIT_OBJECT_0) return ~0u;
  return ExitCodeOf(run.process.get());
}

// A file of the build, named by its Unix path in an environment variable.
std::string BuildFile(const char* variable) {
  const char* path = std::getenv(variable);
  std::string windows = std::string("Z:") + (path ? path : "");
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string EndProgramsHelper() { return BuildFile("QR_ENDPROGRAMS"); }

std::string ThisProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The stand-in program: a hidden window of the tray's class that ends on the tray's "Exit"
// (--linger) or on nothing (--stubborn), or a visible window of another class that ends when
// closed (--window).
int Linger(const std::string& mode) {
  static bool ignoreAll;
  ignoreAll = mode == "--stubborn";
  const bool tray = mode != "--window";
  WNDCLASSA wc{};
  wc.lpszClassName = tray ? "FrmSysTray" : "frmMain";
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpfnWndProc = [](HWND w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
    if (msg == WM_CLOSE || msg == WM_COMMAND) {
      if (!ignoreAll) PostQuitMessage(0);
      return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
  };
  RegisterClassA(&wc);
  CreateWindowExA(0, wc.lpszClassName, "stand-in", WS_POPUP | (tray ? 0 : WS_VISIBLE), 0, 0, 50, 50, nullptr, nullptr,
                  wc.hInstance, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

}  // namespace

// ---- The helper that ends programs running from the installation folder ----

TEST(EndPrograms, EndsWhatRunsFromTheFolderAndNothingElse) {
  struct Case {
    const char* mode;    // how the stand-in tray.exe in the folder behaves
    bool trailingSlash;  // the folder named with a trailing backslash
    bool upperCase;      // the folder named in other letter case
    const char* names;   // the programs named after the folder
    DWORD expectedExit;  // 0: it ended when asked; 1: it was ended outright; STILL_ACTIVE: left
  };
  const Case cases[] = {
      {"--linger", false, false, "", 0},
      {"--stubborn", false, false, "", 1},
      {"--window", false, false, "", 0},
      {"--linger", true, false, "", 0},
      {"--linger", false, true, "", 0},
      {"--linger", true, true, "", 0},
      {"--linger", false, false, " clear.exe TRAY.EXE", 0},
      {"--linger", false, false, " clear.exe panel.exe", STILL_ACTIVE},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    testutil::TempFolder installed, elsewhere;
    ASSERT_TRUE(testutil::CopyInto(ThisProgram(), installed.path(), "tray.exe")) << "case " << i;
    ASSERT_TRUE(testutil::CopyInto(ThisProgram(), elsewhere.path(), "tray.exe")) << "case " << i;
    Started inside = Start(installed / "tray.exe", c.mode);
    Started outside = Start(elsewhere / "tray.exe", "--linger");
    ASSERT_TRUE(inside.process && outside.process) << "case " << i;
    // Asked only once its window is there, as a program that has started up would be.
    const char* cls = std::string(c.mode) == "--window" ? "frmMain" : "FrmSysTray";
    ASSERT_TRUE(testutil::PumpUntil([&] {
      return !testutil::TopWindows(cls, inside.pid).empty() &&
             !testutil::TopWindows("FrmSysTray", outside.pid).empty();
    })) << "case " << i;

    std::string folder = installed.path();
    if (c.upperCase) CharUpperA(folder.data());
    if (c.trailingSlash) folder += "\\";
    EXPECT_EQ(0u, RunToEnd(EndProgramsHelper(), "\"" + folder + "\"" + c.names)) << "case " << i;

    if (c.expectedExit != STILL_ACTIVE) {
      EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inside.process.get(), 0)) << "case " << i;
    }
    EXPECT_EQ(c.expectedExit, ExitCodeOf(inside.process.get())) << "case " << i;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(outside.process.get(), 0)) << "case " << i << ": another folder's program";
    for (HANDLE process : {inside.process.get(), outside.process.get()}) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
    }
  }
}

TEST(EndPrograms, NothingRunningAndBadCommandLines) {
  testutil::TempFolder empty;
  EXPECT_EQ(0u, RunToEnd(EndProgramsHelper(), "\"" + empty.path() + "\""));
  EXPECT_EQ(0u, RunToEnd(EndProgramsHelper(), "\"" + empty / "missing" + "\""));
  EXPECT_EQ(2u, RunToEnd(EndProgramsHelper(), ""));
  EXPECT_EQ(2u, RunToEnd(EndProgramsHelper(), "\"\""));
}

// ---- The setup program itself ----

TEST(Setup, CarriesTheProgramIconAndAVersion) {
  const std::string setup = BuildFile("QR_SETUP");
  EXPECT_GE(ExtractIconExA(setup.c_str(), -1, nullptr, nullptr, 0), 1u);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(setup.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(setup.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(MAKELONG(14, 1), fixed->dwFileVersionMS);
  struct Case {
    const char* key;
    const char* value;
  };
  const Case cases[] = {{"ProductName", "Quietrail 2003"}, {"FileVersion", "1.14"}, {"ProductVersion", "1.14"}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    char* text = nullptr;
    std::string key = std::string("\\StringFileInfo\\040904b0\\") + cases[i].key;
    ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length)) << "case " << i;
    EXPECT_STREQ(cases[i].value, text) << "case " << i;
  }
}

// ---- After the first installation ----

TEST(Installed, EveryProgramAndFreshFileInPlace) {
  const std::vector<std::string> programs = Programs();
  ASSERT_FALSE(programs.empty());
  std::set<std::string> expected;
  for (const std::string& program : programs) {
    expected.insert(program);
    bool ok = false;
    std::string built = testutil::ReadWholeFile(testutil::ProgramFolder() + "\\" + program);
    EXPECT_EQ(built, testutil::ReadWholeFile(Installed(program), &ok)) << program;
    EXPECT_TRUE(ok) << program << " missing";
  }
  for (const char* name : {"library.ini", "panel.dll", "quietrail.ini", "exclude.ini"}) {
    expected.insert(name);
    bool ok = false;
    EXPECT_EQ(testutil::ReadWholeFile(testutil::FreshFolder() + "\\" + name),
              testutil::ReadWholeFile(Installed(name), &ok))
        << name;
    EXPECT_TRUE(ok) << name << " missing";
  }
  expected.insert("uninstall.exe");
  // The record marks the folder as this product's and names every file the uninstaller removes.
  const std::string record = Installed("installed.ini");
  char value[64] = {};
  GetPrivateProfileStringA("Installation", "Product", "", value, sizeof value, record.c_str());
  EXPECT_STREQ(Product, value);
  for (const std::string& name : expected) {
    GetPrivateProfileStringA("Files", name.c_str(), "", value, sizeof value, record.c_str());
    EXPECT_STREQ("1", value) << name << " not recorded";
  }
  expected.insert("installed.ini");
  // Nothing more either (no probe or helper left behind).
  std::vector<std::string> present = FilesIn(InstallFolder());
  EXPECT_EQ(std::vector<std::string>(expected.begin(), expected.end()), present);
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// The folder Setup made is the user's alone: owner the user, three entries (the user, SYSTEM,
// the Administrators), nothing inherited from above. Wine keeps no access list on files: it
// shows one made from the Unix permissions (the user and SYSTEM full, Everyone reading), so
// there only what that tells is checked: no other account may change the folder.
// The entries of an access list: kind, who (in SDDL's words), rights and inheritance.
struct Entry {
  BYTE type, flags;
  DWORD mask;
  std::string who;
};
std::vector<Entry> EntriesOf(PACL dacl) {
  std::vector<Entry> entries;
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) break;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    char* text = nullptr;
    if (!ConvertSidToStringSidA(&allowed->SidStart, &text)) break;
    entries.push_back({allowed->Header.AceType, allowed->Header.AceFlags, allowed->Mask, text});
    LocalFree(text);
  }
  return entries;
}

std::string UserSidText() {
  winapp::Handle token;
  alignas(TOKEN_USER) BYTE info[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = sizeof info;
  char* text = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()) ||
      !GetTokenInformation(token.get(), TokenUser, info, size, &size) ||
      !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(info)->User.Sid, &text))
    return {};
  std::string sid = text;
  LocalFree(text);
  return sid;
}

// A descriptor as Setup leaves it: owner the user, the list protected from what lies above, and
// full access for the user, SYSTEM and the Administrators alone, handed down to all inside.
void ExpectPrivate(PSECURITY_DESCRIPTOR sd, PSID owner, PACL dacl, bool protectedMarkKept) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
  if (protectedMarkKept) EXPECT_TRUE(control & SE_DACL_PROTECTED);
  char* ownerText = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(owner, &ownerText));
  EXPECT_EQ(ownerText, UserSidText());
  LocalFree(ownerText);
  std::set<std::string> who;
  for (const Entry& e : EntriesOf(dacl)) {
    SCOPED_TRACE(e.who);
    EXPECT_EQ(e.type, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(e.mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(e.flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE | INHERITED_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    who.insert(e.who);
  }
  EXPECT_EQ(who, (std::set<std::string>{UserSidText(), "S-1-5-18", "S-1-5-32-544"}));
  EXPECT_EQ(EntriesOf(dacl).size(), 3u);
}

TEST(Installed, FolderIsTheUsersAlone) {
  EXPECT_EQ(folderrights::Check(winapp::Wide(InstallFolder())), folderrights::Verdict::Fine);
  // Wine keeps no descriptor of a file or folder: it answers with one made from the Unix owner
  // and mode bits, whatever was set (Setup.PrivateSecurityReadsBackAsSet checks the call).
  if (UnderWine()) return;
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoA(InstallFolder().c_str(), SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr, &dacl,
                                  nullptr, &sd),
            static_cast<DWORD>(ERROR_SUCCESS));
  ExpectPrivate(sd, owner, dacl, true);
  LocalFree(sd);
}

// The security Setup gives its folder, set through the same call on an object whose descriptor
// the platform keeps everywhere, a registry key of the user's, and read back. (Wine keeps a key's
// owner and list, not the protected mark, which it keeps for no object.)
TEST(Setup, PrivateSecurityReadsBackAsSet) {
  const wchar_t* const key = L"Software\\Quietrail private security check";
  winapp::RegKey made;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, made.put(), nullptr),
            ERROR_SUCCESS);
  made.reset();
  PSID user = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidA(UserSidText().c_str(), &user));
  const std::wstring name = std::wstring(L"CURRENT_USER\\") + key;
  EXPECT_EQ(folderrights::SetPrivate(name, SE_REGISTRY_KEY, user), static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(user);
  PSECURITY_DESCRIPTOR sd = nullptr;
  PSID owner = nullptr;
  PACL dacl = nullptr;
  std::wstring path = name;
  ASSERT_EQ(GetNamedSecurityInfoW(path.data(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, nullptr, &dacl, nullptr, &sd),
            static_cast<DWORD>(ERROR_SUCCESS));
  ExpectPrivate(sd, owner, dacl, !UnderWine());
  EXPECT_FALSE(folderrights::OthersMayWrite(dacl, owner));
  LocalFree(sd);
  RegDeleteKeyW(HKEY_CURRENT_USER, key);
}

// Which access lists let another account change an installation folder.
TEST(Setup, FolderRightsJudgeTheAccessList) {
  BYTE user[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof user;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinGuestsSid, nullptr, user, &size));  // any account will do as "the user"
  struct Row {
    const char* id;
    const char* sddl;  // the entries besides the user's full access
    bool othersMayWrite;
  } const rows[] = {
      {"user, SYSTEM, Administrators", "(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},
      {"Everyone reads", "(A;OICI;0x1200a9;;;WD)", false},
      {"Creator Owner full", "(A;OICIIO;FA;;;CO)", false},
      {"a denial", "(D;OICI;FA;;;WD)", false},
      {"Authenticated Users modify (C:\\ inherited)", "(A;OICIID;0x1301bf;;;AU)", true},
      {"Everyone appends", "(A;;0x4;;;WD)", true},
      {"Users change rights, inherit-only", "(A;OICIIO;WD;;;BU)", true},
      {"Users may delete", "(A;;SD;;;BU)", true},
  };
  char* userText = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(user, &userText));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    std::string sddl = std::string("D:(A;OICI;FA;;;") + userText + ")" + r.sddl;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    EXPECT_EQ(folderrights::OthersMayWrite(dacl, user), r.othersMayWrite);
    LocalFree(sd);
  }
  LocalFree(userText);
  EXPECT_TRUE(folderrights::OthersMayWrite(nullptr, user)) << "no list at all lets everyone";
}

TEST(Installed, ControlCreatableByProgId) {
  if (!InSet("accesskeep.ocx")) GTEST_SKIP() << "no accesskeep.ocx in the set";
  CoInitialize(nullptr);
  {
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"KestrovaneSoftwareLogin.AccessKeep", &clsid));
    winapp::ComPtr<IDispatch> object;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(object.put())));
    // The registered server is the installed file.
    wchar_t guid[40] = {};
    StringFromGUID2(clsid, guid, 40);
    char key[100] = {};
    wsprintfA(key, "CLSID\\%ls\\InprocServer32", guid);
    EXPECT_TRUE(SamePath(Installed("accesskeep.ocx"), RegText(HKEY_CLASSES_ROOT, key, nullptr)));

    // And it reads the installed user database as it stands (the fresh one after the first
    // installation, the user's own after an upgrade).
    accesskeep::AccessKeepClient client;
    ASSERT_EQ(S_OK, client.Create(Installed("no-such-library.ocx")));
    EXPECT_FALSE(client.SideLoaded());
    for (const char* setting : {"login", "ShowWelcome"}) {
      char stored[64] = {};
      GetPrivateProfileStringA("default", setting, "?", stored, sizeof stored, Installed("panel.dll").c_str());
      std::string value;
      ASSERT_EQ(S_OK, client.RetrieveSetting("default", setting, Installed("panel.dll"), &value)) << setting;
      EXPECT_EQ(stored, value) << setting;
    }
  }
  CoUninitialize();
}

TEST(Installed, Shortcuts) {
  struct Case {
    const char* link;
    const char* program;
    const char* arguments;
  };
  const Case cases[] = {
      {"Quietrail 2003 Control Panel.lnk", "panel.exe", ""},
      {"Clear Now.lnk", "clear.exe", LaunchToken},
      {"Check for Updates.lnk", "update.exe", ""},
      {"Uninstall Quietrail 2003.lnk", "uninstall.exe", ""},
  };
  CoInitialize(nullptr);
  size_t expectedLinks = 0;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    std::string path = MenuFolder() + "\\" + c.link;
    bool wanted = SamePath(c.program, "uninstall.exe") || InSet(c.program);
    EXPECT_EQ(wanted, testutil::Exists(path)) << "case " << i << ": " << c.link;
    if (!wanted) continue;
    ++expectedLinks;
    winapp::ComPtr<IShellLinkA> link;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(link.put())))
        << "case " << i;
    winapp::ComPtr<IPersistFile> file;
    ASSERT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) << "case " << i;
    std::wstring wide(path.begin(), path.end());
    ASSERT_EQ(S_OK, file->Load(wide.c_str(), STGM_READ)) << "case " << i;
    char target[MAX_PATH] = {}, arguments[MAX_PATH] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = -1;
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, MAX_PATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    EXPECT_TRUE(SamePath(Installed(c.program), target)) << "case " << i << ": " << target;
    EXPECT_STREQ(c.arguments, arguments) << "case " << i;
    EXPECT_TRUE(SamePath(InstallFolder(), folder)) << "case " << i << ": " << folder;
    EXPECT_TRUE(SamePath(Installed(c.program), icon)) << "case " << i << ": " << icon;
  }
  CoUninitialize();
  EXPECT_EQ(expectedLinks, FilesIn(MenuFolder()).size());
}

TEST(Installed, InstalledProgramsEntry) {
  const std::string uninstaller = Installed("uninstall.exe");
  EXPECT_EQ(Product, RegText(HKEY_CURRENT_USER, UninstallKey, "DisplayName"));
  EXPECT_EQ("1.14", RegText(HKEY_CURRENT_USER, UninstallKey, "DisplayVersion"));
  EXPECT_FALSE(RegText(HKEY_CURRENT_USER, UninstallKey, "Publisher").empty());
  EXPECT_EQ(uninstaller + ",0", RegText(HKEY_CURRENT_USER, UninstallKey, "DisplayIcon"));
  EXPECT_EQ(InstallFolder(), RegText(HKEY_CURRENT_USER, UninstallKey, "InstallLocation"));
  EXPECT_EQ("\"" + uninstaller + "\"", RegText(HKEY_CURRENT_USER, UninstallKey, "UninstallString"));
  EXPECT_EQ("\"" + uninstaller + "\" /S", RegText(HKEY_CURRENT_USER, UninstallKey, "QuietUninstallString"));
  EXPECT_EQ(1u, RegNumber(HKEY_CURRENT_USER, UninstallKey, "NoModify"));
  EXPECT_EQ(1u, RegNumber(HKEY_CURRENT_USER, UninstallKey, "NoRepair"));
  // The size in KB: what the folder holds, give or take the rounding of each file.
  ULONGLONG bytes = 0;
  for (const std::string& name : FilesIn(InstallFolder())) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(Installed(name).c_str(), GetFileExInfoStandard, &data);
    bytes += (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  }
  DWORD size = RegNumber(HKEY_CURRENT_USER, UninstallKey, "EstimatedSize");
  EXPECT_NEAR(double(bytes / 1024), double(size), 10.0);
}

// The start-up entry, and what it starts when the user logs on.
TEST(Installed, StartsAtLogOn) {
  bool found = false;
  std::string command = RegText(HKEY_CURRENT_USER, RunKey, Product, &found);
  if (!InSet("launch.exe")) {
    EXPECT_FALSE(found) << "a start-up entry without a launcher: " << command;
    GTEST_SKIP() << "no launch.exe in the set";
  }
  ASSERT_EQ("\"" + Installed("launch.exe") + "\"", command);
  if (!InSet("tray.exe")) GTEST_SKIP() << "no tray.exe in the set";

  // Run as the shell runs it at log-on: the command line as it stands, from another folder.
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string line = command;
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             KnownFolder(CSIDL_SYSTEM).c_str(), &si, &pi));
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // The tray icon's window, and a clearing run, both of this installation.
  EXPECT_TRUE(testutil::PumpUntil([] {
    for (DWORD pid : ProcessesOf(Installed("tray.exe")))
      if (!testutil::TopWindows("FrmSysTray", pid).empty()) return true;
    return false;
  }, std::chrono::seconds(30))) << "no tray icon window";
  EXPECT_TRUE(testutil::PumpUntil([] { return !ProcessesOf(Installed("clear.exe")).empty(); },
                                  std::chrono::seconds(30)))
      << "no clearing run";
  // The tray stays running: the next installation has to end it.
}

// A first start of the control panel greets the user: the installed user database has the
// welcome still to come.
TEST(Installed, PanelOpensWithTheWelcome) {
  if (!InSet("panel.exe")) GTEST_SKIP() << "no panel.exe in the set";
  Started panel = Start(Installed("panel.exe"), "", InstallFolder());
  ASSERT_TRUE(panel.process);
  // Shown, not merely made: the welcome writes the settings file while it loads, before it shows,
  // and the upgrade that follows writes the same file.
  EXPECT_TRUE(testutil::PumpUntil(
                  [&] {
                    for (HWND w : testutil::TopWindows("frmWelcome", panel.pid))
                      if (IsWindowVisible(w)) return true;
                    return false;
                  },
                  std::chrono::seconds(30)))
      << "no welcome window";
  // The panel stays open: the next installation has to end it.
}

// ---- After the second installation ----

TEST(Upgraded, ProgramsReplacedNothingOfTheOldOneRunning) {
  for (const std::string& program : Programs()) {
    EXPECT_EQ(testutil::ReadWholeFile(testutil::ProgramFolder() + "\\" + program),
              testutil::ReadWholeFile(Installed(program)))
        << program;
    EXPECT_TRUE(ProcessesOf(Installed(program)).empty()) << program << " still runs";
  }
  // The fresh record, with the serial of the last update installed before the upgrade.
  EXPECT_EQ(testutil::ReadWholeFile(testutil::FreshFolder() + "\\library.ini") + "Serial=1765000000\r\n",
            testutil::ReadWholeFile(Installed("library.ini")));
}

// ---- A folder named in another script than the system's code page ----

// Runs a program by its wide command line and waits for its end; its exit code, or -1.
long RunWide(std::wstring commandLine) {
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  DWORD code = WAIT_TIMEOUT == WaitForSingleObject(pi.hProcess, 120000) ? static_cast<DWORD>(-1) : 0;
  if (code == 0) GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<long>(code);
}

bool FileThere(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Installs, upgrades and uninstalls in "C:\Łukasz 田中\Quietrail 2003" (the setup program
// named by QR_SETUP_W); the installed programs' runs from such a folder are the end-to-end
// suites' (QR_FOREIGN_FOLDER).
TEST(Foreign, InstallUpgradeAndUninstallInAFolderNamedInAnotherScript) {
  wchar_t setup[MAX_PATH] = {};
  ASSERT_TRUE(GetEnvironmentVariableW(L"QR_SETUP_W", setup, MAX_PATH)) << "QR_SETUP_W is not set";
  const std::wstring parent = L"C:\\\x141ukasz \x7530\x4E2D", folder = parent + L"\\Quietrail 2003";
  // /D= takes the rest of the command line as it stands, blanks and all.
  const std::wstring install = L"\"" + std::wstring(setup) + L"\" /S /D=" + folder;
  ASSERT_EQ(RunWide(install), 0);
  for (const wchar_t* name : {L"panel.exe", L"clear.exe", L"accesskeep.ocx", L"panel.dll", L"uninstall.exe", L"installed.ini"})
    EXPECT_TRUE(FileThere(folder + L"\\" + name)) << winapp::Ansi(name);
  EXPECT_EQ(folderrights::Check(folder), folderrights::Verdict::Fine);
  ASSERT_EQ(RunWide(install), 0) << "upgrade";
  EXPECT_TRUE(FileThere(folder + L"\\panel.exe"));
  // The uninstaller goes on from a copy of itself: wait until the folder is gone.
  ASSERT_EQ(RunWide(L"\"" + folder + L"\\uninstall.exe\" /S"), 0);
  EXPECT_TRUE(testutil::PumpUntil([&] { return !FileThere(folder); }, std::chrono::seconds(60)))
      << "the installation is still there";
  RemoveDirectoryW(parent.c_str());
}

// ---- Folders Setup must refuse, and the rights that make them so (installer_test.sh) ----

// Grants Everyone the right to change the folder, as a folder under C:\ inherits for the
// Authenticated Users: an installation there is one another account can change.
int GrantEveryone(const std::wstring& folder) {
  PSECURITY_DESCRIPTOR sd = nullptr;
  PACL dacl = nullptr, wider = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &sd) != ERROR_SUCCESS)
    return 1;
  EXPLICIT_ACCESS_W everyone = {};
  everyone.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
  everyone.grfAccessMode = GRANT_ACCESS;
  everyone.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  everyone.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  everyone.Trustee.ptstrName = const_cast<wchar_t*>(L"Everyone");
  everyone.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  DWORD rc = SetEntriesInAclW(1, &everyone, dacl, &wider);
  if (rc == ERROR_SUCCESS)
    rc = SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, wider, nullptr);
  LocalFree(wider);
  LocalFree(sd);
  return rc == ERROR_SUCCESS && folderrights::Check(folder) == folderrights::Verdict::Writable ? 0 : 1;
}

// Makes the built-in Users group the folder's owner: a folder of another account.
int GiveAway(const std::wstring& folder) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, sid, &size)) return 1;
  DWORD rc = SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, sid,
                                   nullptr, nullptr, nullptr);
  return rc == ERROR_SUCCESS && folderrights::Check(folder) == folderrights::Verdict::Foreign ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--grant-everyone") return GrantEveryone(winapp::Wide(argv[2]));
  if (argc == 3 && std::string(argv[1]) == "--give-away") return GiveAway(winapp::Wide(argv[2]));
  if (argc == 3 && std::string(argv[1]) == "--make-private")
    return folderrights::MakePrivate(winapp::Wide(argv[2])) == folderrights::Verdict::Fine ? 0 : 1;
  if (argc == 2 && (std::string(argv[1]) == "--linger" || std::string(argv[1]) == "--stubborn" ||
                    std::string(argv[1]) == "--window"))
    return Linger(argv[1]);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
