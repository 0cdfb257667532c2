#include "FrmSysTray.h"

#include <cstring>

#include "openbrowsers.h"
#include "system.h"

using namespace winapp;

std::string NotificationName(int number, bool* reported) {
  static const char* const names[] = {"MOUSEMOVE",   "LBUTTONDOWN", "LBUTTONUP",     nullptr,
                                      "RBUTTONDOWN", "RBUTTONUP",   "RBUTTONDBLCLK", "MBUTTONDOWN",
                                      "MBUTTONUP",   "MBUTTONDBLCLK"};
  if (reported) *reported = true;
  if (number >= WM_MOUSEMOVE && number <= WM_MBUTTONDBLCLK) {
    const char* name = names[number - WM_MOUSEMOVE];
    if (!name && reported) *reported = false;
    return name ? name : "";
  }
  return "OTHER....: " + std::to_string(number);
}

FrmSysTray::FrmSysTray()
    : Form(HiddenFormDesc("FrmSysTray", "Quietrail 2003 QuickLaunch", "FLASH1")) {}

// The window goes before the icon and the menus it shows.
FrmSysTray::~FrmSysTray() { Discard(); }

void FrmSysTray::Form_Load() {
  // Flash1: the 32 x 32 picture that becomes the window's icon and the tray's.
  if (!icon_) icon_.reset(static_cast<HICON>(LoadImageA(app::ResourceModule(), "FLASH1", IMAGE_ICON, 32, 32, 0)));
  SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
  Hide();

  // Explorer announces a restart with this message; the icon is then added again.
  taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");

  Tooltip("Quietrail 2003 QuickLaunch");
  TrayNotify(NIM_ADD);
}

void FrmSysTray::Tooltip(std::string_view text) {
  // The text, one NUL, blanks to the end of the field. A text too long for the field is cut so
  // that the NUL still fits: the shell reads the tip up to it.
  std::memset(tip_, ' ', sizeof tip_);
  size_t n = std::min(text.size(), sizeof tip_ - 1);
  std::memcpy(tip_, text.data(), n);
  tip_[n] = '\0';
}

void FrmSysTray::TrayNotify(DWORD message) {
  nid_ = NOTIFYICONDATAA{};
  nid_.cbSize = TrayRecordSize;
  nid_.hWnd = hwnd();
  nid_.uID = TrayIconId;
  nid_.uFlags = TrayFlags;
  nid_.uCallbackMessage = TrayCallbackMessage;
  nid_.hIcon = icon_.get();
  static_assert(sizeof nid_.szTip >= TipLength);
  std::memcpy(nid_.szTip, tip_, TipLength);
  Shell_NotifyIconA(message, &nid_);
}

bool FrmSysTray::OnMessage(UINT msg, WPARAM, LPARAM lp, LRESULT& result) {
  if (msg == TrayCallbackMessage) {
    Form_MouseMove(lp);
    result = 0;
    return true;
  }
  if (taskbarCreated_ && msg == taskbarCreated_) {
    TrayNotify(NIM_ADD);
    result = 0;
    return true;
  }
  return false;
}

void FrmSysTray::Form_MouseMove(LPARAM lp) {
  // The platform puts the icon's mouse message where a mouse move has its x; this window
  // measures in pixels, so x is the number as it stands.
  int number = static_cast<short>(LOWORD(lp));
  bool reported = false;
  std::string name = NotificationName(number, &reported);
  if (reported && Click) Click(name);
  if (number == WM_RBUTTONUP) mPopupMenu.Show();
}

void FrmSysTray::mAbout_Click() { StartProgram(hwnd(), PanelProgram, "ABOUT"); }
void FrmSysTray::mSettings_Click() { StartProgram(hwnd(), PanelProgram, "SETTINGS"); }
void FrmSysTray::mClearNow_Click() {
  if (ReadyBrowsersForRun(hwnd(), ProgramFolder())) StartProgram(hwnd(), ClearProgram, LaunchToken);
}
void FrmSysTray::mCheckforUpdates_Click() { StartProgram(hwnd(), UpdateProgram, ""); }

void FrmSysTray::mExit_Click() {
  // The icon goes first: a process that ends with its icon still added leaves a dead icon in
  // the notification area until the pointer passes over it.
  TrayNotify(NIM_DELETE);
  app::End();
}
