// The welcome window: shown instead of the main window until the user confirms it once; it lays
// down the first-run settings file when it loads.
#pragma once

#include "controls.h"

struct Panel;

class frmWelcome : public PanelForm {
 public:
  explicit frmWelcome(Panel& panel);

 protected:
  void Form_Load() override;
  void Form_Unload() override { Login.Release(); }
  // Closed without "&Continue", nothing is stored; as the only window, it ends the program.
  void Form_Close() override { Unload(); }

 private:
  using Label = winapp::Label;
  winapp::Picture Picture1{this, "Picture1", {240, 240, 960, 960}, "WELCOMEPIC"};
  Label Label1{this, "Label1", {1440, 300, 6480, 375}, "Welcome to Quietrail 2003!",
               {.font = {.points = 14, .bold = true}}};
  Label Label2{this, "Label2", {1440, 840, 6480, 615},
               "Quietrail's Help is written for first-time users and for users of the previous edition alike. "
               "If you already know the program, see the Help section \"What's New\"."};
  Label Label3{this, "Label3", {1440, 1530, 6480, 255}, "If you're a beginner, see the \"Getting Started\"Section."};
  Label Label4{this, "Label4", {1440, 1860, 6480, 435},
               "Quietrail 2003 is freeware: you are welcome to pass it on to your friends, family and colleagues."};
  Label Label5{this, "Label5", {1440, 2370, 6480, 435},
               "Its use remains subject to the licence agreement that you accepted during setup."};
  Label Label6{this, "Label6", {1440, 2880, 6480, 255}, "This message will only appear once.",
               {.font = {.bold = true}}};
  winapp::Shape Line1{this, "Line1", {240, 3270, 7680, 15}, RGB(3, 118, 222)};
  Label Label7{this, "Label7", {240, 3390, 7680, 435},
               "Quietrail has detected that you have updated to a newer version of User Interface. "
               "This is version 1.14. Update Summary:"};
  Label Label8{this, "Label8", {480, 3900, 7440, 255}, "Version 1.14 - Exclude specific cookies from particular websites."};
  Label Label9{this, "Label9", {480, 4170, 7440, 255}, "Version 1.13 - Minor Panel Fix."};
  Label Label10{this, "Label10", {480, 4440, 7440, 255},
                "Version 1.12 - Choose to hide \"Now clearing selected directories...\" dialog."};
  Label Label11{this, "Label11", {480, 4710, 7440, 255},
                "Version 1.11 - Choose to clear the URL dropdown list in Internet Explorer,"};
  Label Label12{this, "Label12", {1560, 4980, 6360, 255}, "plus numerous bug fixes."};
  winapp::Shape Line2{this, "Line2", {240, 5340, 7680, 15}, RGB(3, 118, 222)};
  CmdButton Command1{this, "Command1", {6705, 5520, 1215, 375}, "&Continue", [this] { Command1_Click(); }};
  LoginControl Login;

  Panel& panel_;

  void Command1_Click();
};
