#include "frmChangePassword.h"

#include "frmAbout.h"
#include "panel.h"

using namespace winapp;

frmChangePassword::frmChangePassword(Panel& panel)
    : PanelForm({.name = "frmChangePassword", .caption = "Change Password", .client = {4215, 2400},
                 .defaultButton = "Command1", .cancelButton = "Command2"}),
      Login(panel.folder), panel_(panel) {
}

void frmChangePassword::EmptyBoxes() {
  Text2.SetText("");
  Text3.SetText("");
}

void frmChangePassword::Command1_Click() {
  std::string password = Text2.Text();
  if (password != Text3.Text()) {
    ShowError(panel_, "The confirm password must match the new password", this);
    EmptyBoxes();
    return;
  }
  long code = Login.ChangePassword(password);
  switch (code) {
    case 4:
      ShowError(panel_, "Your password must be between 6 && 20 characters in length.", this);
      EmptyBoxes();
      return;
    case 7:
      ShowError(panel_, "Your password contains unsupported characters.", this);
      EmptyBoxes();
      return;
    case 0:
      CloseDialog();
      return;
    default:
      ShowMessage(std::string("Unexpected error. Please contact ") + SupportAddress +
                      " describing\r\nerror circumstances, and this code: Pwd" + std::to_string(code) +
                      ". (Your password has not been set)",
                  "Operating Environment Error", MB_OK | MB_ICONEXCLAMATION);
      CloseDialog();
  }
}

void frmChangePassword::Command2_Click() { CloseDialog(); }

void frmChangePassword::CloseDialog() {
  // Opened from the settings dialog (ShowFrom): the unload hands it back.
  Hide();
  Unload();
}
