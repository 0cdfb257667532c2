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

void frmSplash::Form_Load() {
  // A borderless window of its own would still get a taskbar button: a tool window does not.
  SetWindowLongPtrA(hwnd(), GWL_EXSTYLE, GetWindowLongPtrA(hwnd(), GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
}

void frmSplash::Timer1_Timer() {
  Timer1.SetTimerEnabled(false);
  Hide();
  if (!launch::StartClearingRun(hwnd(), error_)) Unload();
}
