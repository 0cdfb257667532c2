// The sites that have cookies now, each with a tick: the keep-list built by picking sites rather
// than by typing parts of their names from memory. Opened from the cookie exclusion editor; OK
// adds the newly ticked sites to the editor's text (the editor's own OK saves it).
#pragma once

#include "checklist.h"
#include "controls.h"
#include "cookieSites.h"

struct Panel;

class frmCookieSites : public PanelForm {
 public:
  frmCookieSites(Panel& panel, ListTextBox& listText);
  ~frmCookieSites() override;

  // Whether the sites have been read and listed.
  bool Listed() const { return listed_; }

 protected:
  void Form_Load() override;
  void Form_Unload() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  using Label = winapp::Label;
  Label Label1{this, "Label1", {240, 180, 5640, 615},
               "Tick the sites whose cookies you want to keep. An entry keeps the cookies of every host that "
               "contains it: example.com also keeps www.example.com and mail.example.com."};
  static constexpr winapp::CheckListColumn SiteColumns[] = {{"Site", 4215}, {"Cookies", 1080, true}};
  winapp::CheckList lstSites{this, "lstSites", {240, 900, 5640, 2775}, SiteColumns};
  Label lblStatus{this, "lblStatus", {240, 3780, 5640, 615}, ""};
  CmdButton Command1{this, "Command1", {3345, 4500, 1215, 375}, "&OK", [this] { Command1_Click(); }};
  CmdButton Command2{this, "Command2", {4665, 4500, 1215, 375}, "&Cancel", [this] { Command2_Click(); }};

  struct Reading;
  Panel& panel_;
  ListTextBox& listText_;
  Reading* reading_ = nullptr;
  std::vector<CookieSite> sites_;
  bool listed_ = false;

  void Command1_Click();
  void Command2_Click();
  void Sites_Read();
  void ShowSites(CookieSites found);
  void StopReading();
};
