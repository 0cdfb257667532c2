// The compare window: installed and available versions side by side, a tick where an update is
// available, and the choice between "&Yes, update" and "E&xit".
#pragma once

#include <string>

#include "form.h"

class frmUpdate;

class frmCompare : public winapp::Form {
 public:
  frmCompare(frmUpdate& update, std::string folder);

  // The row state as the window shows it (tests and the download window's hand-back).
  bool TickShown(int row) const { return rowUpdate_[row]; }
  short TotalSizeKB() const { return TotalSizeKB_; }

 protected:
  void Form_Load() override;
  void Form_Close() override { Command1_Click(); }

 private:
  using Label = winapp::Label;
  using Picture = winapp::Picture;
  static constexpr winapp::FontSpec Bold{nullptr, 8, true};

  Label Label1{this, "Label1", {240, 180, 6360, 840},
               "The following table compares the version of Quietrail and various files n your PC to the most "
               "current ones.If you wish to download and install the available updates, simply select "
               "\"Yes, update\""};
  Label Label2{this, "Label2", {2520, 1140, 1335, 255}, "Your PC", {.font = Bold}};
  Label Label3{this, "Label3", {3840, 1140, 1080, 255}, "Available", {.font = Bold}};
  Label Label4{this, "Label4", {5040, 1140, 1680, 255}, "Update Available", {.align = winapp::Align::Centre, .font = Bold}};
  winapp::Shape Shape1{this, "Shape1", {240, 1440, 6360, 15}, RGB(3, 118, 222)};

  Label Label5{this, "Label5", {240, 1560, 2220, 255}, "Quietrail Version:"};
  Label Label6{this, "Label6", {240, 1980, 2220, 255}, "User Interface Version:"};
  Label Label7{this, "Label7", {240, 2400, 2220, 255}, "Launch Version:"};
  Label Label8{this, "Label8", {240, 2820, 2220, 255}, "Clear Version:"};
  Label Label9{this, "Label9", {240, 3240, 2220, 255}, "Browsers Module Version:"};

  Label lblQuietrailPC{this, "lblQuietrailPC", {2520, 1560, 1200, 375}, ""};
  Label lblPanelPC{this, "lblPanelPC", {2520, 1980, 1200, 375}, ""};
  Label lblLaunchPC{this, "lblLaunchPC", {2520, 2400, 1200, 375}, ""};
  Label lblClearPC{this, "lblClearPC", {2520, 2820, 1200, 375}, ""};
  Label lblBrowsersPC{this, "lblBrowsersPC", {2520, 3240, 1200, 375}, ""};
  Label lblQuietrailAvailable{this, "lblQuietrailAvailable", {3840, 1560, 1080, 375}, ""};
  Label lblPanelAvailable{this, "lblPanelAvailable", {3840, 1980, 1080, 375}, ""};
  Label lblLaunchAvailable{this, "lblLaunchAvailable", {3840, 2400, 1080, 375}, ""};
  Label lblClearAvailable{this, "lblClearAvailable", {3840, 2820, 1080, 375}, ""};
  Label lblBrowsersAvailable{this, "lblBrowsersAvailable", {3840, 3240, 1080, 375}, ""};

  Picture xQuietrail{this, "xQuietrail", {5760, 1545, 240, 240}, "CROSSPIC"};
  Picture xPanel{this, "xPanel", {5760, 1965, 240, 240}, "CROSSPIC"};
  Picture xLaunch{this, "xLaunch", {5760, 2385, 240, 240}, "CROSSPIC"};
  Picture xClear{this, "xClear", {5760, 2805, 240, 240}, "CROSSPIC"};
  Picture xBrowsers{this, "xBrowsers", {5760, 3225, 240, 240}, "CROSSPIC"};
  Picture tickQuietrail{this, "tickQuietrail", {5760, 1545, 240, 240}, "TICKPIC"};
  Picture tickPanel{this, "tickPanel", {5760, 1965, 240, 240}, "TICKPIC"};
  Picture tickLaunch{this, "tickLaunch", {5760, 2385, 240, 240}, "TICKPIC"};
  Picture tickClear{this, "tickClear", {5760, 2805, 240, 240}, "TICKPIC"};
  Picture tickBrowsers{this, "tickBrowsers", {5760, 3225, 240, 240}, "TICKPIC"};

  winapp::Button Command2{this, "Command2", {3360, 3960, 1575, 435}, "&Yes, update", [this] { Command2_Click(); }};
  winapp::Button Command1{this, "Command1", {5040, 3960, 1560, 435}, "E&xit", [this] { Command1_Click(); }};

  frmUpdate& update_;
  std::string folder_;

  // The values read back from the table.
  std::string QuietrailPC, PanelPC, LaunchPC, ClearPC;
  std::string QuietrailAvailable, PanelAvailable, LaunchAvailable;
  std::string BrowsersPC, BrowsersAvailable;
  long long ClearAvailable = 0;  // ten-thousandths
  short TotalSizeKB_ = 0;
  bool rowUpdate_[5] = {};

  void ShowRow(int row, bool update);
  void Command1_Click();
  void Command2_Click();
};
