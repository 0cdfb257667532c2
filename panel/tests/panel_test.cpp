// The panel's windows in-process: their make-up as the rest of the system relies on it, and the
// exclusion list's box.
#include <gtest/gtest.h>

#include "panel.h"
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
