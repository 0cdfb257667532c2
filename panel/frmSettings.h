// The settings dialog: what a clearing run erases, what happens at Windows start, and whether
// the panel asks for its password.
#pragma once

#include <string>

#include "controls.h"

struct Panel;

class frmSettings : public PanelForm {
 public:
  explicit frmSettings(Panel& panel);

 protected:
  void Form_Load() override;
  void Form_Unload() override { Login.Release(); }

 private:
  using CheckBox = winapp::CheckBox;
  Frame Frame1{this, "Frame1", {120, 120, 3600, 2460}, " Clear Options"};
  CheckBox chkHistory{this, "chkHistory", {240, 420, 3360, 255}, "Clear Internet History"};
  CheckBox chkTmpInt{this, "chkTmpInt", {240, 750, 3360, 255}, "Clear Temporary Internet Files"};
  CheckBox chkCookies{this, "chkCookies", {240, 1080, 3360, 255}, "Clear Internet Cookies",
                      [this] { chkCookies_Click(); }};
  CheckBox chkRecent{this, "chkRecent", {240, 1410, 3360, 255}, "Clear Recent Documents List"};
  CheckBox chkURL{this, "chkURL", {240, 1740, 3360, 255}, "Clear Internet URL drop-down list"};
  // Two lines: the caption is longer than the group is wide.
  CheckBox chkBrowsers{this, "chkBrowsers", {240, 2070, 3360, 390}, "Also clear Chrome, Edge, Firefox and other browsers"};
  Frame Frame2{this, "Frame2", {3840, 120, 3960, 2460}, " Startup Options"};
  CheckBox chkStartup{this, "chkStartup", {3960, 420, 3720, 255}, "Run Quietrail when Windows is started",
                      [this] { chkStartup_Click(); }};
  CheckBox chkClearingDialog{this, "chkClearingDialog", {3960, 750, 3720, 255}, "Show \"Now Clearing\" dialog"};
  CheckBox chkSplash{this, "chkSplash", {4200, 1080, 3480, 255}, "Show splash screen at startup"};
  CheckBox chkTray{this, "chkTray", {4200, 1410, 3480, 255}, "Include Quietrail in System Tray"};
  Frame Frame3{this, "Frame3", {120, 2700, 7680, 1110}, " Protection Options"};
  CheckBox chkProtect{this, "chkProtect", {240, 3000, 3360, 255}, "Password Protect Quietrail",
                      [this] { chkProtect_Click(); }};
  winapp::Label Label1{this, "Label1", {240, 3360, 3840, 255}, "Password must be between 6-20 characters"};
  CmdButton cmdCP{this, "cmdCP", {5760, 3000, 1800, 375}, "Change &Password", [this] { cmdCP_Click(); }};
  CmdButton CmdCookie{this, "CmdCookie", {120, 3990, 1800, 375}, "Cookie &Exclusion", [this] { CmdCookie_Click(); }};
  CmdButton Command1{this, "Command1", {5265, 3990, 1215, 375}, "&OK", [this] { Command1_Click(); }};
  CmdButton Command2{this, "Command2", {6585, 3990, 1215, 375}, "&Cancel", [this] { Command2_Click(); }};
  LoginControl Login;

  Panel& panel_;
  std::string IniKey;
  std::string IniValue;
  short History = 0, TmpInt = 0, Cookies = 0, Recent = 0, URL = 0, Startup = 0, ClearDialog = 0, Splash = 0,
        Tray = 0, login = 0, Browsers = 0;
  // Whether the settings file names the Browsers key: a file without it is saved without it
  // while the box stays unticked, so that it reads as it always did.
  bool BrowsersKeyPresent = false;

  void ReadSettingsKey();
  void ReadLaunchKey();
  short ReadKey(const char* key, void (frmSettings::*reader)());
  // False when the login control could not answer for `login`.
  bool LoadSettings();
  // Ticks a box in code: its click handler runs as for a click by the user.
  void Tick(CheckBox& box, void (frmSettings::*onClick)() = nullptr);

  void chkCookies_Click();
  void chkStartup_Click();
  void chkProtect_Click();
  void CmdCookie_Click();
  void cmdCP_Click();
  void Command1_Click();
  void Command2_Click();
  void CloseDialog();
};
