#include "frmMain.h"

#include "openbrowsers.h"
#include "panel.h"
#include "system.h"

using namespace winapp;

frmMain::frmMain(Panel& panel)
    : PanelForm({.name = "frmMain", .caption = "Quietrail 2003", .client = {6600, 3900},
                 .border = Border::FixedSingle, .minButton = true}),
      panel_(panel) {
}

void frmMain::Command1_Click() {
  panel_.Settings.ShowFrom(*this);
}

void frmMain::Command2_Click() {
  if (FileExists(panel_.InFolder(ClearProgram))) {
    if (ReadyBrowsersForRun(hwnd(), panel_.folder)) StartProgram(hwnd(), ClearProgram, LaunchToken);
  } else {
    ShowError(panel_,
              ReinstallMessage(panel_.InFolder(ClearProgram)) + ".",
              this);
  }
}

void frmMain::Command5_Click() {
  if (FileExists(panel_.InFolder(ClearProgram)))
    StartProgram(hwnd(), ClearProgram, AnalyzeCommand);
  else
    ShowError(panel_, ReinstallMessage(panel_.InFolder(ClearProgram)) + ".", this);
}

void frmMain::Command3_Click() {
  panel_.About.ShowFrom(*this);
}

void frmMain::Command4_Click() {
  Unload();
  app::End();
}
