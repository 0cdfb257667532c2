#include <gtest/gtest.h>

#include <set>

#include "form.h"
#include "test_util.h"

using namespace winapp;

namespace {

class frmSample : public Form {
 public:
  explicit frmSample(bool hideOnLoad = false)
      : Form({.name = "frmSample", .caption = "Sample", .client = {4500, 3000}}), hideOnLoad_(hideOnLoad) {}
  int clicks = 0, ticks = 0, checkClicks = 0, unloads = 0;
  Label Label1{this, "Label1", {120, 120, 2000, 255}, "Fish && Chips"};
  Button Command1{this, "Command1", {120, 600, 1200, 375}, "&OK", [this] { ++clicks; }};
  CheckBox chkThing{this, "chkThing", {120, 1100, 2000, 255}, "Thing", [this] { ++checkClicks; }};
  TextBox Text1{this, "Text1", {120, 1500, 2000, 285}, "", {.passwordChar = '*', .maxLength = 20}};
  Shape Shape1{this, "Shape1", {120, 2000, 3000, 300}, RGB(3, 118, 222)};
  Timer Timer1{this, "Timer1", 60000, true, [this] { ++ticks; }};
  Timer Timer2{this, "Timer2", 60000, false, [this] { ++ticks; }};

 private:
  void Form_Load() override {
    if (hideOnLoad_) Hide();
  }
  void Form_Unload() override { ++unloads; }
  bool hideOnLoad_;
};

HWND Child(const Form& f, const char* name) { return GetDlgItem(f.hwnd(), ControlId(name)); }

TEST(Forms, ControlsAreChildWindowsFoundByName) {
  app::ResetForTests();
  frmSample f;
  f.Show();
  ASSERT_TRUE(f.Loaded());
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(testutil::TextOf(f.hwnd()), "Sample");
  char cls[64];
  GetClassNameA(f.hwnd(), cls, sizeof cls);
  EXPECT_STREQ(cls, "frmSample");
  RECT client;
  GetClientRect(f.hwnd(), &client);
  EXPECT_EQ(client.right, 300);
  EXPECT_EQ(client.bottom, 200);

  HWND label = Child(f, "Label1");
  ASSERT_TRUE(label);
  EXPECT_EQ(testutil::TextOf(label), "Fish && Chips");
  RECT r;
  GetWindowRect(label, &r);
  MapWindowPoints(nullptr, f.hwnd(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 8);
  EXPECT_EQ(r.right - r.left, 133);

  SendMessageA(Child(f, "Command1"), BM_CLICK, 0, 0);
  EXPECT_EQ(f.clicks, 1);
  SendMessageA(Child(f, "chkThing"), BM_CLICK, 0, 0);
  EXPECT_EQ(f.chkThing.Value(), 1);
  EXPECT_EQ(f.checkClicks, 1);

  // The text box takes at most its limit and shows stars.
  SetWindowTextA(Child(f, "Text1"), "");
  for (int i = 0; i < 25; ++i) SendMessageA(Child(f, "Text1"), WM_CHAR, 'a', 0);
  EXPECT_EQ(f.Text1.Text().size(), 20u);
  EXPECT_EQ(SendMessageA(Child(f, "Text1"), EM_GETPASSWORDCHAR, 0, 0), '*');

  // Timers fire through real WM_TIMER messages, only while enabled.
  SendMessageA(f.hwnd(), WM_TIMER, ControlId("Timer1"), 0);
  SendMessageA(f.hwnd(), WM_TIMER, ControlId("Timer2"), 0);
  EXPECT_EQ(f.ticks, 1);
  f.Timer2.SetTimerEnabled(true);
  SendMessageA(f.hwnd(), WM_TIMER, ControlId("Timer2"), 0);
  EXPECT_EQ(f.ticks, 2);

  f.Shape1.SetWidth(1500.5f);
  EXPECT_FLOAT_EQ(static_cast<Shape*>(f.Find("Shape1"))->Width(), 1500.5f);
  EXPECT_EQ(f.Find("nothing"), nullptr);

  f.Unload();
  EXPECT_FALSE(f.Loaded());
  EXPECT_EQ(f.unloads, 1);
  EXPECT_TRUE(app::Ended());  // the last form went
}

TEST(Forms, StartupFormHiddenByItsLoadStaysHidden) {
  app::ResetForTests();
  frmSample f(true);
  f.ShowAsStartup();
  EXPECT_TRUE(f.Loaded());
  EXPECT_FALSE(f.Visible());
  frmSample g;
  g.ShowAsStartup();
  EXPECT_TRUE(g.Visible());
  f.Unload();
  EXPECT_FALSE(app::Ended());
  g.Unload();
  EXPECT_TRUE(app::Ended());
}

TEST(Forms, TitleBarCloseUnloadsByDefaultAndEndClosesAll) {
  app::ResetForTests();
  frmSample f, g;
  f.Show();
  g.Show();
  SendMessageA(f.hwnd(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(f.Loaded());
  app::End();
  EXPECT_FALSE(g.Loaded());
  EXPECT_EQ(g.unloads, 0);  // the end runs no handler
  EXPECT_TRUE(app::Ended());
}

class frmGrow : public Form {
 public:
  frmGrow() : Form({.name = "frmGrow", .caption = "Grow", .client = {6000, 1500}}) {}
  Label Label1{this, "Label1", {150, 150, 1500, 255}, "Short", {.fit = Fit::GrowHeight}};
};

TEST(Forms, GrowingLabelShowsLongTextWhole) {
  app::ResetForTests();
  frmGrow f;
  f.Show();
  HWND label = Child(f, "Label1");
  auto size = [&] {
    RECT r;
    GetWindowRect(label, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
  };
  EXPECT_EQ(size().cx, 100);
  EXPECT_EQ(size().cy, 17);  // the design height, while the text fits
  f.Label1.SetText("Deleting Temporary Internet Files... and a good deal more text");
  EXPECT_EQ(size().cx, 100);
  EXPECT_GE(size().cy, 34);
  EXPECT_EQ(f.Label1.Text(), "Deleting Temporary Internet Files... and a good deal more text");
  f.Label1.SetText("Done");
  EXPECT_EQ(size().cy, 17);
  f.Unload();
}

TEST(Forms, ControlIdsOfTheNamesInUseDiffer) {
  const char* names[] = {"Label1", "Label2", "Label3", "Label4", "Label5", "Shape1", "Shape2",
                         "pic1", "pic2", "List1", "Timer1", "Timer2", "Command1", "Command2",
                         "Command3", "Command4", "Picture1", "Picture2", "Picture3", "Text1", "Text2",
                         "Text3", "txtExclude", "chkHistory", "chkTmpInt", "chkCookies", "chkRecent",
                         "chkURL", "chkStartup", "chkClearingDialog", "chkSplash", "chkTray",
                         "chkProtect", "CmdCookie", "cmdCP", "picLogo", "lblAbout", "Login", "Frame1",
                         "Frame2", "Frame3", "Image1", "lblVersion", "lblQuietrailPC"};
  std::set<int> ids;
  for (const char* n : names) EXPECT_TRUE(ids.insert(ControlId(n)).second) << n;
}

TEST(Forms, AFormWhoseControlIdsClashIsNotMade) {
  struct Clashing : Form {
    Clashing() : Form({.name = "ClashingForm", .caption = "c", .client = {600, 600}}) {}
    Label Label1{this, "Label1", {0, 0, 300, 255}, "a"};
    Label Again{this, "Label1", {0, 300, 300, 255}, "b"};
  } f;
  EXPECT_FALSE(f.Load());
  EXPECT_EQ(f.LoadError(), static_cast<DWORD>(ERROR_DUP_NAME));
  EXPECT_FALSE(f.Loaded());
}

}  // namespace
