// The tray program's start window: never seen, loaded for the life of the program. Its load
// checks the launch token and loads the icon's window.
#pragma once

#include <string>

#include "form.h"

class FrmSysTray;

class frmStart : public winapp::Form {
 public:
  frmStart(FrmSysTray& sysTray, std::string commandText);

 protected:
  void Form_Load() override;

 private:
  FrmSysTray& sysTray_;
  std::string commandText_;
};
