// clear.exe: one clearing run.
#include <windows.h>

#include "frmAnalyze.h"
#include "frmError.h"
#include "frmMain.h"
#include "raii.h"
#include "programs.h"
#include "system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Without the token the program ends before it makes any window at all; the progress window
  // checks it again when it loads.
  std::string command = winapp::CommandText();
  if (command == winapp::AnalyzeCommand) {
    frmAnalyze analyze(winapp::ProgramFolder(), command);
    analyze.ShowAsStartup();
    return winapp::app::RunMessageLoop();
  }
  if (command != winapp::LaunchToken) return 0;
  winapp::ComApartment apartment;
  frmError error;
  frmMain main(error, winapp::ProgramFolder(), command);
  main.ShowAsStartup();
  return winapp::app::RunMessageLoop();
}
