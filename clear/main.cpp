// clear.exe: one clearing run.
#include <windows.h>

#include "frmError.h"
#include "frmMain.h"
#include "raii.h"
#include "system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  winapp::ComApartment apartment;
  frmError error;
  frmMain main(error, winapp::ProgramFolder(), winapp::CommandText());
  main.ShowAsStartup();
  return winapp::app::RunMessageLoop();
}
