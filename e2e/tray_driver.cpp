#include "tray_driver.h"

#include <shellapi.h>

#include "test_util.h"

namespace e2e {

namespace {

NOTIFYICONDATAA Identity(HWND owner) {
  NOTIFYICONDATAA nid{};
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = owner;
  nid.uID = 1;
  return nid;
}

HWND FindOf(DWORD pid, const char* cls, bool visibleOnly) {
  std::vector<HWND> found = testutil::TopWindows(cls, pid, visibleOnly);
  return found.empty() ? nullptr : found.front();
}

}  // namespace

bool IconPresent(HWND owner) {
  NOTIFYICONDATAA nid = Identity(owner);
  return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

bool RemoveIcon(HWND owner) {
  NOTIFYICONDATAA nid = Identity(owner);
  return Shell_NotifyIconA(NIM_DELETE, &nid) != FALSE;
}

void SendIconEvent(HWND trayWindow, int number) {
  PostMessageA(trayWindow, WM_MOUSEMOVE, 1, static_cast<LPARAM>(number));
}

HWND OpenMenuOf(DWORD pid) { return FindOf(pid, "#32768", true); }

bool ChooseFromMenu(HWND trayWindow, int index) {
  DWORD pid = 0;
  GetWindowThreadProcessId(trayWindow, &pid);
  SendIconEvent(trayWindow, WM_RBUTTONUP);
  HWND menu = nullptr;
  if (!testutil::PumpUntil([&] { return (menu = OpenMenuOf(pid)) != nullptr; })) return false;
  // The menu's own loop reads these from the tray's queue.
  for (int i = 0; i <= index; ++i) PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageA(menu, WM_CHAR, '\r', 0);
  return testutil::PumpUntil([&] { return OpenMenuOf(pid) == nullptr; });
}

HWND WaitForTrayWindow(DWORD pid) {
  HWND w = nullptr;
  testutil::PumpUntil([&] { return (w = FindOf(pid, "FrmSysTray", false)) != nullptr; });
  return w;
}

bool ExitTray(HWND trayWindow) {
  DWORD pid = 0;
  GetWindowThreadProcessId(trayWindow, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  bool chosen = ChooseFromMenu(trayWindow, 4);
  bool ended = process && testutil::PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; });
  if (process) CloseHandle(process);
  return chosen && ended;
}

}  // namespace e2e
