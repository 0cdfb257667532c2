// The Analyze window: what a clearing run started now would erase, counted by the run's own steps
// without changing anything, one row per trace and per browser, each with a bar, and a total. The
// counting runs on a thread of its own while the window shows how far it is; "&Clear Now" then
// starts the run as the panel's button does.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "cleaners.h"
#include "form.h"
#include "xpcmdbutton.h"

class frmAnalyze : public winapp::Form {
 public:
  // Rows: the five traces of the platform, then the browsers found (the last row adds up those
  // that do not fit).
  static constexpr int TraceRows = 5, BrowserRows = 8, Rows = TraceRows + BrowserRows;

  frmAnalyze(std::string folder, std::string commandText);
  ~frmAnalyze() override;

  // What the counting found, as the window shows it (for tests: valid once Counted()).
  struct Row {
    std::string name, detail;
    Tally tally;
    bool shown = false;
  };
  const std::array<Row, Rows>& Found() const { return rows_; }
  Tally Total() const;
  bool Counted() const { return counted_; }

 protected:
  void Form_Load() override;
  void Form_Close() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  // Starts the clearing program (a test watches it instead).
  virtual void StartRun();

 private:
  winapp::Label lblTitle{this, "lblTitle", {120, 120, 14160, 240}, "A clearing run with the current settings would erase:"};
  std::array<std::unique_ptr<winapp::Label>, Rows> lblName, lblCount;
  std::array<std::unique_ptr<winapp::Shape>, Rows> shpBar;
  winapp::Label lblTotal{this, "lblTotal", {120, 4440, 12540, 240}, "", {.font = {.bold = true}}};
  winapp::Label lblStatus{this, "lblStatus", {120, 4800, 10800, 240}, "Counting..."};
  winapp::Shape shpTrack{this, "shpTrack", {120, 5100, 10800, 120}, RGB(188, 227, 254)};
  winapp::Shape shpProgress{this, "shpProgress", {120, 5100, 15, 120}, RGB(3, 118, 222)};
  xpcmdbutton Command1{this, "Command1", {11040, 4860, 1575, 375}, "&Clear Now", [this] { Command1_Click(); }};
  xpcmdbutton Command2{this, "Command2", {12720, 4860, 1575, 375}, "&Close", [this] { Command2_Click(); }};

  std::string folder_;
  std::string commandText_;
  std::array<Row, Rows> rows_;
  bool counted_ = false;
  bool closing_ = false;
  struct Work;
  std::unique_ptr<Work> work_;

  void Command1_Click();
  void Command2_Click();
  void ShowRows();
  void ShowStage(int stage);
  void WaitForWork();
};
