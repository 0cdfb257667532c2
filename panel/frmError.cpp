#include "frmError.h"

#include "panel.h"

using namespace winapp;

frmError::frmError(Panel& panel)
    : PanelForm({.name = "frmError", .caption = "Error", .client = {6000, 1815},
                 .defaultButton = "Command1", .cancelButton = "Command1"}), panel_(panel) {
}

void frmError::Form_Load() {
  if (Form* source = panel_.ErrorSource) source->SetEnabled(false);
}

void frmError::Command1_Click() {
  Hide();
  if (Form* source = panel_.ErrorSource) {
    source->SetEnabled(true);
    source->SetFocus();
  }
  Unload();
  if (panel_.EndAfterError) app::End();
}
