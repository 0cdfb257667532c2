// The cookie exclusion editor: the list of texts that keep a cookie, edited as one text of
// entries separated by commas.
#pragma once

#include "controls.h"
#include "frmCookieSites.h"

struct Panel;

class frmCookieExclude : public PanelForm {
 public:
  explicit frmCookieExclude(Panel& panel);

  // "&Sites with cookies...": the sites to pick entries from.
  frmCookieSites Sites;

 protected:
  void Form_Load() override;

 private:
  winapp::Label Label1{this, "Label1", {240, 180, 5640, 615},
                       "This tool is used to ensure that cookies you need aren't deleted. You can enter a text "
                       "string, and if that text appears in the title of a cookie, that cookie won't be deleted."};
  winapp::Label Label2{this, "Label2", {240, 870, 5640, 435},
                       "Please enter the text to search for (eg. yahoo) followed by a comma (,). You can include "
                       "as many exclusion items as you wish."};
  winapp::Label Label3{this, "Label3", {240, 1380, 5640, 615},
                       "Tip: it is often better to enter only the distinctive part of a website's name, such as "
                       "amazon, than its full host name, such as www.amazon.com."};
  ListTextBox txtExclude{this, "txtExclude", {240, 2100, 5640, 1875}, {}};
  CmdButton cmdSites{this, "cmdSites", {240, 4140, 1935, 375}, "&Sites with cookies...", [this] { cmdSites_Click(); }};
  CmdButton Command1{this, "Command1", {3345, 4140, 1215, 375}, "&OK", [this] { Command1_Click(); }};
  CmdButton Command2{this, "Command2", {4665, 4140, 1215, 375}, "&Cancel", [this] { Command2_Click(); }};

  Panel& panel_;

  void Command1_Click();
  void Command2_Click();
  void cmdSites_Click();
  void CloseEditor();
};
