#include "frmCompare.h"

#include "declarations.h"
#include "frmUpdate.h"

using namespace winapp;
using namespace declarations;

namespace {
const char* const VersionKeys[4] = {"QuietVer", "PanelVer", "LaunchVer", "ClearVer"};
}

frmCompare::frmCompare(frmUpdate& update, std::string folder)
    : Form({.name = "frmCompare", .caption = "Quietrail Update Checker", .client = {6840, 4620},
            .defaultButton = "Command1"}),
      update_(update), folder_(std::move(folder)) {
  for (Picture* tick : {&tickQuietrail, &tickPanel, &tickLaunch, &tickClear, &tickBrowsers}) tick->SetVisible(false);
  Command2.SetEnabled(false);
}

void frmCompare::Form_Load() {
  std::string library = folder_ + LibraryFile, available = folder_ + AvailableFile;
  std::string installed[4], offered[4];
  for (int i = 0; i < 4; ++i) {
    installed[i] = ReadVersionKey(library, VersionKeys[i]);
    offered[i] = ReadVersionKey(available, VersionKeys[i]);
  }
  // The clear row compares numbers: a version that is not one is reported before anything is
  // shown, and the window goes away rather than show a table it cannot complete.
  long long clearOffered = 0;
  double clearInstalled = 0;
  const char* problem = nullptr;
  if (!ParseFixedPoint4(offered[3], clearOffered))
    problem = "The latest version list is damaged and cannot be used - 03";
  else if (!ParseVersionNumber(installed[3], clearInstalled))
    problem = "The record of installed versions is missing or damaged - 04";
  if (problem) {
    ShowMessage(problem, "Error", MB_OK | MB_ICONSTOP);
    Unload();
    return;
  }

  Label* pc[4] = {&lblQuietrailPC, &lblPanelPC, &lblLaunchPC, &lblClearPC};
  Label* av[4] = {&lblQuietrailAvailable, &lblPanelAvailable, &lblLaunchAvailable, &lblClearAvailable};
  for (int i = 0; i < 4; ++i) {
    pc[i]->SetText(installed[i]);
    av[i]->SetText(offered[i]);
  }
  QuietrailPC = lblQuietrailPC.Text();
  PanelPC = lblPanelPC.Text();
  LaunchPC = lblLaunchPC.Text();
  ClearPC = lblClearPC.Text();
  QuietrailAvailable = lblQuietrailAvailable.Text();
  PanelAvailable = lblPanelAvailable.Text();
  LaunchAvailable = lblLaunchAvailable.Text();
  ParseFixedPoint4(lblClearAvailable.Text(), ClearAvailable);
  ParseVersionNumber(ClearPC, clearInstalled);

  // The browser module's row came after the first lists: a list without it offers no module, and
  // an installation that never recorded one takes any module offered.
  lblBrowsersPC.SetText(ReadModuleVersion(library));
  lblBrowsersAvailable.SetText(ReadModuleVersion(available));
  BrowsersPC = lblBrowsersPC.Text();
  BrowsersAvailable = lblBrowsersAvailable.Text();

  SetDefaultButton("Command1");
  bool update[5] = {IsNewerText(QuietrailAvailable, QuietrailPC), IsNewerText(PanelAvailable, PanelPC),
                    IsNewerText(LaunchAvailable, LaunchPC), IsNewerNumber(ClearAvailable, clearInstalled),
                    !BrowsersAvailable.empty() && IsNewerText(BrowsersAvailable, BrowsersPC)};
  for (int i = 0; i < 5; ++i) ShowRow(i, update[i]);
}

void frmCompare::ShowRow(int row, bool update) {
  Picture* cross[5] = {&xQuietrail, &xPanel, &xLaunch, &xClear, &xBrowsers};
  Picture* tick[5] = {&tickQuietrail, &tickPanel, &tickLaunch, &tickClear, &tickBrowsers};
  rowUpdate_[row] = update;
  cross[row]->SetVisible(!update);
  tick[row]->SetVisible(update);
  if (!update) return;
  Command2.SetEnabled(true);
  SetDefaultButton("Command2");
}

void frmCompare::Command1_Click() {
  Unload();
  app::End();
}

void frmCompare::Command2_Click() {
  if (rowUpdate_[0]) {
    ShowMessage("A new overall version is available of Quietrail, version " + lblQuietrailAvailable.Text() +
                    ".\r\nIt is recommended that you uninstall this current version, download the new version "
                    "and install it.\r\nWhole new versions of Quietrail cannot be installed using this update "
                    "feature and require user intallation.",
                "New version available!", MB_OK | MB_ICONINFORMATION);
    Unload();
    app::End();
    return;
  }

  // Every size is read and checked before any flag is set: a damaged list changes nothing.
  struct Row {
    int row;
    const char* sizeKey;
    bool* flag;
  };
  const Row rows[] = {{1, Programs[0].sizeKey, Programs[0].flag},
                      {2, Programs[1].sizeKey, Programs[1].flag},
                      {3, Programs[2].sizeKey, Programs[2].flag},
                      {4, Programs[3].sizeKey, Programs[3].flag}};
  std::vector<std::string> sizes;
  for (const Row& r : rows)
    if (rowUpdate_[r.row]) sizes.push_back(ReadVersionKey(folder_ + AvailableFile, r.sizeKey));
  std::optional<short> total = declarations::TotalSizeKB(sizes);
  if (!total) {
    ShowMessage("The latest version list is damaged and cannot be used - 03", "Error", MB_OK | MB_ICONSTOP);
    return;
  }
  TotalSizeKB_ = *total;
  for (const Row& r : rows)
    if (rowUpdate_[r.row]) *r.flag = true;

  int answer = ShowMessage(SizePromptText(TotalSizeKB_), "Quietrail Update Checker", MB_YESNO | MB_ICONQUESTION);
  if (answer == IDNO) {
    Unload();
    app::End();
    return;
  }
  // A dialog of this window: disabled until the download window unloads, which hands it back.
  update_.ShowFrom(*this);
}
