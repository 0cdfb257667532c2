// The progress window of a clearing run: it checks the launch token, reads which traces to erase,
// erases them one after another at its first timer tick while the bar advances, shows "Done" at
// the second, and ends the program 550 ms later.
#pragma once

#include <string>

#include "cleaners.h"
#include "form.h"
#include "nameList.h"
#include "programs.h"

class frmError;


class frmMain : public winapp::Form {
 public:
  // `folder` is the program folder and `commandText` the program's argument text.
  frmMain(frmError& errorWindow, std::string folder, std::string commandText);

  void SetProgressValue(short Percent);

  // The five erasing operations of a run (virtual so that a test can watch the run call them).
  virtual void ClearHistory();
  virtual void ClearTemporaryInterntFiles();
  virtual void ClearCookies();
  virtual void ClearRecentDocs();
  virtual void ClearTypedUrls();
  // The other browsers' step (Browsers = 1): returns the line naming the browsers left alone.
  virtual std::string ClearOtherBrowsers();

  short TickCount() const { return TickCount_; }
  // What the run erased so far, all steps and browsers together.
  Tally Total() const;

 protected:
  void Form_Load() override;

 private:
  // The longest step text does not fit the label's design width on one line: the label grows
  // downwards to show it whole.
  winapp::Label Label1{this, "Label1", {2160, 480, 2295, 255}, "Initializing...", {.fit = winapp::Fit::GrowHeight}};
  winapp::Shape Shape1{this, "Shape1", {1373, 1080, 3615, 375}, RGB(188, 227, 254)};
  winapp::Shape Shape2{this, "Shape2", {1380, 1080, 15, 375}, RGB(3, 118, 222)};
  winapp::Picture pic1{this, "pic1", {5040, 120, 855, 855}, "ACTIVITYPIC"};
  winapp::Picture pic2{this, "pic2", {5280, 360, 495, 495}, "DONEPIC"};
  // The window's hidden list box stays part of it, empty: the cache steps keep their names in
  // CacheNames, since every message to the box costs a server round trip under Wine, several per
  // name, and nothing anyone sees reads it.
  winapp::ListBox List1{this, "List1", {0, 0, 1200, 900}};
  // Under the bar: the browsers a run had to leave alone, shown with "Done".
  // Under the bar with "Done": what the run erased, then the browsers it had to leave alone.
  winapp::Label lblResult{this, "lblResult", {120, 1470, 6120, 240}, ""};
  winapp::Label lblBrowsers{this, "lblBrowsers", {120, 1710, 6120, 240}, ""};
  winapp::Timer Timer1{this, "Timer1", 850, true, [this] { Timer1_Timer(); }};
  winapp::Timer Timer2{this, "Timer2", 550, false, [this] { Timer2_Timer(); }};

  frmError& errorWindow_;
  std::string folder_;
  std::string commandText_;
  std::string IniKey;
  std::string IniValue;
  short ClearDialog = 0;
  short HistoryFlag = 0, TmpIntFlag = 0, CookiesFlag = 0, RecentFlag = 0, URLFlag = 0, BrowsersFlag = 0;
  std::string SkippedBrowsers;

 protected:
  // What each step erased; the steps add to them.
  Tally TmpIntCount, CookiesCount, RecentCount, URLCount;
  BrowserTally BrowsersCount{};

 private:
  short TickCount_ = 0;
  // Working storage of the cache steps: the names of the last walk, and the one being examined
  // (a view into the list, NUL-terminated).
  NameList CacheNames;

  void Timer1_Timer();
  void Timer2_Timer();
  void Run();
  void ShowSettingsMissing();
  std::string InFolder(const char* name) const { return folder_ + "\\" + name; }
  void ReadSettingsKey();
  short ReadFlag(const char* key);
  void FillCacheList();
  void Refresh();
};
