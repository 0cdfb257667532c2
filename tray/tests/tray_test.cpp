// FrmSysTray in the test's own process: the record it hands the shell, the names of icon events,
// the pop-up menu's items, and the tip field.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "FrmSysTray.h"
#include "test_util.h"

namespace {

std::string TipField(const NOTIFYICONDATAA& nid) { return std::string(nid.szTip, TipLength); }

std::string Padded(const std::string& text) {
  std::string field = text + '\0';
  field.resize(TipLength, ' ');
  return field;
}

class SysTray : public ::testing::Test {
 protected:
  void SetUp() override {
    winapp::app::ResetForTests();
    form.Click = [this](const std::string& name) { clicks.push_back(name); };
    form.Load();
    ASSERT_TRUE(form.Loaded());
  }
  void TearDown() override {
    NOTIFYICONDATAA nid = form.Record();
    Shell_NotifyIconA(NIM_DELETE, &nid);
    form.Discard();
  }
  FrmSysTray form;
  std::vector<std::string> clicks;
};

TEST(NotificationNames, FollowTheMouseMessages) {
  struct Case {
    int number;
    const char* name;  // null: no event
  } cases[] = {
      {512, "MOUSEMOVE"},     {513, "LBUTTONDOWN"},   {514, "LBUTTONUP"},      {515, nullptr},
      {516, "RBUTTONDOWN"},   {517, "RBUTTONUP"},     {518, "RBUTTONDBLCLK"},  {519, "MBUTTONDOWN"},
      {520, "MBUTTONUP"},     {521, "MBUTTONDBLCLK"}, {511, "OTHER....: 511"}, {522, "OTHER....: 522"},
      {0, "OTHER....: 0"},    {-3, "OTHER....: -3"},  {1024, "OTHER....: 1024"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    bool reported = false;
    std::string name = NotificationName(c.number, &reported);
    EXPECT_EQ(reported, c.name != nullptr);
    if (c.name) {
      EXPECT_EQ(name, c.name);
    }
  }
}

TEST_F(SysTray, AddsItsIconWithTheRecordAndStaysHidden) {
  const NOTIFYICONDATAA& nid = form.Record();
  EXPECT_EQ(nid.cbSize, TrayRecordSize);
  EXPECT_EQ(nid.hWnd, form.hwnd());
  EXPECT_EQ(nid.uID, 1u);
  EXPECT_EQ(nid.uFlags, 7u);
  EXPECT_EQ(nid.uCallbackMessage, 512u);
  EXPECT_TRUE(nid.hIcon);
  EXPECT_EQ(nid.hIcon, form.Icon());
  EXPECT_EQ(TipField(nid), Padded("Quietrail 2003 QuickLaunch"));
  EXPECT_FALSE(form.Visible());
  // Never seen even for a moment: the window stands far off the screen, without a taskbar button.
  RECT place{};
  GetWindowRect(form.hwnd(), &place);
  EXPECT_LT(place.right, 0);
  EXPECT_TRUE(GetWindowLongA(form.hwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(form.Icon(), &info));
  BITMAP bm{};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 32);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

TEST_F(SysTray, TheMenuHoldsItsItemsInOrder) {
  // The form's own table: names, captions ("-" a separator), and a handler for every item else.
  const std::vector<winapp::MenuItem>& items = form.MenuItems();
  ASSERT_EQ(items.size(), 8u);
  HMENU menu = form.PopupMenu();
  ASSERT_TRUE(menu);
  // It stands under its caption in the window's top-level menu, which is never shown as a bar.
  char caption[32] = {};
  ASSERT_EQ(GetMenuItemCount(form.TopLevelMenu()), 1);
  GetMenuStringA(form.TopLevelMenu(), 0, caption, sizeof caption, MF_BYPOSITION);
  EXPECT_STREQ(caption, "&PopupMenu");
  EXPECT_EQ(GetSubMenu(form.TopLevelMenu(), 0), menu);
  EXPECT_EQ(GetMenu(form.hwnd()), nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(items.size()));
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(items[i].name);
    MENUITEMINFOA info{};
    char text[64] = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = sizeof text;
    ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info));
    EXPECT_EQ(info.wID, static_cast<UINT>(FrmSysTray::MenuId(items[i].name)));
    if (std::string_view(items[i].caption) != "-") {
      EXPECT_FALSE(info.fType & MFT_SEPARATOR);
      EXPECT_STREQ(text, items[i].caption);
      EXPECT_TRUE(items[i].onClick);
    } else {
      EXPECT_TRUE(info.fType & MFT_SEPARATOR);
    }
  }
}

// Each icon event is named through Click; the right-button release opens the menu (closed
// again here by Escape from a timer that sees it open).
HWND g_menuSeen = nullptr;
void CALLBACK CloseOpenMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = FindWindowA("#32768", nullptr);
  if (menu && IsWindowVisible(menu)) {
    g_menuSeen = menu;
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  }
}

TEST_F(SysTray, IconEventsAreNamedAndTheRightButtonReleaseOpensTheMenu) {
  struct Case {
    int number;
    std::vector<std::string> clicks;
    bool menu;
  } cases[] = {
      {512, {"MOUSEMOVE"}, false},    {513, {"LBUTTONDOWN"}, false},    {514, {"LBUTTONUP"}, false},
      {515, {}, false},               {516, {"RBUTTONDOWN"}, false},    {517, {"RBUTTONUP"}, true},
      {518, {"RBUTTONDBLCLK"}, false}, {519, {"MBUTTONDOWN"}, false},  {520, {"MBUTTONUP"}, false},
      {521, {"MBUTTONDBLCLK"}, false}, {700, {"OTHER....: 700"}, false},
  };
  UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseOpenMenu);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    clicks.clear();
    g_menuSeen = nullptr;
    SendMessageA(form.hwnd(), WM_MOUSEMOVE, 1, c.number);
    EXPECT_EQ(clicks, c.clicks);
    EXPECT_EQ(g_menuSeen != nullptr, c.menu);
  }
  KillTimer(nullptr, timer);
  EXPECT_TRUE(form.Loaded());
}

TEST_F(SysTray, ATipTooLongForTheFieldIsCutSoItsEndStillFits) {
  struct Case {
    std::string text;
    std::string field;
  } cases[] = {
      {"", Padded("")},
      {"Short", Padded("Short")},
      {std::string(63, 'x'), std::string(63, 'x') + '\0'},
      {std::string(64, 'y'), std::string(63, 'y') + '\0'},
      {std::string(200, 'z'), std::string(63, 'z') + '\0'},
  };
  UINT restart = RegisterWindowMessageA("TaskbarCreated");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    form.Tooltip(c.text);
    // The tip reaches the record with the next notification call: the one a restarted
    // notification area asks for.
    SendMessageA(form.hwnd(), restart, 0, 0);
    EXPECT_EQ(TipField(form.Record()), c.field);
  }
}

}  // namespace
