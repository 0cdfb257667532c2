#include "frmUpdate.h"

#include "declarations.h"
#include "download.h"
#include "frmCompare.h"
#include "system.h"

using namespace winapp;
using namespace declarations;

namespace {

// The programs that can be updated, in the order they are handled.
struct Program {
  bool* flag;
  const char* fileKey;
  const char* localFile;
  const char* versionKey;
};
const Program Programs[] = {
    {&UpdatePanel, "PanelFile", "\\panel.exe", "PanelVer"},
    {&UpdateLaunch, "LaunchFile", "\\Launch.exe", "LaunchVer"},
    {&UpdateClear, "ClearFile", "\\clear.exe", "ClearVer"},
};

}  // namespace

frmUpdate::frmUpdate(frmCompare& compare, std::string folder, std::string baseUrl)
    : Form({.name = "frmUpdate", .caption = "Quietrail Update Checker", .client = {4560, 1140}}),
      compare_(compare), folder_(std::move(folder)), baseUrl_(std::move(baseUrl)) {}

std::string frmUpdate::ReadIniValue(const std::string& path, const char* key) const {
  return ReadVersionKey(path, key);
}

bool frmUpdate::DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile) {
  // A program file replaces the installed one only when it is a whole Windows program for this
  // machine: an error page or a cut file never takes its place.
  return newerly::FetchFile(sSourceUrl, sLocalFile, newerly::IsProgramForThisBuild);
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
  for (const Program& p : Programs) {
    if (!*p.flag) continue;
    std::string name = ReadIniValue(folder_ + AvailableFile, p.fileKey);
    if (!IsServerFileName(name)) return false;
    if (!DownloadFile(baseUrl_ + name, folder_ + p.localFile)) return false;
  }
  return true;
}

// The new versions go into a copy of library.ini that replaces it whole, so that a failure on
// the way leaves the record as it was.
bool frmUpdate::RecordVersions() {
  std::string library = folder_ + LibraryFile;
  std::string next = library + ".new";
  // The copy takes the record's attributes: a copy of a read-only library.ini could be neither
  // written nor removed, and would be left behind to block every later update.
  SetFileAttributesA(next.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(next.c_str());
  if (FileExists(library) && !CopyFileA(library.c_str(), next.c_str(), FALSE)) return false;
  SetFileAttributesA(next.c_str(), FILE_ATTRIBUTE_NORMAL);
  bool ok = true;
  for (const Program& p : Programs) {
    if (!*p.flag) continue;
    std::string version = ReadIniValue(folder_ + AvailableFile, p.versionKey);
    ok = ok && WritePrivateProfileStringA(VersionSection, p.versionKey, version.c_str(), next.c_str());
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, next.c_str());
  ok = ok && MoveFileExA(next.c_str(), library.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileA(next.c_str());
  return ok;
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
  compare_.SetEnabled(true);
  Unload();
  compare_.SetFocus();
}

// Closing the window before the downloads start hands the compare window back; once they run
// they finish first.
void frmUpdate::Form_Close() {
  if (running_) return;
  Timer1.SetTimerEnabled(false);
  Hide();
  compare_.SetEnabled(true);
  Unload();
  compare_.SetFocus();
}
