#include "frmUpdate.h"

#include <optional>
#include <vector>

#include "declarations.h"
#include "download.h"
#include "files.h"
#include "frmCompare.h"
#include "modulelock.h"
#include "system.h"

using namespace winapp;
using namespace declarations;

frmUpdate::frmUpdate(frmCompare& compare, std::string folder, std::string baseUrl)
    : Form({.name = "frmUpdate", .caption = "Quietrail Update Checker", .client = {4560, 1140},
            .showInTaskbar = true}),
      compare_(compare), folder_(std::move(folder)), baseUrl_(std::move(baseUrl)) {}

namespace {

// The names an update puts beside a file it replaces: the download on its way, then the checked
// bytes, flushed, waiting for every other file to be ready too.
std::string DownloadingName(const std::string& target) { return target + ".download"; }
std::string StagedName(const std::string& target) { return target + ".new"; }

}  // namespace

bool frmUpdate::DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile, const ListedFile& listed,
                             bool library) {
  // A file is taken only when it is the very file the signed list describes (its size and
  // SHA-256) and a whole Windows program (or, for the browser module, library) for this machine:
  // an error page, a cut file or another program never takes its place. A file that grows past
  // its listed size is given up at once. What passed waits beside the installed file, flushed to
  // the disk, until every chosen file has come.
  std::string bytes;
  return newerly::FetchBytes(
             sSourceUrl, DownloadingName(sLocalFile), bytes,
             [&](const std::string& got) {
               return static_cast<long long>(got.size()) == listed.bytes && newerly::Sha256(got) == listed.hash &&
                      newerly::IsImageForThisBuild(got, library);
             },
             nullptr, listed.bytes) &&
         WriteFlushedFile(StagedName(sLocalFile), bytes);
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
  bool ok = InstallUpdates();
  running_ = false;
  if (!ok) {
    Failed();
    return;
  }
  // The update is in place whether or not the list goes: one left behind is never used without a
  // new check, so a list that cannot be deleted is no failure.
  DeleteFileA((folder_ + AvailableFile).c_str());
  Succeeded();
}

void frmUpdate::RemoveStaged() {
  for (const UpdatableProgram& p : Programs) {
    std::string target = folder_ + p.localFile;
    DeleteFileA(DownloadingName(target).c_str());
    DeleteFileA(StagedName(target).c_str());
  }
}

bool frmUpdate::InstallUpdates() {
  std::vector<const UpdatableProgram*> chosen;
  for (const UpdatableProgram& p : Programs)
    if (*p.flag) chosen.push_back(&p);
  // What an interrupted update left beside the files goes first, and what this one staged goes
  // whatever happens.
  RemoveStaged();
  bool ok = DownloadUpdates(chosen) && ReplaceFiles(chosen);
  RemoveStaged();
  return ok;
}

bool frmUpdate::DownloadUpdates(const std::vector<const UpdatableProgram*>& chosen) {
  for (const UpdatableProgram* p : chosen) {
    std::optional<ListedFile> listed = ReadListedFile(folder_ + AvailableFile, *p);
    if (!listed || !DownloadFile(baseUrl_ + listed->name, folder_ + p->localFile, *listed, p->library)) return false;
  }
  return true;
}

// Every chosen file is staged: now they are moved into place one after another, and library.ini is
// written last. A move that fails (a program running, a module in use) puts back the files moved
// before it, so the set stays as it was. Should the machine stop between two moves, the files
// moved are new and library.ini still names the old versions: the next check offers the same
// rows again and installs them whole.
bool frmUpdate::ReplaceFiles(const std::vector<const UpdatableProgram*>& chosen) {
  // The browser module is replaced only while no clearing run holds it.
  std::optional<BrowsersModuleLock> moduleLock;
  if (*BrowsersModule.flag) {
    moduleLock.emplace(folder_, 3000);
    if (!moduleLock->Held()) return false;
  }
  std::vector<FileContent> old;
  for (const UpdatableProgram* p : chosen) {
    old.push_back(ReadWholeFile(folder_ + p->localFile, static_cast<size_t>(newerly::LargestProgram)));
    if (old.back().state == FileContent::Unreadable) return false;
  }
  size_t moved = 0;
  while (moved < chosen.size()) {
    std::string target = folder_ + chosen[moved]->localFile;
    if (!MoveOverFile(StagedName(target), target)) break;
    ++moved;
  }
  if (moved == chosen.size() && RecordVersions()) return true;
  for (size_t i = 0; i < moved; ++i) {
    std::string target = folder_ + chosen[i]->localFile;
    if (old[i].read()) ReplaceWholeFile(target, old[i].bytes);
    else DeleteFileA(target.c_str());
  }
  return false;
}

// The new versions, and the serial of the list they came from (read from the list's bytes as
// they were checked), go into a copy of library.ini that replaces it whole, so that a failure on
// the way leaves the record as it was.
bool frmUpdate::RecordVersions() {
  std::string available = folder_ + AvailableFile;
  FileContent list = ReadWholeFile(available, static_cast<size_t>(newerly::LargestList));
  std::optional<long long> serial = list.read() ? SerialOf(list.bytes) : std::nullopt;
  return EditThroughCopy(folder_ + LibraryFile, [&](const std::string& copy) {
    bool ok = true;
    for (const UpdatableProgram& p : Programs) {
      if (!*p.flag) continue;
      std::string version = ReadVersionKey(available, p.versionKey);
      ok = ok && WritePrivateProfileStringA(VersionSection, p.versionKey, version.c_str(), copy.c_str());
    }
    if (serial)
      ok = ok && WritePrivateProfileStringA(VersionSection, "Serial", std::to_string(*serial).c_str(), copy.c_str());
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
