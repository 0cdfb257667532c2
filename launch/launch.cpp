#include "launch.h"

#include "frmError.h"
#include "settings.h"
#include "system.h"

namespace launch {

std::string SettingsMissingMessage() {
  std::string folder = winapp::ProgramFolder();
  return folder + "\\" + winapp::SettingsFileName + " not found. Please run panel.exe (user interface) again from " +
         folder;
}

std::string ClearMissingMessage() {
  return winapp::ProgramFolder() + "\\clear.exe not found. Please reinstall Quietrail or locate the file and try again";
}

bool StartClearingRun(HWND owner, frmError& error) {
  if (winapp::FileExists(winapp::InProgramFolder("clear.exe"))) {
    winapp::StartProgram(owner, "clear.exe", LaunchToken);
    winapp::app::End();
    return true;
  }
  error.Load();
  error.SetMessage(ClearMissingMessage());
  error.Show();
  return false;
}

}  // namespace launch
