#include "frmStart.h"

#include "frmError.h"
#include "frmSplash.h"
#include "launch.h"
#include "settings.h"
#include "system.h"

using namespace winapp;

frmStart::frmStart(frmSplash& splash, frmError& error)
    : Form(HiddenFormDesc("frmStart", "Quietrail 2003")),
      splash_(splash), error_(error) {}

void frmStart::ReadSettingsKey() { IniValue = ReadIniValue(InProgramFolder(SettingsFileName), "Settings", IniKey.c_str()); }

void frmStart::ReadLaunchKey() { IniValue = ReadIniValue(InProgramFolder(SettingsFileName), "Launch", IniKey.c_str()); }

void frmStart::Form_Load() {
  Hide();

  bool present;
  {
    // One look at the settings, under one lock, before anything is started.
    SettingsFilesLock lock;
    present = SettingsFileExists(InProgramFolder(SettingsFileName));
    if (present) {
      IniKey = "Startup";
      ReadSettingsKey();
      Startup = FlagValue(IniValue);
      IniKey = "Tray";
      ReadLaunchKey();
      Tray = FlagValue(IniValue);
      IniKey = "Splash";
      ReadLaunchKey();
      Splash = FlagValue(IniValue);
    }
  }
  if (!present) {
    error_.Load();
    error_.SetMessage(launch::SettingsMissingMessage());
    error_.Show();
    Unload();
    return;
  }
  // Only 1 carries on. Any other value ends the program as 0 does: going on with neither branch
  // would leave an unseen process running with nothing to end it.
  if (Startup != 1) {
    Unload();
    app::End();
    return;
  }

  if (Tray == 1) StartProgram(hwnd(), TrayProgram, LaunchToken);

  if (Splash == 1) {
    // The splash's timer carries on from here; this window stays loaded, hidden.
    splash_.Show();
    return;
  }
  // 0, and any other value likewise: the clearing run starts at once rather than never.
  if (!launch::StartClearingRun(hwnd(), error_)) Unload();
}
