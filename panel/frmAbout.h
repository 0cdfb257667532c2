// The about box: version, build date, web address, support contact and the rights notice.
#pragma once

#include "controls.h"

struct Panel;

// Shown in the about box and in the unexpected-error message.
constexpr const char* WebAddress = "http://www.quietrail.example/";
constexpr const char* SupportAddress = "support@quietrail.example";

class frmAbout : public PanelForm {
 public:
  explicit frmAbout(Panel& panel);

 protected:
  void Form_Load() override;

 private:
  winapp::Picture Picture1{this, "Picture1", {240, 240, 960, 960}, "ABOUTPIC"};
  winapp::Label lblTitle{this, "lblTitle", {1440, 240, 3600, 375}, "Quietrail 2003",
                         {.font = {.points = 14, .bold = true}}};
  winapp::Label Label1{this, "Label1", {1440, 780, 1695, 255}, "Version:"};
  winapp::Label lblVersion{this, "lblVersion", {3240, 780, 2760, 255}, "1.14"};
  winapp::Label Label2{this, "Label2", {1440, 1080, 1695, 255}, "Build Date:"};
  winapp::Label lblBuildDate{this, "lblBuildDate", {3240, 1080, 2760, 255}, "April 2003"};
  winapp::Label Label3{this, "Label3", {1440, 1380, 1695, 255}, "URL:"};
  winapp::Label lblURL{this, "lblURL", {3240, 1380, 2760, 255}, WebAddress};
  winapp::Label Label4{this, "Label4", {1440, 1680, 1695, 255}, "Support Contact:"};
  winapp::Label lblSupport{this, "lblSupport", {3240, 1680, 2760, 255}, SupportAddress};
  winapp::Shape Line1{this, "Line1", {240, 2100, 5760, 15}, RGB(3, 118, 222)};
  // Its text, with the copyright sign, is set at load in the code page the panel runs in.
  winapp::Label lblRights{this, "lblRights", {240, 2220, 5760, 615}, ""};
  CmdButton Command1{this, "Command1", {4785, 2940, 1215, 375}, "&OK", [this] { Command1_Click(); }};

  Panel& panel_;

  void Command1_Click();
};
