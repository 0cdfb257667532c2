// The panel's windows in-process: their make-up as the rest of the system relies on it, how they
// come back when opened again, and the exclusion list's box.
#include <gtest/gtest.h>

#include <functional>

#include "panel.h"
#include "raii.h"
#include "test_util.h"

namespace {

struct Described {
  winapp::Form& form;
  const char* caption;
  std::vector<const char*> buttons;
};

TEST(PanelWindows, CaptionsButtonsAndDialogKeys) {
  testutil::TempFolder dir;
  Panel panel(dir.path(), "");
  Described windows[] = {
      {panel.Prompt, "Welcome", {"Command1", "Command2"}},
      {panel.Main, "Quietrail 2003", {"Command1", "Command2", "Command3", "Command4"}},
      {panel.About, "About", {"Command1"}},
      {panel.Error, "Error", {"Command1"}},
      {panel.ChangePassword, "Change Password", {"Command1", "Command2"}},
      {panel.Welcome, "Welcome", {"Command1"}},
      {panel.Settings, "Settings", {"Command1", "Command2", "CmdCookie", "cmdCP"}},
      {panel.CookieExclude, "Exclude Cookie List", {"Command1", "Command2"}},
  };
  for (size_t i = 0; i < std::size(windows); ++i) {
    const winapp::FormDesc& desc = windows[i].form.Desc();
    EXPECT_STREQ(desc.caption, windows[i].caption) << "window " << i;
    for (const char* name : windows[i].buttons)
      EXPECT_TRUE(dynamic_cast<xpcmdbutton*>(windows[i].form.Find(name))) << "window " << i << " " << name;
    // The buttons Enter and Esc press are the window's own.
    for (const char* name : {desc.defaultButton, desc.cancelButton}) {
      if (name) {
        EXPECT_TRUE(dynamic_cast<xpcmdbutton*>(windows[i].form.Find(name))) << "window " << i << " " << name;
      }
    }
  }
  // The main window is the one that never closes as a dialog does.
  EXPECT_EQ(panel.Main.Desc().defaultButton, nullptr);
  EXPECT_TRUE(panel.Main.Desc().minButton);
}

// What a window shows, control by control in the order of the tab stops: class, text, enabled,
// visible, ticked.
BOOL CALLBACK AddChildState(HWND w, LPARAM out) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  *reinterpret_cast<std::string*>(out) += std::to_string(GetDlgCtrlID(w)) + " " + cls + " \"" +
      testutil::TextOf(w) + "\" " + (IsWindowEnabled(w) ? "E" : "-") + (IsWindowVisible(w) ? "V" : "-") +
      (SendMessageA(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? "T" : "-") + "\n";
  return TRUE;
}

std::string StateOf(const winapp::Form& form) {
  std::string state = testutil::TextOf(form.hwnd()) + "\n";
  EnumChildWindows(form.hwnd(), AddChildState, reinterpret_cast<LPARAM>(&state));
  return state;
}

// What a user leaves behind: every check box clicked (its handler enabling what it enables),
// something typed into every text box.
BOOL CALLBACK ChangeChild(HWND w, LPARAM) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (!lstrcmpiA(cls, "Edit")) SetWindowTextA(w, "typed");
  if (!lstrcmpiA(cls, "Button") && (GetWindowLongA(w, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
    SendMessageA(w, BM_CLICK, 0, 0);
  return TRUE;
}

TEST(PanelWindows, EveryWindowOpenedAgainStartsAsDesigned) {
  testutil::TempFolder dir;
  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\accesskeep.ocx", dir.path()));
  // Protected, so that the prompt stays loaded as the prompt.
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "panel.dll",
      "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=1\r\nShowWelcome=7\r\n"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", "[Settings]\r\nTmpInt=1\r\nURL=1\r\n"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", "bank\r\nshop\r\n"));
  winapp::ComApartment com;
  Panel panel(dir.path(), "");
  struct Reopened {
    winapp::Form& form;
    std::function<void()> change;  // what the program changes beyond the user's clicks and typing
  } windows[] = {
      {panel.Prompt, {}},   {panel.Main, {}},          {panel.About, {}},
      {panel.Error, [&] { panel.Error.SetMessage("Your password is incorrect"); }},
      {panel.ChangePassword, {}}, {panel.Welcome, {}}, {panel.Settings, {}}, {panel.CookieExclude, {}},
  };
  for (size_t i = 0; i < std::size(windows); ++i) {
    winapp::Form& form = windows[i].form;
    winapp::app::ResetForTests();
    ASSERT_TRUE(form.Load()) << "window " << i;
    const std::string designed = StateOf(form);
    for (int round = 0; round < 2; ++round) {
      EnumChildWindows(form.hwnd(), ChangeChild, 0);
      if (windows[i].change) windows[i].change();
      form.Unload();
      winapp::app::ResetForTests();
      ASSERT_TRUE(form.Load()) << "window " << i;
      EXPECT_EQ(StateOf(form), designed) << "window " << i << " round " << round;
    }
    form.Unload();
  }
  winapp::app::ResetForTests();
}

// A system that makes no window at all (the hook refuses every one, message boxes included), or
// none of one class and no message box.
const char* g_refusedClass = nullptr;
LRESULT CALLBACK RefuseWindows(int code, WPARAM wp, LPARAM lp) {
  if (code != HCBT_CREATEWND) return CallNextHookEx(nullptr, code, wp, lp);
  const char* cls = reinterpret_cast<CBT_CREATEWNDA*>(lp)->lpcs->lpszClass;
  bool dialog = IS_INTRESOURCE(cls) && LOWORD(reinterpret_cast<ULONG_PTR>(cls)) == 32770;
  return !g_refusedClass || dialog || (!IS_INTRESOURCE(cls) && std::string(cls) == g_refusedClass);
}

TEST(PanelStart, AWindowThatCannotBeMadeEndsWithTheSystemsError) {
  testutil::TempFolder dir;
  // The last start ends with a message (a folder stands where the user database should be) that
  // the system will not show.
  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\accesskeep.ocx", dir.path()));
  ASSERT_TRUE(CreateDirectoryA((dir / "panel.dll").c_str(), nullptr));
  struct {
    const char* args;
    const char* refused;
  } starts[] = {{"", nullptr}, {"ABOUT", nullptr}, {"", "frmError"}};
  for (auto& start : starts) {
    winapp::app::ResetForTests();
    g_refusedClass = start.refused;
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseWindows, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    int code = RunPanel(dir.path(), start.args);
    UnhookWindowsHookEx(hook);
    EXPECT_NE(code, 0) << "arguments \"" << start.args << "\", refused " << (start.refused ? start.refused : "all");
  }
  winapp::app::ResetForTests();
}

class ListForm : public winapp::Form {
 public:
  ListForm() : Form({.name = "ListForm", .caption = "List", .client = {6000, 3000}}) {}
  winapp::TextBox Before{this, "Before", {0, 0, 3000, 315}};
  ListTextBox List{this, "List", {0, 400, 6000, 2000}, {}};
  winapp::TextBox After{this, "After", {0, 2500, 3000, 315}};
};

TEST(ListTextBox, WrapsShortTextsAndKeepsLongOnesOnOneLine) {
  ListForm form;
  ASSERT_TRUE(form.Load());
  const std::string longText = std::string(ListTextBox::LongestWrapped, 'a') + ",b";
  struct Case {
    std::string text;
    bool wraps;
  } cases[] = {{"bank,mail", true}, {longText, false}, {"", true}, {longText, false}, {longText + "c", false}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    form.List.SetText(cases[i].text);
    HWND box = form.List.hwnd();
    ASSERT_TRUE(box) << "case " << i;
    EXPECT_EQ(form.List.Wraps(), cases[i].wraps) << "case " << i;
    EXPECT_EQ((GetWindowLongA(box, GWL_STYLE) & ES_AUTOHSCROLL) == 0, cases[i].wraps) << "case " << i;
    EXPECT_TRUE(GetWindowLongA(box, GWL_STYLE) & ES_MULTILINE) << "case " << i;
    EXPECT_EQ(form.List.Text(), cases[i].text) << "case " << i;
    EXPECT_EQ(GetDlgCtrlID(box), winapp::ControlId("List")) << "case " << i;
    // A new box takes the old one's place between its neighbours.
    EXPECT_EQ(GetNextDlgTabItem(form.hwnd(), form.Before.hwnd(), FALSE), box) << "case " << i;
    EXPECT_EQ(GetNextDlgTabItem(form.hwnd(), box, FALSE), form.After.hwnd()) << "case " << i;
    // Nothing the box holds is cut at the edit control's own limit.
    EXPECT_GT(SendMessageA(box, EM_GETLIMITTEXT, 0, 0), 1 << 20) << "case " << i;
  }
  form.Unload();
}

TEST(ListTextBox, ShowsWhatWinesEditControlCannot) {
  bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  const std::string damaged = "\x98" "a,\x98" "b\r\n\x98\x80\xE9~";
  EXPECT_EQ(ListTextBox::Showable(damaged), wine ? "~a,~b\r\n~\x80\xE9~" : damaged);
  EXPECT_EQ(ListTextBox::Showable("bank,mail"), "bank,mail");
}

}  // namespace
