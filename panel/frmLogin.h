// The starting window: it reads the argument text and the protection setting and decides what
// opens; when the panel is protected it stays as the password prompt.
#pragma once

#include "controls.h"

struct Panel;

class frmLogin : public PanelForm {
 public:
  explicit frmLogin(Panel& panel);

 protected:
  void Form_Load() override;
  void Form_Unload() override { Login.Release(); }

 private:
  winapp::Picture Picture1{this, "Picture1", {240, 240, 720, 720}, "LOGINPIC"};
  winapp::Label Label1{this, "Label1", {1200, 300, 3495, 255}, "Please enter your password:"};
  winapp::TextBox Text1{this, "Text1", {1200, 630, 3495, 315}, {}, {.passwordChar = '*'}};
  CmdButton Command1{this, "Command1", {2160, 1320, 1215, 375}, "&Login", [this] { Command1_Click(); }};
  CmdButton Command2{this, "Command2", {3480, 1320, 1215, 375}, "&Cancel", [this] { Command2_Click(); }};
  LoginControl Login;

  Panel& panel_;

  void Command1_Click();
  void Command2_Click();
  // The window that follows a confirmed start: the welcome until it was confirmed once, then
  // the main window. False when the control could not tell, and the program ends instead.
  bool OpenMainOrWelcome();
  // Shows a message that ends the program at its OK, in place of any other window.
  void EndWithError(const std::string& message);
  void EnsureDatabase();
  bool DatabaseReadable();
};
