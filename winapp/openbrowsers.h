// Before a clearing run that the user starts from a window: the browsers it would clear that are
// open, and the user's word on closing them. The run started at Windows start never asks.
#pragma once

#include <windows.h>

#include <string>

namespace winapp {

// Asks about the browsers of the program folder's settings that are open, closes them on Yes
// (waiting up to about ten seconds, the owner's windows kept painted), and tells whether the run
// is to start: false only for Cancel. Without the browsers chosen, without browsers.dll, or with
// none open, nothing is asked. The question and the closing are the browser module's own
// (AskToCloseBrowsers), so the programs that ask carry nothing of them.
bool ReadyBrowsersForRun(HWND owner, const std::string& folder);

}  // namespace winapp
