// The start window: the banner, a few words on what the program does and "Check for updates",
// which tests the connection, fetches the version list and hands over to the compare window.
#pragma once

#include <string>

#include "download.h"
#include "declarations.h"
#include "form.h"
#include "signature.h"

class frmCompare;

class frmMain : public winapp::Form {
 public:
  // `folder` is the program folder, `baseUrl` the update folder on the server (ending in "/"),
  // `key` the publisher's key whose signature the version list must carry, `minimumSerial` the
  // lowest serial of a list this program takes even where no update was ever recorded.
  frmMain(frmCompare& compare, std::string folder, std::string baseUrl, const newerly::UpdateKey& key,
          long long minimumSerial = 0);

  // Whether the machine is connected; `ConnType` is set to empty and not otherwise filled.
  // Virtual so that a test can stand in for a machine without a connection.
  virtual bool IsWebConnected(std::string& ConnType);
  bool DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile,
                    const newerly::Acceptance& acceptable = {});

 protected:
  void Form_Close() override;

 private:
  winapp::Picture Image1{this, "Image1", {0, 0, 6000, 1200}, "BANNERPIC"};
  winapp::Label Label1{this, "Label1", {240, 1380, 5520, 855},
                       "Welcome to the Quietrail Update checker. This program will check for updates for the "
                       "Quietrail 2003 program and then download and install them if found."};
  winapp::Label Label2{this, "Label2", {240, 2340, 5520, 495},
                       "For this program to begin checking for updates, you must be connected to the internet."};
  winapp::Label Label3{this, "Label3", {240, 3495, 3015, 255}, "Quietrail Update Engine 1.0",
                       {.colour = RGB(40, 70, 120)}};
  winapp::Button Command1{this, "Command1", {3600, 3360, 2160, 495}, "Check for updates",
                          [this] { Command1_Click(); }};

  frmCompare& compare_;
  std::string folder_;
  std::string baseUrl_;
  newerly::UpdateKey key_;
  long long minimumSerial_;
  bool checking_ = false;

  void Command1_Click();
  // Fetches the version list and its signature; the message of what went wrong, or null when the
  // list passed every check and is in the program folder.
  const char* FetchSignedList();
  // One fetch of the signature and the list: the verdict on the list, or NotFetched with the
  // message of what kept it away in `problem`.
  declarations::ListVerdict FetchListOnce(long long floor, const char*& problem);
};
