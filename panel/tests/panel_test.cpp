// The panel's windows in-process: their make-up as the rest of the system relies on it, how they
// come back when opened again, and the exclusion list's box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "face.h"
#include "panel.h"
#include "raii.h"
#include "test_util.h"
#include "text.h"

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
      {panel.Main, "Quietrail 2003", {"Command1", "Command2", "Command5", "Command3", "Command4"}},
      {panel.About, "About", {"Command1"}},
      {panel.Error, "Error", {"Command1"}},
      {panel.ChangePassword, "Change Password", {"Command1", "Command2"}},
      {panel.Welcome, "Welcome", {"Command1"}},
      {panel.Settings, "Settings", {"Command1", "Command2", "CmdCookie", "cmdCP"}},
      {panel.CookieExclude, "Exclude Cookie List", {"Command1", "Command2", "cmdSites"}},
      {panel.CookieExclude.Sites, "Sites with cookies", {"Command1", "Command2"}},
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

// A program folder with the control, protected (so that the prompt stays loaded as the prompt),
// and some settings and exclusions.
void MakeProtectedFolder(const testutil::TempFolder& dir) {
  ASSERT_TRUE(testutil::CopyInto(testutil::ProgramFolder() + "\\accesskeep.ocx", dir.path()));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "panel.dll",
      "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=1\r\nShowWelcome=7\r\n"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "quietrail.ini", "[Settings]\r\nTmpInt=1\r\nURL=1\r\n"));
  ASSERT_TRUE(testutil::WriteWholeFile(dir / "exclude.ini", "bank\r\nshop\r\n"));
}

TEST(PanelWindows, EveryWindowOpenedAgainStartsAsDesigned) {
  testutil::TempFolder dir;
  MakeProtectedFolder(dir);
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
  // The small tilde (0x98 in code page 1252) in whatever code page the panel runs in.
  const std::string damaged = winapp::Ansi(L"\x02DC" L"a,\x02DC" L"b\r\n\x02DC\x20AC\xE9~");
  EXPECT_EQ(ListTextBox::Showable(damaged), wine ? winapp::Ansi(L"~a,~b\r\n~\x20AC\xE9~") : damaged);
  EXPECT_EQ(ListTextBox::Showable("bank,mail"), "bank,mail");
}

BOOL CALLBACK AddChild(HWND w, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
  return TRUE;
}

// A loaded window as laid out at `dpi`: its client area and every control where its twips say
// (within a pixel), every text of its control's font at that resolution and inside the control,
// every skinned button's corners copied from the skin as they are.
void CheckLayout(winapp::Form& form, UINT dpi, const std::string& what) {
  using winapp::Pixels;
  RECT client;
  GetClientRect(form.hwnd(), &client);
  EXPECT_NEAR(client.right, Pixels(form.Desc().client.cx, dpi), 1) << what;
  EXPECT_NEAR(client.bottom, Pixels(form.Desc().client.cy, dpi), 1) << what;
  EXPECT_EQ(testutil::ControlsOutside(form.hwnd()), std::vector<std::string>{}) << what;
  std::vector<HWND> children;
  EnumChildWindows(form.hwnd(), AddChild, reinterpret_cast<LPARAM>(&children));
  xpskin::SkinClip skin;
  for (HWND w : children) {
    winapp::Control* c = winapp::Control::FromWindow(w);
    if (!c) continue;
    const std::string where = what + " " + c->Name();
    RECT r, inside;
    GetWindowRect(w, &r);
    MapWindowPoints(nullptr, form.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    GetClientRect(w, &inside);
    const winapp::Twips& p = c->Place();
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    LONG style = GetWindowLongA(w, GWL_STYLE);
    bool picture = !lstrcmpiA(cls, "Static") && (style & SS_TYPEMASK) == SS_BITMAP;
    EXPECT_NEAR(r.left, Pixels(p.left, dpi), 1) << where;
    EXPECT_NEAR(r.top, Pixels(p.top, dpi), 1) << where;
    if (!picture) {
      EXPECT_NEAR(r.right - r.left, Pixels(p.width, dpi), 1) << where;
      EXPECT_GE(r.bottom - r.top, Pixels(p.height, dpi) - 1) << where;  // a label may grow downwards
    }
    if (auto* button = dynamic_cast<xpcmdbutton*>(c)) {
      RECT caption = button->CaptionRect();
      EXPECT_TRUE(caption.left >= 0 && caption.top >= 0 && caption.right <= inside.right &&
                  caption.bottom <= inside.bottom) << where;
      POINT o = xpskin::SkinClip::CellOrigin(button->Face());
      for (int corner = 0; corner < 4; ++corner)
        for (int k = 0; k < 9; ++k) {
          int x = k % 3 + (corner & 1 ? inside.right - 3 : 0), y = k / 3 + (corner & 2 ? inside.bottom - 3 : 0);
          int sx = k % 3 + (corner & 1 ? 15 : 0), sy = k / 3 + (corner & 2 ? 18 : 0);
          EXPECT_EQ(GetPixel(button->FaceDc(), x, y), GetPixel(skin.dc(), o.x + sx, o.y + sy))
              << where << " corner " << corner << " pixel " << k;
        }
    }
    const std::string text = testutil::TextOf(w);
    bool checkBox = !lstrcmpiA(cls, "Button") && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    if (text.empty() || picture || !(checkBox || !lstrcmpiA(cls, "Static"))) continue;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0));
    LOGFONTA lf{};
    ASSERT_TRUE(font && GetObjectA(font, sizeof lf, &lf)) << where;
    EXPECT_GE(std::abs(lf.lfHeight), MulDiv(8, static_cast<int>(dpi), 72)) << where;
    winapp::WindowDc dc(w);
    winapp::Selected keep(dc.get(), font);
    // A check box's text stands beside its box (13 pixels at 96 dots an inch) and a small gap.
    RECT need{0, 0, inside.right - (checkBox ? MulDiv(17, static_cast<int>(dpi), 96) : 0), 0};
    DrawTextA(dc.get(), text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_LE(need.bottom, inside.bottom) << where << " \"" << text << "\"";
  }
}

// The screen's resolution is the run's (96 in the build's prefix, 144 where the test's own run
// sets one, QR_EXPECT_DPI): the windows are laid out at it, and again after a move to a monitor
// of the other one (the system's suggested rectangle with WM_DPICHANGED) and back.
TEST(HighDpi, WindowsLaidOutAtTheScreensResolutionAndAfterAMove) {
  const UINT dpi = winapp::SystemDpi();
  if (const char* expected = std::getenv("QR_EXPECT_DPI")) {
    ASSERT_EQ(dpi, static_cast<UINT>(std::atoi(expected)));
  }
  const UINT other = dpi == 144 ? 96 : 144;
  testutil::TempFolder dir;
  MakeProtectedFolder(dir);
  winapp::ComApartment com;
  Panel panel(dir.path(), "");
  winapp::Form* windows[] = {&panel.Prompt, &panel.Main, &panel.About, &panel.Error, &panel.ChangePassword,
                             &panel.Welcome, &panel.Settings, &panel.CookieExclude, &panel.CookieExclude.Sites};
  for (size_t i = 0; i < std::size(windows); ++i) {
    winapp::Form& form = *windows[i];
    winapp::app::ResetForTests();
    ASSERT_TRUE(form.Load()) << "window " << i;
    EXPECT_EQ(form.Dpi(), dpi) << "window " << i;
    CheckLayout(form, dpi, "window " + std::to_string(i));
    for (UINT to : {other, dpi}) {
      RECT suggested{0, 0, winapp::Pixels(form.Desc().client.cx, to), winapp::Pixels(form.Desc().client.cy, to)};
      AdjustWindowRectEx(&suggested, GetWindowLongA(form.hwnd(), GWL_STYLE), FALSE,
                         GetWindowLongA(form.hwnd(), GWL_EXSTYLE));
      OffsetRect(&suggested, 40 - suggested.left, 30 - suggested.top);
      SendMessageA(form.hwnd(), WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
      EXPECT_EQ(form.Dpi(), to) << "window " << i;
      CheckLayout(form, to, "window " + std::to_string(i) + " moved to " + std::to_string(to));
    }
    form.Unload();
  }
  winapp::app::ResetForTests();
}

}  // namespace
