#include "frmStart.h"

#include "FrmSysTray.h"

frmStart::frmStart(FrmSysTray& sysTray, std::string commandText)
    : Form(winapp::HiddenFormDesc("frmStart", "Quietrail 2003 QuickLaunch", "FLASH1")),
      sysTray_(sysTray), commandText_(std::move(commandText)) {}

void frmStart::Form_Load() {
  Hide();
  if (commandText_ != winapp::LaunchToken) {
    Unload();
    winapp::app::End();
    return;
  }
  sysTray_.Load();
}
