// tray.exe: the notification-area icon whose menu starts the other programs.
#include <windows.h>

#include "FrmSysTray.h"
#include "frmStart.h"
#include "system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  FrmSysTray sysTray;
  frmStart start(sysTray, winapp::CommandText());
  start.ShowAsStartup();
  return winapp::app::RunMessageLoop();
}
