// newerly.exe (also laid down as update.exe): checks the update folder for newer programs and
// installs them. The update folder and the key its version list must be signed with are fixed
// when the program is built.
#include <windows.h>

#include <algorithm>
#include <iterator>

#include "download.h"
#include "frmCompare.h"
#include "frmMain.h"
#include "frmUpdate.h"
#include "raii.h"
#include "system.h"
#include "updatefiles.h"
#include "update_key.h"

#ifndef NEWERLY_BASE_URL
#error "NEWERLY_BASE_URL names the update folder"
#endif
#ifndef NEWERLY_MIN_SERIAL
#error "NEWERLY_MIN_SERIAL is the lowest serial of a version list taken"
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
#ifdef NEWERLY_STALL_MS
  newerly::StallMs = NEWERLY_STALL_MS;
#endif
#ifdef NEWERLY_DEADLINE_MS
  newerly::DeadlineMs = NEWERLY_DEADLINE_MS;
#endif
  newerly::UpdateKey key;
  std::copy(std::begin(UpdatePublicKey), std::end(UpdatePublicKey), key.begin());
  winapp::ComApartment apartment;
  std::string folder = winapp::ProgramFolder();
  // Each processor's set has an update folder of its own: a 32-bit installation is never offered
  // the 64-bit programs, nor the other way round.
  std::string updateFolder = core::UpdateFolderFor(NEWERLY_BASE_URL, newerly::BuildMachine());
  // The compare and download windows open each other; each is made before either is loaded.
  struct Windows {
    Windows(const std::string& folder, const std::string& url, const newerly::UpdateKey& key)
        : compare(update, folder), update(compare, folder, url), main(compare, folder, url, key, NEWERLY_MIN_SERIAL) {}
    frmCompare compare;
    frmUpdate update;
    frmMain main;
  } windows(folder, updateFolder, key);
  windows.main.ShowAsStartup();
  return winapp::app::RunMessageLoop();
}
