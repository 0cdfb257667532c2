// The splash screen: the splash picture in a borderless window with an outline along its edges.
// Its timer starts the clearing run 2250 ms after the window was loaded; only that first tick
// acts, since both of its outcomes end the splash.
#pragma once

#include "drawn.h"
#include "form.h"

class frmError;

class frmSplash : public winapp::Form {
 public:
  explicit frmSplash(frmError& error);

 protected:

 private:
  launch::BackPicture Picture{this, "Picture", {0, 0, 5370, 2895}, "SPLASHPIC"};
  launch::OutlineShape Shape1{this, "Shape1", {0, 0, 5365, 2895}, RGB(0, 0, 0)};
  winapp::Timer Timer1{this, "Timer1", 2250, true, [this] { Timer1_Timer(); }};

  frmError& error_;
  void Timer1_Timer();
  // Alt+F4 on the splash would leave the hidden start window running with nothing to end it:
  // the splash stays until its timer ends it, moments later.
  void Form_Close() override {}
};
