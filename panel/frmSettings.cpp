#include "frmSettings.h"

#include "panel.h"
#include "settings.h"
#include "system.h"

using namespace winapp;

frmSettings::frmSettings(Panel& panel)
    : PanelForm({.name = "frmSettings", .caption = "Settings", .client = {7920, 4530},
                 .defaultButton = "Command1", .cancelButton = "Command2"}), Login(panel.folder),
      panel_(panel) {
  chkSplash.SetEnabled(false);
  chkTray.SetEnabled(false);
  CmdCookie.SetEnabled(false);
  cmdCP.SetEnabled(false);
}

void frmSettings::ReadSettingsKey() {
  IniValue = ReadIniValue(panel_.InFolder(SettingsFileName), "Settings", IniKey.c_str());
}

void frmSettings::ReadLaunchKey() {
  IniValue = ReadIniValue(panel_.InFolder(SettingsFileName), "Launch", IniKey.c_str());
}

short frmSettings::ReadKey(const char* key, void (frmSettings::*reader)()) {
  IniKey = key;
  (this->*reader)();
  return FlagValue(IniValue);
}

bool frmSettings::LoadSettings() {
  History = ReadKey("History", &frmSettings::ReadSettingsKey);
  TmpInt = ReadKey("TmpInt", &frmSettings::ReadSettingsKey);
  Cookies = ReadKey("Cookies", &frmSettings::ReadSettingsKey);
  Recent = ReadKey("Recent", &frmSettings::ReadSettingsKey);
  Startup = ReadKey("Startup", &frmSettings::ReadSettingsKey);
  URL = ReadKey("URL", &frmSettings::ReadSettingsKey);
  ClearDialog = ReadKey("ClearDialog", &frmSettings::ReadSettingsKey);
  Splash = ReadKey("Splash", &frmSettings::ReadLaunchKey);
  Tray = ReadKey("Tray", &frmSettings::ReadLaunchKey);
  Browsers = ReadKey("Browsers", &frmSettings::ReadSettingsKey);
  // A missing key reads as the file's own path.
  BrowsersKeyPresent = IniValue != panel_.InFolder(SettingsFileName);
  std::optional<std::string> stored = Login.RetrieveSetting("login");
  if (stored) login = FlagValue(*stored);
  return stored.has_value();
}

void frmSettings::Tick(CheckBox& box, void (frmSettings::*onClick)()) {
  box.SetValue(1);
  if (onClick) (this->*onClick)();
}

void frmSettings::Form_Load() {
  Login.Create();
  if (HWND box = chkBrowsers.hwnd())
    SetWindowLongPtrA(box, GWL_STYLE, GetWindowLongPtrA(box, GWL_STYLE) | BS_MULTILINE);
  // Nothing read at an earlier opening counts now: without a settings file every box stays
  // unticked, whatever the file held then.
  History = TmpInt = Cookies = Recent = URL = Startup = ClearDialog = Splash = Tray = Browsers = login = 0;
  BrowsersKeyPresent = false;
  bool unreadable;
  {
    SettingsFilesLock lock;  // the ten keys as one look at the file
    unreadable = SettingsFileExists(panel_.InFolder(SettingsFileName)) && !LoadSettings();
  }
  if (unreadable) {
    // Shown unticked, protection would be switched off by OK. The dialog goes, and the program
    // ends at the message's OK, as it does when protection cannot be stored.
    ShowErrorThenEnd(panel_, SettingsUnreadableMessage(panel_));
    Hide();
    Unload();
    panel_.Main.Unload();
    return;
  }
  if (History == 1) Tick(chkHistory);
  if (TmpInt == 1) Tick(chkTmpInt);
  if (Cookies == 1) Tick(chkCookies, &frmSettings::chkCookies_Click);
  if (Recent == 1) Tick(chkRecent);
  if (ClearDialog == 1) Tick(chkClearingDialog);
  if (URL == 1) Tick(chkURL);
  if (Browsers == 1) Tick(chkBrowsers);
  if (Startup == 1) Tick(chkStartup, &frmSettings::chkStartup_Click);
  if (Splash == 1) Tick(chkSplash);
  if (Tray == 1) Tick(chkTray);
  if (login == 1) Tick(chkProtect, &frmSettings::chkProtect_Click);
}

void frmSettings::chkCookies_Click() { CmdCookie.SetEnabled(chkCookies.Value() == 1); }

void frmSettings::chkProtect_Click() { cmdCP.SetEnabled(chkProtect.Value() == 1); }

void frmSettings::chkStartup_Click() {
  bool on = chkStartup.Value() == 1;
  chkSplash.SetEnabled(on);
  chkTray.SetEnabled(on);
}

void frmSettings::CmdCookie_Click() {
  panel_.CookieExclude.ShowFrom(*this);
}

void frmSettings::cmdCP_Click() {
  panel_.ChangePassword.ShowFrom(*this);
}

void frmSettings::Command1_Click() {
  // The keys go in as one change: a clearing run starting meanwhile reads the old settings
  // or the new ones, never some of each, and a disk that cannot take them keeps the old file.
  auto flag = [](const char* section, const char* key, CheckBox& box) {
    return IniFlag{section, key, static_cast<short>(box.Value() == 1 ? 1 : 0)};
  };
  const IniFlag flags[] = {
      flag("Settings", "History", chkHistory),     flag("Settings", "TmpInt", chkTmpInt),
      flag("Settings", "Cookies", chkCookies),     flag("Settings", "Recent", chkRecent),
      flag("Settings", "URL", chkURL),             flag("Settings", "Startup", chkStartup),
      flag("Settings", "ClearDialog", chkClearingDialog), flag("Launch", "Splash", chkSplash),
      flag("Launch", "Tray", chkTray), flag("Settings", "Browsers", chkBrowsers)};
  size_t count = std::size(flags);
  if (chkBrowsers.Value() != 1 && !BrowsersKeyPresent) --count;
  WriteIniFlags(panel_.InFolder(SettingsFileName), flags, count);

  long stored;
  if (chkProtect.Value() == 1) {
    // Unanswered, no password is known to be set: protection is not switched on.
    std::string first = TrimSpaces(Login.RetrieveSetting("Pswd").value_or("").substr(0, 1));
    if (first.empty() || first[0] < '0' || first[0] > '9') {
      ShowError(panel_,
                "You must set a password if you have selected password protection.\r\n"
                " You can do this by selecting \"Change Password\"",
                this);
      return;
    }
    stored = Login.StoreSetting("login", "1");
  } else {
    stored = Login.StoreSetting("login", "0");
  }
  if (stored != 0) {
    // The message stays until its OK, which then ends the program.
    ShowErrorThenEnd(panel_, "Unexpected error when attempting to write password data", this);
    // This dialog goes before the main window that owns it, so that it is never destroyed as an
    // owned window underneath its own handler.
    Hide();
    Unload();
    panel_.Main.Unload();
    return;
  }
  CloseDialog();
}

void frmSettings::Command2_Click() { CloseDialog(); }

void frmSettings::CloseDialog() {
  CloseToMain(panel_, *this);
}
