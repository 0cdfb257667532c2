// panel.exe: the control panel.
#include <windows.h>

#include "panel.h"
#include "system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return RunPanel(winapp::ProgramFolder(), winapp::CommandText());
}
