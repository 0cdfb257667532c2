// The window that owns the notification-area icon. It is never visible: the platform tells it of
// every icon event as a mouse move whose x carries the mouse message, and a right-button release
// opens its pop-up menu, whose items start the other programs.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "form.h"
#include "programs.h"

// The first version of the ANSI record: everything up to and including the 64-character tip.
constexpr DWORD TrayRecordSize = NOTIFYICONDATAA_V1_SIZE;
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the 32-bit record of the first version is 88 bytes");
#endif
constexpr int TipLength = 64;
constexpr UINT TrayIconId = 1;
constexpr UINT TrayFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;  // 7
constexpr UINT TrayCallbackMessage = WM_MOUSEMOVE;             // 512

// The name an icon event is reported under: the mouse message's own name, none for a left
// double-click, and "OTHER....: " with the number for anything else.
std::string NotificationName(int number, bool* reported = nullptr);

class FrmSysTray : public winapp::Form {
 public:
  FrmSysTray();
  ~FrmSysTray() override;

  // Write-only: the tip for the next notification call.
  void Tooltip(std::string_view text);
  // Raised for every decoded icon event; nothing in the system listens, tests may.
  std::function<void(const std::string& ClickWhat)> Click;

  // For tests and the menu's own use.
  const NOTIFYICONDATAA& Record() const { return nid_; }
  HMENU PopupMenu() const { return mPopupMenu.Handle(); }
  HMENU TopLevelMenu() const { return mPopupMenu.TopLevel(); }
  const std::vector<winapp::MenuItem>& MenuItems() const { return mPopupMenu.Items(); }
  HICON Icon() const { return icon_.get(); }
  static int MenuId(const char* itemName) { return winapp::ControlId(itemName); }

 protected:
  void Form_Load() override;
  // Asked to close from outside (a task manager's polite end): as Exit, rather than leaving the
  // hidden start window running with the icon dead.
  void Form_Close() override { mExit_Click(); }
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  NOTIFYICONDATAA nid_{};
  char tip_[TipLength] = {};
  winapp::Icon icon_;
  UINT taskbarCreated_ = 0;
  winapp::PopupMenu mPopupMenu{this, "mPopupMenu", "&PopupMenu", {
      {"mAbout", "&About", [this] { mAbout_Click(); }},
      {"mSep1", "-"},
      {"mSettings", "&Settings", [this] { mSettings_Click(); }},
      {"mClearNow", "&Clear now", [this] { mClearNow_Click(); }},
      {"mSep3", "-"},
      {"mCheckforUpdates", "&Check for updates", [this] { mCheckforUpdates_Click(); }},
      {"mSep2", "-"},
      {"mExit", "&Exit", [this] { mExit_Click(); }},
  }};

  void TrayNotify(DWORD message);
  void Form_MouseMove(LPARAM lp);

  void mAbout_Click();
  void mSettings_Click();
  void mClearNow_Click();
  void mCheckforUpdates_Click();
  void mExit_Click();
};
