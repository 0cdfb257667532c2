#include "frmMain.h"

#include <wininet.h>


#include "cleaners.h"
#include "frmError.h"
#include "raii.h"
#include "settings.h"
#include "system.h"
#include "urlcache.h"

using namespace winapp;

// How long "Done" stays with its line of result, and with the browsers the run left alone besides:
// long enough to read them.
constexpr UINT ResultNoticeInterval = 4000;
constexpr UINT BrowsersNoticeInterval = 6000;

frmMain::frmMain(frmError& errorWindow, std::string folder, std::string commandText)
    : Form({.name = "frmMain", .caption = "Quietrail 2003", .client = {6360, 1965}}),
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
    Tally total = Total();
    lblResult.SetText(ResultLine(total.items, total.bytes, total.kept));
    Timer2.SetInterval(ResultNoticeInterval);
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

void frmMain::FillCacheList() { FillCacheNames(CacheNames); }

void frmMain::ClearTemporaryInterntFiles() {
  FillCacheList();
  ClearTemporaryEntries(CacheNames, TmpIntCount);
}

void frmMain::ClearCookies() {
  FillCacheList();
  std::vector<std::string> entries;
  if (!ReadKeepList(folder_, entries)) return;
  ClearCookieEntries(CacheNames, entries, CookiesCount);
}

Tally frmMain::Total() const {
  Tally total;
  for (const Tally* t : {&TmpIntCount, &CookiesCount, &RecentCount, &URLCount}) {
    total.items += t->items;
    total.bytes += t->bytes;
    total.kept += t->kept;
  }
  if (BrowsersCount.size)
    for (const BrowserCounts& c : BrowsersCount.Browser) {
      Tally b = BrowserTotal(c);
      total.items += b.items;
      total.bytes += b.bytes;
      total.kept += b.kept;
    }
  return total;
}

void frmMain::ClearHistory() {
  // A system without the URL history object keeps its history; the run goes on with the
  // other steps.
  ClearUrlHistory();
}

void frmMain::ClearRecentDocs() { ClearRecentDocsList(&RecentCount); }

std::string frmMain::ClearOtherBrowsers() {
  return ::ClearOtherBrowsers(folder_, {HistoryFlag, TmpIntFlag, CookiesFlag, RecentFlag, URLFlag}, &BrowsersCount);
}

void frmMain::ClearTypedUrls() {
  ClearTypedUrlList(&URLCount);
}
