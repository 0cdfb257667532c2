#include "frmWelcome.h"

#include <windows.h>

#include "panel.h"
#include "settings.h"
#include "system.h"

using namespace winapp;

frmWelcome::frmWelcome(Panel& panel)
    : PanelForm({.name = "frmWelcome", .caption = "Welcome", .client = {8160, 6060},
                 .defaultButton = "Command1"}), Login(panel.folder),
      panel_(panel) {
}

void frmWelcome::Form_Load() {
  Login.Create();
  // The settings go back to their first-run values. The exclusion list is the user's own choice
  // of cookies to keep (kept from an earlier edition, or set before this window was confirmed):
  // it is created empty where there is none, and never emptied.
  std::string settings = panel_.InFolder(SettingsFileName);
  DeleteFileA(settings.c_str());
  ReplaceWholeFile(settings, FirstRunSettingsText());
  std::string exclude = panel_.InFolder(ExcludeFileName);
  if (!FileExists(exclude)) CreateEmptyFile(exclude);
}

void frmWelcome::Command1_Click() {
  Login.StoreSetting("ShowWelcome", "7");
  panel_.Main.Load();
  panel_.Main.Show();
  Hide();
  Unload();
}
