// The clearing program's error window: a picture, the message and OK.
#pragma once

#include "form.h"
#include "xpcmdbutton.h"

class frmError : public winapp::Form {
 public:
  frmError()
      : Form({.name = "frmError",
              .caption = "Quietrail 2003 Error",
              .client = {4680, 1695},
              .defaultButton = "Command1",
              .cancelButton = "Command1"}) {}

  void SetMessage(const std::string& text) { Label1.SetText(text); }

 private:
  winapp::Picture Picture1{this, "Picture1", {360, 360, 480, 480}, "ERRORPIC"};
  winapp::Label Label1{this, "Label1", {1080, 360, 3255, 615}, "%error%"};
  xpcmdbutton Command1{this, "Command1", {1733, 1125, 1215, 375}, "&OK", [this] { Command1_Click(); }};

  void Command1_Click() {
    Hide();
    Unload();
  }
  // Closing from the title bar is the same as OK.
  void Form_Close() override { Command1_Click(); }
};
