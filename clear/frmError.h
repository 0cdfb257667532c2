// The clearing program's error window: a picture, the message and OK. OK closes it; the run has
// already stopped.
#pragma once

#include "errorwindow.h"
#include "xpcmdbutton.h"

class frmError : public winapp::ErrorWindow<xpcmdbutton> {
 public:
  frmError() : ErrorWindow("Quietrail 2003 Error", false) {}
};
