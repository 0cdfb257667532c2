// launch.exe: run at Windows start; starts the tray icon, shows the splash screen and starts a
// clearing run, as the settings ask.
#include <windows.h>

#include "frmError.h"
#include "frmSplash.h"
#include "frmStart.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  frmError error;
  frmSplash splash(error);
  frmStart start(splash, error);
  start.ShowAsStartup();
  return winapp::app::RunMessageLoop();
}
