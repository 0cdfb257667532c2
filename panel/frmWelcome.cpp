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
  // The new file replaces the old one whole, never deleting it first: a clearing run starting
  // meanwhile finds the old settings or the new ones, and a disk that cannot take the new file
  // keeps the old one.
  ReplaceWholeFile(panel_.InFolder(SettingsFileName), FirstRunSettingsText());
  CreateFileIfMissing(panel_.InFolder(ExcludeFileName));
}

void frmWelcome::Command1_Click() {
  Login.StoreSetting("ShowWelcome", "7");
  panel_.Main.Load();
  Open(panel_, panel_.Main);
  Hide();
  Unload();
}
