#include "frmAbout.h"

#include "panel.h"

using namespace winapp;

frmAbout::frmAbout(Panel& panel)
    : PanelForm({.name = "frmAbout", .caption = "About", .client = {6240, 3480},
                 .defaultButton = "Command1", .cancelButton = "Command1"}), panel_(panel) {
}

void frmAbout::Form_Load() { Command1.SetState(1); }

void frmAbout::Command1_Click() {
  CloseToMain(panel_, *this);
}
