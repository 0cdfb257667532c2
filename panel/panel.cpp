#include "panel.h"

#include "../accesskeep/accesskeep_ids.h"
#include "settings.h"

using namespace winapp;

Panel::Panel(std::string folder_, std::string commandText)
    : folder(std::move(folder_)), command(std::move(commandText)), Prompt(*this), Main(*this), About(*this),
      Error(*this), ChangePassword(*this), Welcome(*this), Settings(*this), CookieExclude(*this) {}

void Open(Panel& panel, Form& form) {
  if (!form.Show() && !panel.WindowError) panel.WindowError = form.LoadError() ? form.LoadError() : ERROR_CANNOT_MAKE;
}

void ShowError(Panel& panel, const std::string& text, Form* source) {
  panel.ErrorSource = source;
  // The message stays above the window that raised it, unless the program is to end with the
  // message as its last window.
  panel.Error.SetOwner(panel.EndAfterError ? nullptr : source);
  panel.Error.Load();
  panel.Error.SetMessage(text);
  // A message the system will not show is no message read: the panel ends with the system's
  // error, as it does for any window it cannot make.
  Open(panel, panel.Error);
  panel.Error.SetFocus();
}

void ShowErrorThenEnd(Panel& panel, const std::string& text, Form* source) {
  panel.EndAfterError = true;
  ShowError(panel, text, source);
}

std::string SettingsUnreadableMessage(const Panel& panel) {
  return panel.InFolder(accesskeep::LibraryFile) +
         " could not read the panel's settings. Please reinstall Quietrail or locate the file and try again.";
}

int RunPanel(const std::string& folder, const std::string& commandText) {
  // The panel's buttons are of its own class, whatever the program file is called.
  xpcmdbutton::SetProjectName("Panel");
  ComApartment apartment;
  Panel panel(folder, commandText);
  panel.Prompt.ShowAsStartup();
  if (!panel.Prompt.Loaded() && panel.Prompt.LoadError()) panel.WindowError = panel.Prompt.LoadError();
  if (app::LoadedForms() > 0) app::RunMessageLoop();
  if (!panel.WindowError) return 0;
  // A window the system would not make (out of resources, no desktop to put it on) is no
  // success: say so where a message can still be shown, and end with the system's error.
  ShowMessage("The control panel could not open its window (system error " + std::to_string(panel.WindowError) +
                  "). Please close some programs and try again.",
              "Quietrail 2003", MB_OK | MB_ICONSTOP);
  return static_cast<int>(panel.WindowError);
}

void CloseToMain(Panel& panel, winapp::Form& dialog) {
  dialog.Hide();
  // Opened from the main window (ShowFrom), the unload hands it back.
  bool mainVisible = panel.Main.Visible();
  dialog.Unload();
  if (!mainVisible) winapp::app::End();
}
