// What the launcher's windows share: its two messages, and the
// start of the clearing run, which ends the launcher or shows why it cannot.
#pragma once

#include <windows.h>

#include <string>

class frmError;

namespace launch {

std::string SettingsMissingMessage();
std::string ClearMissingMessage();

// Starts clear.exe with the token (owned by `owner`) and ends the program; when clear.exe is
// missing, puts the message into the error window and shows it instead. Returns whether the
// clearing run was started.
bool StartClearingRun(HWND owner, frmError& error);

}  // namespace launch
