// The form layer as a dialog framework: lifetimes without leaks, notifications reflected to their
// controls, dialog keys, owned dialogs, and failures reported to the caller.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "form.h"
#include "test_util.h"

using namespace winapp;
using testutil::ChildNamed;

namespace {

// A form with one control of every kind the layer has, fonts and pictures included.
class frmEverything : public Form {
 public:
  explicit frmEverything(Form* owner = nullptr)
      : Form({.name = "frmEverything", .caption = "Everything", .client = {6000, 4000}, .owner = owner}) {}
  Label Label1{this, "Label1", {120, 120, 2000, 255}, "Plain"};
  Label Label2{this, "Label2", {120, 400, 2000, 255}, "Bold and big",
               {.align = Align::Centre, .font = {"Arial", 12, true}}};
  Label Label3{this, "Label3", {120, 700, 1000, 255}, "Grows to show a long text whole",
               {.font = {"Tahoma", 9}, .colour = RGB(200, 0, 0), .fit = Fit::GrowHeight}};
  Button Command1{this, "Command1", {120, 1300, 1200, 375}, "&OK", [] {}};
  CheckBox chkThing{this, "chkThing", {120, 1800, 2000, 255}, "Thing"};
  TextBox Text1{this, "Text1", {120, 2200, 2000, 285}, "text"};
  TextBox Text2{this, "Text2", {2400, 2200, 2000, 900}, "more", {.multiLine = true, .verticalScroll = true}};
  ListBox List1{this, "List1", {2400, 120, 2000, 900}};
  Shape Shape1{this, "Shape1", {120, 3300, 3000, 300}, RGB(3, 118, 222)};
  Picture Picture1{this, "Picture1", {4600, 1300, 480, 480}, "ERRORPIC"};
  Timer Timer1{this, "Timer1", 50, true, [] {}};
};

// What a form's handles are once it is loaded, to check afterwards that each went.
struct Handles {
  std::vector<HWND> windows;
  std::vector<HGDIOBJ> gdi;
  HICON smallIcon = nullptr;
};

BOOL CALLBACK CollectChild(HWND w, LPARAM l) {
  reinterpret_cast<std::vector<HWND>*>(l)->push_back(w);
  return TRUE;
}

Handles HandlesOf(const Form& f) {
  Handles h;
  h.windows.push_back(f.hwnd());
  EnumChildWindows(f.hwnd(), CollectChild, reinterpret_cast<LPARAM>(&h.windows));
  h.gdi.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(ChildNamed(f.hwnd(), "Label2"), WM_GETFONT, 0, 0)));
  h.gdi.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(ChildNamed(f.hwnd(), "Label3"), WM_GETFONT, 0, 0)));
  h.gdi.push_back(reinterpret_cast<HGDIOBJ>(SendMessageA(ChildNamed(f.hwnd(), "Picture1"), STM_GETIMAGE, IMAGE_BITMAP, 0)));
  h.smallIcon = reinterpret_cast<HICON>(SendMessageA(f.hwnd(), WM_GETICON, ICON_SMALL, 0));
  return h;
}

// Ways to end a form's life, each from a loaded (or never loaded) form.
enum class Ending { NeverLoaded, LoadedHidden, Shown, Unloaded, Discarded, ProgramEnd, ReloadedTwice, OwnedWithOwner };

TEST(FormLayer, DestroyingFormsOfEveryShapeLeaksNothing) {
  const Ending endings[] = {Ending::NeverLoaded, Ending::LoadedHidden, Ending::Shown,         Ending::Unloaded,
                            Ending::Discarded,   Ending::ProgramEnd,   Ending::ReloadedTwice, Ending::OwnedWithOwner};
  // One round first, so that what the layer keeps for the process (the dialog font, classes) is
  // there before counting.
  {
    app::ResetForTests();
    frmEverything warm, owned(&warm);
    warm.Show();
    owned.ShowFrom(warm);
    testutil::PumpFor(std::chrono::milliseconds(50));
  }
  for (size_t i = 0; i < std::size(endings) * 2; ++i) {
    app::ResetForTests();
    testutil::PumpFor(std::chrono::milliseconds(20));
    int gdiBefore = testutil::GdiObjectCount(), userBefore = testutil::UserObjectCount();
    ASSERT_GT(gdiBefore, 0) << "case " << i;
    Handles seen;
    {
      auto owner = std::make_unique<frmEverything>();
      auto f = std::make_unique<frmEverything>(owner.get());
      switch (endings[i % std::size(endings)]) {
        case Ending::NeverLoaded: break;
        case Ending::LoadedHidden: ASSERT_TRUE(f->Load()) << "case " << i; break;
        case Ending::Shown: ASSERT_TRUE(f->Show()) << "case " << i; break;
        case Ending::Unloaded:
          f->Show();
          f->Unload();
          break;
        case Ending::Discarded:
          f->Show();
          f->Discard();
          break;
        case Ending::ProgramEnd:
          f->Show();
          app::End();
          break;
        case Ending::ReloadedTwice:
          for (int round = 0; round < 3; ++round) {
            f->Show();
            if (round < 2) f->Unload();
          }
          break;
        case Ending::OwnedWithOwner:
          owner->Show();
          f->ShowFrom(*owner);
          break;
      }
      if (f->Loaded()) {
        seen = HandlesOf(*f);
        EXPECT_TRUE(seen.gdi[0] && seen.gdi[1] && seen.gdi[2] && seen.smallIcon) << "case " << i;
        testutil::PumpFor(std::chrono::milliseconds(20));  // paint once, with everything in use
      }
      if (endings[i % std::size(endings)] == Ending::OwnedWithOwner) owner.reset();  // the owner goes first, taking its dialog
    }
    testutil::PumpFor(std::chrono::milliseconds(20));
    for (HWND w : seen.windows) EXPECT_FALSE(IsWindow(w)) << "case " << i;
    for (HGDIOBJ g : seen.gdi) EXPECT_EQ(GetObjectType(g), 0u) << "case " << i;
    if (seen.smallIcon) {
      ICONINFO info{};
      EXPECT_FALSE(GetIconInfo(seen.smallIcon, &info)) << "case " << i;
    }
    EXPECT_EQ(testutil::GdiObjectCount(), gdiBefore) << "case " << i;
    EXPECT_EQ(testutil::UserObjectCount(), userBefore) << "case " << i;
    EXPECT_EQ(app::LoadedForms(), 0) << "case " << i;
  }
}

// A constructor is part of a form's design: this one disables the button and hides the picture.
class frmDesigned : public frmEverything {
 public:
  frmDesigned() {
    Command1.SetEnabled(false);
    Picture1.SetVisible(false);
  }
};

TEST(FormLayer, AReloadedFormStartsFromItsDesign) {
  app::ResetForTests();
  frmEverything owner;
  frmDesigned f;
  ASSERT_TRUE(owner.Load());
  auto child = [&](const char* name) { return ChildNamed(f.hwnd(), name); };
  // Every state a program or its user can change, changed, round after round: a round that sets
  // a text box while the form is unloaded shows it at the next load only.
  for (int round = 0; round < 3; ++round) {
    if (round == 1) f.Text1.SetText("set while unloaded");
    f.SetOwner(&owner);
    ASSERT_TRUE(f.Load()) << "round " << round;
    EXPECT_EQ(testutil::TextOf(child("Text1")), round == 1 ? "set while unloaded" : "text") << "round " << round;
    SendMessageA(child("chkThing"), BM_CLICK, 0, 0);
    SetWindowTextA(child("Text1"), "typed");
    f.Text2.SetText("set");
    f.Label1.SetText("changed");
    f.Label3.SetColour(RGB(0, 0, 200));
    f.List1.AddItem("item");
    f.Shape1.SetWidth(10);
    f.Timer1.SetInterval(0);
    f.Command1.SetEnabled(true);
    f.chkThing.SetEnabled(false);
    f.Picture1.SetVisible(true);
    f.Label2.SetVisible(false);
    f.SetCaption("Other");
    f.SetDefaultButton("Command1");
    f.Unload();
    ASSERT_TRUE(f.Load()) << "round " << round;
    struct Designed {
      const char* name;
      const char* text;
      bool enabled, visible;
    } designed[] = {{"Label1", "Plain", true, true},  {"Label2", "Bold and big", true, true},
                    {"Command1", "&OK", false, true}, {"chkThing", "Thing", true, true},
                    {"Text1", "text", true, true},    {"Text2", "more", true, true},
                    {"Picture1", "", true, false}};
    for (size_t i = 0; i < std::size(designed); ++i) {
      HWND w = child(designed[i].name);
      ASSERT_TRUE(w) << "round " << round << " control " << i;
      EXPECT_EQ(testutil::TextOf(w), designed[i].text) << "round " << round << " control " << i;
      EXPECT_EQ(IsWindowEnabled(w) != FALSE, designed[i].enabled) << "round " << round << " control " << i;
      EXPECT_EQ((GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) != 0, designed[i].visible) << "round " << round << " control " << i;
    }
    EXPECT_EQ(f.chkThing.Value(), 0) << "round " << round;
    EXPECT_EQ(f.List1.ListCount(), 0) << "round " << round;
    EXPECT_EQ(f.Label3.Colour(), RGB(200, 0, 0)) << "round " << round;
    EXPECT_FLOAT_EQ(f.Shape1.Width(), 3000) << "round " << round;
    EXPECT_TRUE(f.Timer1.Armed()) << "round " << round;
    EXPECT_EQ(f.Timer1.Interval(), 50u) << "round " << round;
    EXPECT_EQ(testutil::TextOf(f.hwnd()), "Everything") << "round " << round;
    EXPECT_EQ(f.Desc().defaultButton, nullptr) << "round " << round;
    EXPECT_EQ(GetWindow(f.hwnd(), GW_OWNER), nullptr) << "round " << round;  // owned only when asked again
    f.Unload();
  }
  owner.Unload();
}

// A control type the layer does not know: it sees its own messages and what its form reflects.
class Probe : public Control {
 public:
  using Control::Control;
  ~Probe() override { Release(); }
  std::vector<UINT> own, reflected;
  HBRUSH brush = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));

 protected:
  void Create(HWND parent) override { CreateChild(parent, "BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0, "probe"); }
  bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    if (msg != WM_APP) return false;
    own.push_back(msg);
    result = 42;
    return true;
  }
  bool Reflected(UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    reflected.push_back(msg);
    result = msg == WM_CTLCOLORBTN ? reinterpret_cast<LRESULT>(brush) : TRUE;
    return true;
  }
};

class frmProbe : public Form {
 public:
  frmProbe() : Form({.name = "frmProbe", .caption = "Probe", .client = {3000, 2000}}) {}
  Probe Probe1{this, "Probe1", {120, 120, 1200, 375}};
  Probe Probe2{this, "Probe2", {120, 600, 1200, 375}};
};

TEST(FormLayer, NotificationsReachTheControlThatOwnsThem) {
  app::ResetForTests();
  frmProbe f;
  ASSERT_TRUE(f.Show());
  HWND one = ChildNamed(f.hwnd(), "Probe1"), two = ChildNamed(f.hwnd(), "Probe2");
  ASSERT_TRUE(one && two);
  EXPECT_EQ(Control::FromWindow(one), &f.Probe1);
  EXPECT_EQ(Form::FromWindow(f.hwnd()), &f);
  EXPECT_EQ(Control::FromWindow(f.hwnd()), nullptr);

  EXPECT_EQ(SendMessageA(one, WM_APP, 0, 0), 42);
  EXPECT_EQ(f.Probe1.own.size(), 1u);
  EXPECT_TRUE(f.Probe2.own.empty());

  // Paint the owner-drawn buttons: WM_DRAWITEM and WM_CTLCOLORBTN come back to each.
  InvalidateRect(two, nullptr, TRUE);
  UpdateWindow(two);
  SendMessageA(two, BM_CLICK, 0, 0);  // WM_COMMAND BN_CLICKED
  NMHDR hdr{two, static_cast<UINT_PTR>(ControlId("Probe2")), NM_CLICK};
  SendMessageA(f.hwnd(), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
  auto has = [](const std::vector<UINT>& v, UINT m) { return std::find(v.begin(), v.end(), m) != v.end(); };
  EXPECT_TRUE(has(f.Probe2.reflected, WM_DRAWITEM));
  EXPECT_TRUE(has(f.Probe2.reflected, WM_COMMAND));
  EXPECT_TRUE(has(f.Probe2.reflected, WM_NOTIFY));
  EXPECT_FALSE(has(f.Probe1.reflected, WM_COMMAND));
  EXPECT_FALSE(has(f.Probe1.reflected, WM_NOTIFY));
  f.Unload();
}

class frmDialog : public Form {
 public:
  frmDialog()
      : Form({.name = "frmDialog", .caption = "Dialog", .client = {4500, 3000}, .defaultButton = "cmdOK",
              .cancelButton = "cmdCancel"}) {}
  std::vector<std::string> said;
  TextBox Text1{this, "Text1", {120, 120, 2000, 285}};
  TextBox Text2{this, "Text2", {120, 500, 2000, 700}, "", {.multiLine = true}};
  Label Label1{this, "Label1", {2300, 120, 1000, 255}, "&Name"};
  TextBox txtName{this, "txtName", {2300, 500, 1500, 285}};
  Button cmdOK{this, "cmdOK", {120, 2400, 1200, 375}, "OK", [this] { said.push_back("OK"); }};
  Button cmdCancel{this, "cmdCancel", {1500, 2400, 1200, 375}, "Cancel", [this] { said.push_back("Cancel"); }};
  Button cmdMore{this, "cmdMore", {2900, 2400, 1200, 375}, "&More", [this] { said.push_back("More"); }};
  CheckBox chkThing{this, "chkThing", {120, 1900, 2000, 255}, "&Thing", [this] { said.push_back("Thing"); }};
};

// Posts a key as the keyboard would (down, then what TranslateMessage makes of it) and lets any
// message loop take it.
void Key(HWND focus, UINT message, WPARAM key) {
  PostMessageA(focus, message, key, 1);
  testutil::PumpFor(std::chrono::milliseconds(30));
}

TEST(FormLayer, EnterEscTabAndAccessKeysOnADialog) {
  app::ResetForTests();
  frmDialog f;
  ASSERT_TRUE(f.Show());
  f.SetFocus();
  HWND text1 = ChildNamed(f.hwnd(), "Text1");
  struct Case {
    const char* focus;
    UINT message;
    WPARAM key;
    const char* said;  // what was pressed, "" for nothing
    const char* focusAfter;
  };
  const Case cases[] = {
      {"Text1", WM_KEYDOWN, VK_RETURN, "OK", "Text1"},
      {"Text1", WM_KEYDOWN, VK_ESCAPE, "Cancel", "Text1"},
      {"cmdMore", WM_KEYDOWN, VK_RETURN, "More", "cmdMore"},  // a focused button is the one Enter presses
      {"Text2", WM_KEYDOWN, VK_RETURN, "", "Text2"},          // a multi-line text box takes Enter itself
      {"Text1", WM_SYSCHAR, 'm', "More", "Text1"},            // Alt+M
      {"cmdOK", WM_CHAR, 'm', "More", "cmdOK"},               // M alone where no text is typed
      {"Text1", WM_CHAR, 'm', "", "Text1"},                   // typed into the text box
      {"Text1", WM_SYSCHAR, 'n', "", "txtName"},              // a label's key focuses what follows it
      {"Text1", WM_SYSCHAR, 't', "Thing", "chkThing"},
      {"Text1", WM_KEYDOWN, VK_TAB, "", "Text2"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    f.said.clear();
    HWND focus = ChildNamed(f.hwnd(), c.focus);
    SetFocus(focus);
    ASSERT_EQ(GetFocus(), focus) << "case " << i;
    Key(focus, c.message, c.key);
    std::string said;
    for (auto& s : f.said) said += s;
    EXPECT_EQ(said, c.said) << "case " << i;
    EXPECT_EQ(GetFocus(), ChildNamed(f.hwnd(), c.focusAfter)) << "case " << i;
  }
  // A disabled default button is not pressed.
  f.cmdOK.SetEnabled(false);
  f.said.clear();
  SetFocus(text1);
  Key(text1, WM_KEYDOWN, VK_RETURN);
  EXPECT_TRUE(f.said.empty());
  EXPECT_EQ(SendMessageA(f.hwnd(), DM_GETDEFID, 0, 0), MAKELONG(ControlId("cmdOK"), DC_HASDEFID));
  f.Unload();
}

TEST(FormLayer, AnOwnedDialogStaysAboveItsOpenerWithoutATaskbarButton) {
  app::ResetForTests();
  frmEverything opener;
  frmDialog dialog;
  ASSERT_TRUE(opener.Show());
  EXPECT_TRUE(GetWindowLongPtrA(opener.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  ASSERT_TRUE(dialog.ShowFrom(opener));
  EXPECT_EQ(GetWindow(dialog.hwnd(), GW_OWNER), opener.hwnd());
  EXPECT_FALSE(GetWindowLongPtrA(dialog.hwnd(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_FALSE(opener.Enabled());

  auto above = [&] {
    for (HWND w = GetWindow(dialog.hwnd(), GW_HWNDNEXT); w; w = GetWindow(w, GW_HWNDNEXT))
      if (w == opener.hwnd()) return true;
    return false;
  };
  EXPECT_TRUE(above());
  // Bringing the opener forward leaves its dialog above it.
  SetWindowPos(opener.hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  testutil::PumpFor(std::chrono::milliseconds(30));
  EXPECT_TRUE(above());

  // Closing the dialog gives the opener back.
  dialog.Unload();
  EXPECT_TRUE(opener.Enabled());
  EXPECT_FALSE(app::Ended());
  EXPECT_EQ(GetForegroundWindow(), opener.hwnd());
  opener.Unload();
  EXPECT_TRUE(app::Ended());
}

// A window without an owner that is to have no taskbar button is a tool window; one made off
// screen stays there.
TEST(FormLayer, AnOwnerlessFormOffTheTaskbarIsAToolWindowAndOffScreenStaysOff) {
  app::ResetForTests();
  struct Hidden : Form {
    Hidden() : Form({.name = "HiddenForm", .caption = "h", .client = {600, 600}, .border = Border::NoBorder,
                     .centred = false, .showInTaskbar = false, .offScreen = true}) {}
  } f;
  ASSERT_TRUE(f.Load());
  LONG_PTR ex = GetWindowLongPtrA(f.hwnd(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(ex & WS_EX_APPWINDOW);
  RECT r;
  GetWindowRect(f.hwnd(), &r);
  EXPECT_EQ(r.left, -32000);
  EXPECT_EQ(r.top, -32000);
  f.Unload();
}

// Controls and forms that cannot be made.
class NoSuchClass : public Control {
 public:
  using Control::Control;
  ~NoSuchClass() override { Release(); }

 protected:
  void Create(HWND parent) override { CreateChild(parent, "NoSuchWindowClass", 0, 0, ""); }
};

class frmBroken : public Form {
 public:
  explicit frmBroken(const char* name) : Form({.name = name, .caption = "Broken", .client = {3000, 2000}}) {}
  Label Label1{this, "Label1", {120, 120, 2000, 255}, "Made before the broken one"};
  NoSuchClass Broken1{this, "Broken1", {120, 600, 1200, 375}};
  int loads = 0;
  void Form_Load() override { ++loads; }
};

class frmNoControls : public Form {
 public:
  explicit frmNoControls(const char* name) : Form({.name = name, .caption = "Nothing", .client = {3000, 2000}}) {}
};

TEST(FormLayer, FailuresToMakeWindowsAreReported) {
  app::ResetForTests();
  int userBefore = testutil::UserObjectCount();
  {
    frmBroken f("frmBroken");
    EXPECT_FALSE(f.Load());
    EXPECT_NE(f.LoadError(), 0u);
    EXPECT_FALSE(f.Loaded());
    EXPECT_EQ(f.loads, 0);
    EXPECT_FALSE(f.Show());
    EXPECT_EQ(app::LoadedForms(), 0);
  }
  EXPECT_EQ(testutil::UserObjectCount(), userBefore);
  // A class name longer than the system takes cannot be registered.
  std::string tooLong(300, 'x');
  frmNoControls g(tooLong.c_str());
  EXPECT_FALSE(g.Load());
  EXPECT_NE(g.LoadError(), 0u);
  EXPECT_EQ(app::LoadedForms(), 0);
  EXPECT_FALSE(app::Ended());
}

TEST(FormLayer, AccessKeysOfCaptions) {
  struct Case {
    const char* caption;
    char key;
  } cases[] = {{"&OK", 'O'}, {"Cancel", 0}, {"Fish && Chips", 0}, {"Fish && &Chips", 'C'}, {"E&xit", 'X'},
               {"trailing&", 0}, {"&&&a", 'A'}, {"", 0}};
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(AccessKeyOf(cases[i].caption), cases[i].key) << "case " << i;
}

}  // namespace
