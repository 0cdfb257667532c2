#include "frmAbout.h"

#include "panel.h"
#include "text.h"

using namespace winapp;

frmAbout::frmAbout(Panel& panel)
    : PanelForm({.name = "frmAbout", .caption = "About", .client = {6240, 3480},
                 .defaultButton = "Command1", .cancelButton = "Command1"}), panel_(panel) {
}

void frmAbout::Form_Load() {
  // The copyright sign in the code page the panel runs in (UTF-8, or the system's on Windows
  // before 10 1903), never as a byte of one code page read in the other.
  lblRights.SetText(Ansi(L"Copyright \u00A9 2003 Quietrail. All rights reserved. Quietrail 2003 is freeware: "
                         L"you may copy and pass it on freely, but not sell it or change it."));
  Command1.SetState(1);
}

void frmAbout::Command1_Click() {
  CloseToMain(panel_, *this);
}
