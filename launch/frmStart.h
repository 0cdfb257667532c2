// The launcher's start window: never seen. Its load reads the start-up settings and starts the
// tray icon, the splash screen and the clearing run as they ask.
#pragma once

#include <string>

#include "form.h"

class frmError;
class frmSplash;

class frmStart : public winapp::Form {
 public:
  frmStart(frmSplash& splash, frmError& error);

 protected:
  void Form_Load() override;

 private:
  frmSplash& splash_;
  frmError& error_;
  std::string IniKey;
  std::string IniValue;
  short Startup = 0;
  short Tray = 0;
  double Splash = 0;

  void ReadSettingsKey();
  void ReadLaunchKey();
};
