#include "frmUpdate.h"

#include "declarations.h"
#include "download.h"
#include "files.h"
#include "frmCompare.h"
#include "system.h"

using namespace winapp;
using namespace declarations;

frmUpdate::frmUpdate(frmCompare& compare, std::string folder, std::string baseUrl)
    : Form({.name = "frmUpdate", .caption = "Quietrail Update Checker", .client = {4560, 1140},
            .showInTaskbar = true}),
      compare_(compare), folder_(std::move(folder)), baseUrl_(std::move(baseUrl)) {}

bool frmUpdate::DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile, const ListedFile& listed) {
  // A program file replaces the installed one only when it is the very file the signed list
  // describes (its size and SHA-256) and a whole Windows program for this machine: an error
  // page, a cut file or another program never takes its place. A file that grows past its
  // listed size is given up at once.
  return newerly::FetchFile(
      sSourceUrl, sLocalFile,
      [&](const std::string&, const std::string& bytes) {
        return static_cast<long long>(bytes.size()) == listed.bytes && newerly::Sha256(bytes) == listed.hash &&
               newerly::IsProgramForThisBuild(bytes);
      },
      nullptr, listed.bytes);
}

void frmUpdate::Form_Load() {
  // Each opening of the window runs the sequence once.
  Timer1.SetTimerEnabled(true);
}

void frmUpdate::Timer1_Timer() {
  // The sequence runs once: the timer stops before the first download, and the downloads and
  // message boxes that let messages through cannot bring it round again.
  Timer1.SetTimerEnabled(false);
  if (running_) return;
  running_ = true;
  bool ok = DownloadUpdates() && RecordVersions() && DeleteFileA((folder_ + AvailableFile).c_str());
  running_ = false;
  if (ok) Succeeded();
  else Failed();
}

bool frmUpdate::DownloadUpdates() {
  for (const UpdatableProgram& p : Programs) {
    if (!*p.flag) continue;
    std::optional<ListedFile> listed = ReadListedFile(folder_ + AvailableFile, p);
    if (!listed || !DownloadFile(baseUrl_ + listed->name, folder_ + p.localFile, *listed)) return false;
  }
  return true;
}

// The new versions, and the serial of the list they came from, go into a copy of library.ini
// that replaces it whole, so that a failure on the way leaves the record as it was.
bool frmUpdate::RecordVersions() {
  std::string available = folder_ + AvailableFile;
  return EditThroughCopy(folder_ + LibraryFile, [&](const std::string& copy) {
    bool ok = true;
    for (const UpdatableProgram& p : Programs) {
      if (!*p.flag) continue;
      std::string version = ReadVersionKey(available, p.versionKey);
      ok = ok && WritePrivateProfileStringA(VersionSection, p.versionKey, version.c_str(), copy.c_str());
    }
    std::string serial = ReadListKey(available, "Serial");
    if (!serial.empty()) ok = ok && WritePrivateProfileStringA(VersionSection, "Serial", serial.c_str(), copy.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
    return ok;
  });
}

void frmUpdate::Succeeded() {
  ShowMessage("Update successfuly downloaded and installed!", "Quietrail Update Checker", MB_OK | MB_ICONINFORMATION);
  Hide();
  compare_.Hide();
  compare_.Unload();
  Unload();
  app::End();
}

void frmUpdate::Failed() {
  ShowMessage("Either this operation was cancelled, or there was a fatal error downloading a selected file.\r\n\r\n"
              "You may need to reinstall Quietrail.",
              "Download error", MB_OK | MB_ICONSTOP);
  Hide();
  Unload();
}

// Closing the window before the downloads start hands the compare window back; once they run
// they finish first.
void frmUpdate::Form_Close() {
  if (running_) return;
  Timer1.SetTimerEnabled(false);
  Hide();
  Unload();
}
