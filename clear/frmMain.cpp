#include "frmMain.h"

#include <wininet.h>


#include "cleaners.h"
#include "frmError.h"
#include "raii.h"
#include "settings.h"
#include "system.h"
#include "urlcache.h"

using namespace winapp;

// How long "Done" stays when the run names browsers it left alone: long enough to read the line.
constexpr UINT BrowsersNoticeInterval = 6000;

frmMain::frmMain(frmError& errorWindow, std::string folder, std::string commandText)
    : Form({.name = "frmMain", .caption = "Quietrail 2003", .client = {6360, 1725}}),
      errorWindow_(errorWindow), folder_(std::move(folder)), commandText_(std::move(commandText)) {
  pic2.SetVisible(false);
  List1.SetVisible(false);
}

void frmMain::Form_Load() {
  // Only the exact token starts a run: anything else ends the program at once, unseen.
  if (commandText_ != LaunchToken) {
    Unload();
    app::End();
    return;
  }
  ClearDialog = ReadFlag("ClearDialog");
  if (ClearDialog == 0) Hide();
}

void frmMain::SetProgressValue(short Percent) {
  Shape2.SetWidth(static_cast<float>(Percent / 100.0 * 3615));
}

void frmMain::ReadSettingsKey() {
  IniValue = ReadIniValue(InFolder(SettingsFileName), "Settings", IniKey.c_str());
}

short frmMain::ReadFlag(const char* key) {
  IniKey = key;
  ReadSettingsKey();
  return FlagValue(IniValue);
}

void frmMain::Timer1_Timer() {
  if (TickCount_ < 32767) ++TickCount_;
  if (TickCount_ == 1) {
    // The timer rests while the run works, so that nothing the platform does in between can
    // bring a tick into the middle of it, and starts anew when the run returns: the second tick
    // comes a full interval after the work, with its last step still to be seen until then.
    Timer1.SetTimerEnabled(false);
    Run();
    if (Loaded()) Timer1.SetTimerEnabled(true);
  } else if (TickCount_ == 2) {
    SetProgressValue(100);
    Label1.SetText("Done");
    pic1.SetVisible(false);
    pic2.SetVisible(true);
    if (!SkippedBrowsers.empty()) {
      lblBrowsers.SetText(SkippedBrowsers);
      Timer2.SetInterval(BrowsersNoticeInterval);
    }
    Timer2.SetTimerEnabled(true);
  }
}

void frmMain::Timer2_Timer() {
  Unload();
  app::End();
}

void frmMain::Run() {
  {
    // One look at the settings: a save in the panel falls wholly before it or after it.
    SettingsFilesLock lock;
    if (!SettingsFileExists(InFolder(SettingsFileName))) {
      ShowSettingsMissing();
      return;
    }
    HistoryFlag = ReadFlag("History");
    TmpIntFlag = ReadFlag("TmpInt");
    CookiesFlag = ReadFlag("Cookies");
    RecentFlag = ReadFlag("Recent");
    URLFlag = ReadFlag("URL");
    BrowsersFlag = ReadFlag("Browsers");
  }

  struct Step {
    short frmMain::*flag;
    short before;
    const char* label;
    void (frmMain::*operation)();
    short after;
  };
  static const Step steps[] = {
      {&frmMain::HistoryFlag, 10, "Deleting History...", &frmMain::ClearHistory, 20},
      {&frmMain::TmpIntFlag, 30, "Deleting Temporary Internet Files...", &frmMain::ClearTemporaryInterntFiles, 40},
      {&frmMain::CookiesFlag, 50, "Deleting Cookies...", &frmMain::ClearCookies, 60},
      {&frmMain::RecentFlag, 70, "Deleting Recent Documents List...", &frmMain::ClearRecentDocs, 80},
      {&frmMain::URLFlag, 90, "Deleting Typed URLs...", &frmMain::ClearTypedUrls, 100},
  };
  for (const Step& step : steps) {
    if (this->*step.flag != 1) continue;
    SetProgressValue(step.before);
    Label1.SetText(step.label);
    Refresh();
    (this->*step.operation)();
    SetProgressValue(step.after);
    Refresh();
  }
  // The other browsers come after the platform's own steps, in the same window.
  if (BrowsersFlag == 1) {
    Label1.SetText("Deleting Other Browsers' Data...");
    Refresh();
    SkippedBrowsers = ClearOtherBrowsers();
  }
  if (URLFlag == 1) {
    Label1.SetText("Done");
    Refresh();
  }
}

void frmMain::ShowSettingsMissing() {
  TickCount_ = 8;  // no later tick acts
  errorWindow_.Load();
  errorWindow_.SetMessage(SettingsMissingMessage(folder_));
  errorWindow_.Show();
  Unload();
}

// The work of a step happens inside one tick: show where the run is before it starts.
void frmMain::Refresh() {
  if (hwnd()) RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// ---------------------------------------------------------------------------------------------
// The cache steps

// The name a record points at, measured where it lies; the list copies it.
std::string_view frmMain::AnsiStringAt(const char* address) {
  if (!address) return {};
  return {address, static_cast<size_t>(lstrlenA(address))};
}

void frmMain::FillCacheList() {
  CacheNames.Clear();
  WalkUrlCache([this](const INTERNET_CACHE_ENTRY_INFOA& entry) {
    if (entry.CacheEntryType & NORMAL_CACHE_ENTRY) CacheNames.AddItem(AnsiStringAt(entry.lpszSourceUrlName));
  });
}

void frmMain::ClearTemporaryInterntFiles() {
  FillCacheList();
  int count = CacheNames.ListCount();
  for (int i = 0; i < count; ++i) {
    CacheEntryName = CacheNames.List(i);
    if (IsTemporaryFileEntry(CacheEntryName)) DeleteUrlCacheEntryA(CacheEntryName.data());
  }
}

void frmMain::ClearCookies() {
  FillCacheList();
  std::string path = InFolder(ExcludeFileName);
  // A list that cannot be made or read could be protecting any cookie: none is deleted then.
  // Made only where there is none: a list the panel saves at this moment is never emptied.
  if (!CreateFileIfMissing(path)) return;
  auto text = ReadExclusionText(path);
  if (!text) return;
  std::vector<std::string> entries = UpperCaseEntries(SplitAtCommas(*text));
  int count = CacheNames.ListCount();
  for (int i = 0; i < count; ++i) {
    CacheEntryName = CacheNames.List(i);
    if (!IsCookieEntry(CacheEntryName)) continue;
    if (!IsExcluded(CacheEntryName, entries)) DeleteUrlCacheEntryA(CacheEntryName.data());
  }
}

void frmMain::ClearHistory() {
  // A system without the URL history object keeps its history; the run goes on with the
  // other steps.
  ClearUrlHistory();
}

void frmMain::ClearRecentDocs() { ClearRecentDocsList(); }

std::string frmMain::ClearOtherBrowsers() {
  return ::ClearOtherBrowsers(folder_, {HistoryFlag, TmpIntFlag, CookiesFlag, RecentFlag, URLFlag});
}

void frmMain::ClearTypedUrls() {
  DeleteRegistryKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\TypedURLs");
}
