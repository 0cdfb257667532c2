// The control panel: its windows, each a single instance made at start and loaded on first use,
// and what they share (the program folder, the argument text, the error window's source).
#pragma once

#include <string>

#include "programs.h"
#include "frmAbout.h"
#include "frmChangePassword.h"
#include "frmCookieExclude.h"
#include "frmError.h"
#include "frmLogin.h"
#include "frmMain.h"
#include "frmSettings.h"
#include "frmWelcome.h"


struct Panel {
  // `folder` is the program folder, `commandText` the program's whole argument text.
  Panel(std::string folder, std::string commandText);
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  std::string InFolder(const char* name) const { return folder + "\\" + name; }
  std::string folder;
  std::string command;
  // The window that raised the error now shown; none for an error of the program as a whole.
  winapp::Form* ErrorSource = nullptr;
  // Set when the program is to end once the error window now shown is confirmed.
  bool EndAfterError = false;
  // The system's error of the first window that could not be made; the program's exit code.
  DWORD WindowError = 0;

  frmLogin Prompt;
  frmMain Main;
  frmAbout About;
  frmError Error;
  frmChangePassword ChangePassword;
  frmWelcome Welcome;
  frmSettings Settings;
  frmCookieExclude CookieExclude;
};

// Opens a window; one that cannot be made is remembered for the program's end (Panel::WindowError).
void Open(Panel& panel, winapp::Form& form);

// Shows a message in the error window on behalf of `source`, the window that raised it (none for
// the program as a whole); that window stays disabled until the error window's OK.
void ShowError(Panel& panel, const std::string& text, winapp::Form* source);
// The same for an error the panel cannot go on from: the program ends at the message's OK, and
// the message, owned by no window, may be the last one left.
void ShowErrorThenEnd(Panel& panel, const std::string& text, winapp::Form* source = nullptr);

// The message when the login control cannot answer what protection and the welcome need: the
// panel then opens nothing, since it cannot tell whether it is protected.
std::string SettingsUnreadableMessage(const Panel& panel);

// Closes `dialog`, a window opened from the main window or alone: the main window, when it is
// shown, is enabled and given the focus again; without it the program ends.
void CloseToMain(Panel& panel, winapp::Form& dialog);

// The panel's own start: the starting window loaded and the message loop run to the end.
int RunPanel(const std::string& folder, const std::string& commandText);
