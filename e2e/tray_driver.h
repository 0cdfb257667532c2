// Driving a running tray.exe from outside, as the notification area does: icon events sent to
// its hidden window, its pop-up menu worked from the keyboard, and the icon looked up in the
// notification area by owner window and identifier.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// Whether the notification area holds the icon (owner, identifier 1): a modify request that
// changes nothing succeeds only for an icon it holds.
bool IconPresent(HWND owner);
// Removes the icon as a restarting notification area loses it.
bool RemoveIcon(HWND owner);

// Sends the icon event `number` (a mouse message) to the tray's window.
void SendIconEvent(HWND trayWindow, int number);
// The visible pop-up menu window of process `pid`, or null.
HWND OpenMenuOf(DWORD pid);
// Opens the menu with a right-button release and chooses the `index`-th item that can be chosen
// (separators are skipped), by arrow keys and Enter. False when the menu did not open.
bool ChooseFromMenu(HWND trayWindow, int index);

// The tray's window in process `pid`, waiting for it to appear; null when it never did.
HWND WaitForTrayWindow(DWORD pid);
// Ends a tray through its menu's Exit, the one way it has.
bool ExitTray(HWND trayWindow);

}  // namespace e2e
