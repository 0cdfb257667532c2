#include "frmCookieExclude.h"

#include "panel.h"
#include "settings.h"

using namespace winapp;

frmCookieExclude::frmCookieExclude(Panel& panel)
    : PanelForm({.name = "frmCookieExclude", .caption = "Exclude Cookie List", .client = {6120, 4680},
                 .defaultButton = "Command1", .cancelButton = "Command2"}),
      Sites(panel, txtExclude), panel_(panel) {}

void frmCookieExclude::Form_Load() {
  // A missing list (or one too damaged to read) opens as an empty one.
  txtExclude.SetText(ReadExclusionText(panel_.InFolder(ExcludeFileName)).value_or(""));
}

void frmCookieExclude::Command1_Click() {
  WriteExclusionText(panel_.InFolder(ExcludeFileName), txtExclude.Text());
  CloseEditor();
}

void frmCookieExclude::Command2_Click() { CloseEditor(); }

void frmCookieExclude::cmdSites_Click() { Sites.ShowFrom(*this); }

void frmCookieExclude::CloseEditor() {
  // Opened from the settings dialog (ShowFrom): the unload hands it back.
  Hide();
  Unload();
}
