// The control's about box: the logo, who made the control and which version it is, and OK.
#pragma once

#include "form.h"

namespace accesskeep {

constexpr const char* frmAboutClassName = "frmAbout";
// The about box's colour: the control's own, not its host's.
constexpr COLORREF AboutBackColour = RGB(212, 208, 200);

class frmAbout : public winapp::Form {
 public:
  frmAbout();

 private:
  winapp::Picture picLogo{this, "picLogo", {240, 240, 720, 720}, "ABOUTLOGO"};
  winapp::Label lblAbout{this, "lblAbout", {1200, 300, 3840, 255},
                         "Kestrovane Software Login Active X Control."};
  winapp::Label lblVersion{this, "lblVersion", {1200, 600, 3840, 255}, "Version 1.1 - November 2002"};
  winapp::Button Command1{this, "Command1", {3825, 1170, 1215, 375}, "&OK", [this] { Command1_Click(); }};

  void Command1_Click();
};

// Shows the one about box without waiting for it and gives it the keyboard focus; while it is
// open, brings the same window forward.
void ShowAboutBox();

}  // namespace accesskeep
