#include "frmMain.h"

#include <wininet.h>

#include <algorithm>

#include "declarations.h"
#include "download.h"
#include "frmCompare.h"

using namespace winapp;
using namespace declarations;

frmMain::frmMain(frmCompare& compare, std::string folder, std::string baseUrl, const newerly::UpdateKey& key,
                 long long minimumSerial)
    : Form({.name = "frmMain", .caption = "Quietrail Update Checker", .client = {6000, 4080},
            .defaultButton = "Command1"}),
      compare_(compare), folder_(std::move(folder)), baseUrl_(std::move(baseUrl)), key_(key),
      minimumSerial_(minimumSerial) {}

bool frmMain::IsWebConnected(std::string& ConnType) {
  ConnType.clear();
  DWORD flags = 0;
  return InternetGetConnectedState(&flags, 0) != FALSE;
}

bool frmMain::DownloadFile(const std::string& sSourceUrl, const std::string& sLocalFile,
                           const newerly::Acceptance& acceptable) {
  return newerly::FetchFile(sSourceUrl, sLocalFile, acceptable, nullptr, newerly::LargestList);
}

namespace {
const char* const NoList = "Unable to download latest version list - 02";
}

ListVerdict frmMain::FetchListOnce(long long floor, const char*& problem) {
  std::string signature;
  newerly::DownloadReport report;
  if (!newerly::FetchBytes(baseUrl_ + "available.sig", folder_ + "\\available.sig.download", signature, {}, &report,
                           newerly::LargestSignature)) {
    problem = report.status == 404 || report.status == 410
                  ? "The latest version list is not signed and cannot be trusted - 05"
                  : NoList;
    return ListVerdict::NotFetched;
  }
  ListVerdict verdict = ListVerdict::NotFetched;
  bool taken = DownloadFile(baseUrl_ + "available.ini", folder_ + AvailableFile, [&](const std::string& bytes) {
    verdict = CheckList(bytes, signature, key_, floor);
    return verdict == ListVerdict::Accepted;
  });
  if (taken) return ListVerdict::Accepted;
  problem = NoList;
  // A list that passed but could not be put into the folder was not fetched.
  return verdict == ListVerdict::Accepted ? ListVerdict::NotFetched : verdict;
}

const char* frmMain::FetchSignedList() {
  // Whoever can put files into the update folder, or stand between it and this machine, must not
  // be able to offer programs: the list is taken only with the publisher's signature of its very
  // bytes, and only if it is not older than the last one installed, nor than the release this
  // program came with (no way back to an old, perhaps flawed, release, not even right after
  // setup wrote a fresh library.ini).
  std::optional<long long> lastSerial = RecordedSerial(folder_ + LibraryFile);
  if (!lastSerial) return "The record of installed versions is missing or damaged - 04";
  long long floor = std::max(*lastSerial, minimumSerial_);
  const char* problem = nullptr;
  ListVerdict verdict = FetchListOnce(floor, problem);
  // A list and a signature of two publications (fetched during a publish, or from a mirror that
  // kept them for different times) do not match: both are asked for once more before the list is
  // called forged.
  if (verdict == ListVerdict::BadSignature) verdict = FetchListOnce(floor, problem);
  switch (verdict) {
    case ListVerdict::Accepted:
      return nullptr;
    case ListVerdict::BadSignature:
      return "The latest version list failed its signature check and cannot be trusted - 06";
    case ListVerdict::Older:
      return "The latest version list is older than the one already installed - 07";
    case ListVerdict::NoSerial:
      return "The latest version list is damaged and cannot be used - 03";
    default:
      return problem ? problem : NoList;
  }
}

void frmMain::Command1_Click() {
  // The download lets window messages through while it waits: a second click, or a close, must
  // not start another check in the middle of this one.
  if (checking_) return;
  checking_ = true;
  Command1.SetEnabled(false);
  std::string ConnType;
  bool listed = false;
  if (!IsWebConnected(ConnType)) {
    ShowMessage("Active internet connection not detected - 01", "Error", MB_OK | MB_ICONSTOP);
  } else if (const char* problem = FetchSignedList()) {
    ShowMessage(problem, "Error", MB_OK | MB_ICONSTOP);
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
