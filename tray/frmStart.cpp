#include "frmStart.h"

#include "FrmSysTray.h"

frmStart::frmStart(FrmSysTray& sysTray, std::string commandText)
    : Form({.name = "frmStart",
            .caption = "Quietrail 2003 QuickLaunch",
            .client = {1, 1},
            .border = winapp::Border::NoBorder,
            .centred = false,
            .showInTaskbar = false,
            .icon = "FLASH1"}),
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
