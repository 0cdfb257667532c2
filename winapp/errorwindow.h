// The error window of a program that has nothing else to show: a picture (the module's ERRORPIC
// bitmap), the message and one OK button of the program's own kind. OK, Enter, Esc and the
// title bar's close all answer it; a window that ends its program with OK says so.
#pragma once

#include <string>

#include "form.h"

namespace winapp {

template <class OkButton>
class ErrorWindow : public Form {
 public:
  ErrorWindow(const char* caption, bool endsProgram)
      : Form({.name = "frmError",
              .caption = caption,
              .client = {4680, 1695},
              .defaultButton = "Command1",
              .cancelButton = "Command1"}),
        endsProgram_(endsProgram) {}

  void SetMessage(const std::string& text) { Label1.SetText(text); }

 protected:
  void Form_Close() override { Command1_Click(); }

 private:
  Picture Picture1{this, "Picture1", {360, 360, 480, 480}, "ERRORPIC"};
  Label Label1{this, "Label1", {1080, 360, 3255, 615}, "%error%"};
  OkButton Command1{this, "Command1", {1733, 1125, 1215, 375}, "&OK", [this] { Command1_Click(); }};
  bool endsProgram_;

  void Command1_Click() {
    Hide();
    Unload();
    if (endsProgram_) app::End();
  }
};

}  // namespace winapp
