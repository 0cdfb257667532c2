// newerly.exe (also laid down as update.exe): checks the update folder for newer programs and
// installs them. The update folder is fixed when the program is built.
#include <windows.h>

#include "download.h"
#include "frmCompare.h"
#include "frmMain.h"
#include "frmUpdate.h"
#include "raii.h"
#include "system.h"

#ifndef NEWERLY_BASE_URL
#error "NEWERLY_BASE_URL names the update folder"
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
#ifdef NEWERLY_STALL_MS
  newerly::StallMs = NEWERLY_STALL_MS;
#endif
  winapp::ComApartment apartment;
  std::string folder = winapp::ProgramFolder();
  // The compare and download windows open each other; each is made before either is loaded.
  struct Windows {
    explicit Windows(const std::string& folder)
        : compare(update, folder), update(compare, folder, NEWERLY_BASE_URL), main(compare, folder, NEWERLY_BASE_URL) {}
    frmCompare compare;
    frmUpdate update;
    frmMain main;
  } windows(folder);
  windows.main.ShowAsStartup();
  return winapp::app::RunMessageLoop();
}
