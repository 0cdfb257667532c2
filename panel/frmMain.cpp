#include "frmMain.h"

#include "panel.h"
#include "system.h"

using namespace winapp;

frmMain::frmMain(Panel& panel)
    : PanelForm({.name = "frmMain", .caption = "Quietrail 2003", .client = {6600, 3420},
                 .border = Border::FixedSingle, .minButton = true}),
      panel_(panel) {
}

void frmMain::Command1_Click() {
  panel_.Settings.ShowFrom(*this);
}

void frmMain::Command2_Click() {
  if (FileExists(panel_.InFolder("clear.exe"))) {
    StartProgram(hwnd(), "clear.exe", LaunchToken);
  } else {
    ShowError(panel_,
              panel_.folder + "\\clear.exe not found. Please reinstall Quietrail or locate the file and try again.",
              2);
  }
}

void frmMain::Command3_Click() {
  panel_.About.ShowFrom(*this);
}

void frmMain::Command4_Click() {
  Unload();
  app::End();
}
