// The launcher's error window: a picture, the message and a standard OK button. OK ends the
// program, whichever of its windows are still loaded.
#pragma once

#include "errorwindow.h"

class frmError : public winapp::ErrorWindow<winapp::Button> {
 public:
  frmError() : ErrorWindow("Error", true) {}
};
