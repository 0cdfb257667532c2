#include "frmMain.h"

#include "panel.h"
#include "system.h"

using namespace winapp;

frmMain::frmMain(Panel& panel)
    : PanelForm({.name = "frmMain", .caption = "Quietrail 2003", .client = {6600, 3420},
                 .border = Border::FixedSingle, .minButton = true}),
      panel_(panel) {
  SetFirstFocus(Command1);
}

void frmMain::Command1_Click() {
  panel_.Settings.Load();
  panel_.Settings.Show();
  SetEnabled(false);
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
  panel_.About.Load();
  panel_.About.Show();
  SetEnabled(false);
}

void frmMain::Command4_Click() {
  Unload();
  app::End();
}
