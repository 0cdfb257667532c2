#include "frmSplash.h"

#include "frmError.h"
#include "launch.h"

frmSplash::frmSplash(frmError& error)
    : Form({.name = "frmSplash",
            .caption = "Quietrail 2003",
            .client = {5370, 2895},
            .border = winapp::Border::NoBorder,
            .showInTaskbar = false}),
      error_(error) {}

void frmSplash::Timer1_Timer() {
  Timer1.SetTimerEnabled(false);
  Hide();
  if (!launch::StartClearingRun(hwnd(), error_)) Unload();
}
