// The change-password dialog of the user "default", opened from the settings dialog.
#pragma once

#include "controls.h"

struct Panel;

class frmChangePassword : public PanelForm {
 public:
  explicit frmChangePassword(Panel& panel);

 protected:
  void Form_Load() override { Login.Create(); }
  void Form_Unload() override { Login.Release(); }

 private:
  winapp::Label Label1{this, "Label1", {240, 240, 3735, 255}, "New Password:"};
  winapp::TextBox Text2{this, "Text2", {240, 510, 3735, 315}, {}, {.passwordChar = '*', .maxLength = 20}};
  winapp::Label Label2{this, "Label2", {240, 960, 3735, 255}, "Confirm New Password:"};
  winapp::TextBox Text3{this, "Text3", {240, 1230, 3735, 315}, {}, {.passwordChar = '*', .maxLength = 20}};
  CmdButton Command1{this, "Command1", {1440, 1800, 1215, 375}, "&OK", [this] { Command1_Click(); }};
  CmdButton Command2{this, "Command2", {2760, 1800, 1215, 375}, "&Cancel", [this] { Command2_Click(); }};
  LoginControl Login;

  Panel& panel_;

  void Command1_Click();
  void Command2_Click();
  void CloseDialog();
  void EmptyBoxes();
};
