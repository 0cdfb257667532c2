// The main window: the product's pictures and the five buttons that reach everything else.
#pragma once

#include "controls.h"

struct Panel;

class frmMain : public PanelForm {
 public:
  explicit frmMain(Panel& panel);

 protected:
  // The title bar's close button leaves as "E&xit" does.
  void Form_Close() override { Command4_Click(); }

 private:
  winapp::Picture Picture1{this, "Picture1", {0, 0, 6600, 1200}, "MAINBANNER"};
  winapp::Picture Picture2{this, "Picture2", {360, 1500, 1440, 1440}, "MAINSHIELD"};
  winapp::Picture Picture3{this, "Picture3", {2040, 1620, 2040, 1200}, "MAINTRACES"};
  CmdButton Command1{this, "Command1", {4800, 1380, 1575, 375}, "&Settings", [this] { Command1_Click(); }};
  CmdButton Command2{this, "Command2", {4800, 1860, 1575, 375}, "&Clear Now", [this] { Command2_Click(); }};
  // Under "&Clear Now": what a run would erase, counted and shown by the clearing program.
  CmdButton Command5{this, "Command5", {4800, 2340, 1575, 375}, "&Analyze", [this] { Command5_Click(); }};
  CmdButton Command3{this, "Command3", {4800, 2820, 1575, 375}, "&About", [this] { Command3_Click(); }};
  CmdButton Command4{this, "Command4", {4800, 3300, 1575, 375}, "E&xit", [this] { Command4_Click(); }};

  Panel& panel_;

  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
};
