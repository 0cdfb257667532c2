// The error window: a picture, the message and OK. While it is open, the window that raised the
// error is disabled.
#pragma once

#include <string>

#include "controls.h"

struct Panel;

class frmError : public PanelForm {
 public:
  explicit frmError(Panel& panel);
  void SetMessage(const std::string& text) { Label1.SetText(text); }

 protected:
  void Form_Load() override;

 private:
  winapp::Picture Picture1{this, "Picture1", {360, 360, 480, 480}, "ERRORPIC"};
  winapp::Label Label1{this, "Label1", {1080, 300, 4680, 855}, "%error%"};
  CmdButton Command1{this, "Command1", {2573, 1290, 1215, 375}, "&OK", [this] { Command1_Click(); }};

  Panel& panel_;

  void Command1_Click();
};
