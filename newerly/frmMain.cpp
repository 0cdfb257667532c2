#include "frmMain.h"

#include <wininet.h>

#include "declarations.h"
#include "download.h"
#include "frmCompare.h"

using namespace winapp;

frmMain::frmMain(frmCompare& compare, std::string folder, std::string baseUrl)
    : Form({.name = "frmMain", .caption = "Quietrail Update Checker", .client = {6000, 4080},
            .defaultButton = "Command1"}),
      compare_(compare), folder_(std::move(folder)), baseUrl_(std::move(baseUrl)) {}

bool frmMain::IsWebConnected(std::string& ConnType) {
  ConnType.clear();
  DWORD flags = 0;
  return InternetGetConnectedState(&flags, 0) != FALSE;
}

bool frmMain::DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile) {
  return newerly::FetchFile(sSourceUrl, sLocalFile, {}, nullptr, newerly::LargestList);
}

void frmMain::Command1_Click() {
  // The download lets window messages through while it waits: a second click, or a close, must
  // not start another check in the middle of this one.
  if (checking_) return;
  checking_ = true;
  Command1.SetEnabled(false);
  std::string url = baseUrl_ + "available.ini";
  std::string local = folder_ + declarations::AvailableFile;
  std::string ConnType;
  bool listed = false;
  if (!IsWebConnected(ConnType)) {
    ShowMessage("Active internet connection not detected - 01", "Error", MB_OK | MB_ICONSTOP);
  } else if (!DownloadFile(url, local)) {
    ShowMessage("Unable to download latest version list - 02", "Error", MB_OK | MB_ICONSTOP);
  } else {
    listed = true;
  }
  checking_ = false;
  Command1.SetEnabled(true);
  if (!listed) return;
  compare_.Show();
  // A list the compare window cannot use was reported there: the start window stays.
  if (compare_.Loaded()) Unload();
}

void frmMain::Form_Close() {
  if (!checking_) Unload();
}
