#include "launch.h"

#include "frmError.h"
#include "programs.h"
#include "system.h"

namespace launch {

std::string SettingsMissingMessage() {
  return winapp::SettingsMissingMessage(winapp::ProgramFolder());
}

std::string ClearMissingMessage() {
  return winapp::ReinstallMessage(winapp::InProgramFolder(winapp::ClearProgram));
}

bool StartClearingRun(HWND owner, frmError& error) {
  if (winapp::FileExists(winapp::InProgramFolder(winapp::ClearProgram))) {
    winapp::StartProgram(owner, winapp::ClearProgram, winapp::LaunchToken);
    winapp::app::End();
    return true;
  }
  error.Load();
  error.SetMessage(ClearMissingMessage());
  error.Show();
  return false;
}

}  // namespace launch
