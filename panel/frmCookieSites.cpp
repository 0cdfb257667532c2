#include "frmCookieSites.h"

#include <windows.h>

#include "panel.h"

using namespace winapp;

namespace {

// Posted by the reading thread to the window when the sites are read.
constexpr UINT SitesReadMessage = WM_APP + 30;

}  // namespace

// The reading runs on a thread of its own: walking a large URL cache takes a while (the platform
// answers entry by entry), and the window stays responsive meanwhile. The window and the thread
// share the record; whichever lets go of it last frees it, so a window closed before the reading
// ends leaves the thread nothing to write to but the record (its message then finds no window, or
// a window that is reading no more).
struct frmCookieSites::Reading {
  std::string folder;
  std::string listText;
  HWND window;
  CookieSites found;
  LONG done = 0;
  LONG holders = 2;

  static void LetGo(Reading* r) {
    if (InterlockedDecrement(&r->holders) == 0) delete r;
  }
  static DWORD WINAPI Run(void* p) {
    auto* r = static_cast<Reading*>(p);
    r->found = ReadCookieSites(r->folder, r->listText);
    InterlockedExchange(&r->done, 1);
    PostMessageA(r->window, SitesReadMessage, 0, 0);
    LetGo(r);
    return 0;
  }
};

frmCookieSites::frmCookieSites(Panel& panel, ListTextBox& listText)
    : PanelForm({.name = "frmCookieSites", .caption = "Sites with cookies", .client = {6120, 5040},
                 .defaultButton = "Command1", .cancelButton = "Command2"}),
      panel_(panel), listText_(listText) {}

frmCookieSites::~frmCookieSites() { StopReading(); }

void frmCookieSites::Form_Load() {
  listed_ = false;
  sites_.clear();
  lblStatus.SetText("Reading the cookies...");
  reading_ = new Reading{panel_.folder, listText_.Text(), hwnd(), {}};
  HANDLE thread = CreateThread(nullptr, 0, Reading::Run, reading_, 0, nullptr);
  if (thread) {
    CloseHandle(thread);
    return;
  }
  // No thread to be had: the reading is done here, and the window shows once it is over.
  Reading::Run(reading_);
  Sites_Read();
}

bool frmCookieSites::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg != SitesReadMessage) return PanelForm::OnMessage(msg, wp, lp, result);
  Sites_Read();
  return true;
}

void frmCookieSites::Sites_Read() {
  if (!reading_ || !InterlockedCompareExchange(&reading_->done, 0, 0)) return;
  CookieSites found = std::move(reading_->found);
  StopReading();
  ShowSites(std::move(found));
}

void frmCookieSites::ShowSites(CookieSites found) {
  sites_ = std::move(found.sites);
  char text[64];
  lstSites.SetRedraw(false);
  lstSites.Clear();
  for (const CookieSite& site : sites_) {
    wsprintfA(text, "%lu", site.cookies);
    lstSites.AddRow({site.name.c_str(), text}, site.kept);
  }
  lstSites.SetRedraw(true);
  std::string status;
  if (found.read) {
    wsprintfA(text, sites_.size() == 1 ? "%lu site has cookies." : "%lu sites have cookies.",
              static_cast<unsigned long>(sites_.size()));
    status = sites_.empty() ? "No site has cookies now." : text;
    if (!sites_.empty()) status += " Sites the list keeps are ticked; unticking one does not remove its entry.";
    if (!found.leftOut.empty()) status += "\r\n";
  }
  lblStatus.SetText(status + found.leftOut);
  listed_ = true;
}

void frmCookieSites::StopReading() {
  if (reading_) Reading::LetGo(reading_);
  reading_ = nullptr;
}

void frmCookieSites::Command1_Click() {
  std::string text = listText_.Text();
  bool added = false;
  for (size_t i = 0; i < sites_.size(); ++i)
    if (!sites_[i].kept && lstSites.Checked(static_cast<int>(i))) {
      AddEntry(text, sites_[i].name);
      added = true;
    }
  if (added) listText_.SetText(text);
  Hide();
  Unload();
}

void frmCookieSites::Command2_Click() {
  Hide();
  Unload();
}

void frmCookieSites::Form_Unload() { StopReading(); }
