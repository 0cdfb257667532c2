#include "frmAbout.h"

namespace accesskeep {

namespace {
frmAbout* g_about = nullptr;
}

frmAbout::frmAbout()
    : Form({.name = frmAboutClassName,
            .caption = "About",
            .client = {5280, 1740},
            .border = winapp::Border::FixedDialog,
            .centred = true,
            .back = AboutBackColour,
            .icon = nullptr,
            .defaultButton = "Command1",
            .cancelButton = "Command1"}) {}

void frmAbout::Command1_Click() { Unload(); }

void ShowAboutBox() {
  if (!g_about) g_about = new frmAbout;
  g_about->Show();
  g_about->SetFocus();
  if (HWND ok = GetDlgItem(g_about->hwnd(), winapp::ControlId("Command1"))) SetFocus(ok);
}

}  // namespace accesskeep
