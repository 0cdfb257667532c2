// The skinned button in a real window: its looks driven by real mouse input and a moved pointer
// on the virtual display, its properties and their order of effects, its events, persistence,
// keys, and its resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "test_util.h"
#include "xpcmdbutton.h"

using namespace winapp;
using namespace std::chrono_literals;

namespace {

class frmHost : public Form {
 public:
  explicit frmHost(PropertyBag stored = {{"Caption", std::string("&OK")}})
      : Form({.name = "frmHost", .caption = "Host", .client = {4500, 2400}, .topMost = true,
              .defaultButton = "Command2"}),
        Command1(this, "Command1", {600, 600, 1125, 345}, stored, [this] { ++clicks; }) {}
  int clicks = 0;
  std::vector<long> events;
  xpcmdbutton Command1;
  xpcmdbutton Command2{this, "Command2", {600, 1400, 1125, 345}, "Default", [this] { ++defaultClicks; }};
  int defaultClicks = 0;

  void Form_Load() override {
    Command1.OnEvent = [this](long id) { events.push_back(id); };
  }
  long Count(long id) const { return std::count(events.begin(), events.end(), id); }
};

// The pointer: moved for real, as a user moves it.
POINT ScreenPoint(HWND w, int x, int y) {
  POINT p{x, y};
  ClientToScreen(w, &p);
  return p;
}
void MoveTo(POINT p) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof in);
  SetCursorPos(p.x, p.y);
  testutil::PumpFor(40ms);
}
void MouseButton(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof in);
  testutil::PumpFor(40ms);
}

class SkinnedButton : public ::testing::Test {
 protected:
  void SetUp() override {
    app::ResetForTests();
    f = std::make_unique<frmHost>();
    ASSERT_TRUE(f->Show());
    f->SetFocus();
    w = f->Command1.hwnd();
    ASSERT_TRUE(w);
    MoveTo(Outside());
    f->events.clear();
  }
  void TearDown() override {
    MouseButton(MOUSEEVENTF_LEFTUP);
    MouseButton(MOUSEEVENTF_RIGHTUP);
    f.reset();
  }
  POINT Inside() const { return ScreenPoint(w, 30, 11); }
  POINT Outside() const { return ScreenPoint(w, 30, 60); }
  bool WaitRest() {
    return testutil::PumpUntil([&] { return !f->Command1.HoverTimerOn(); }, 5s);
  }
  std::unique_ptr<frmHost> f;
  HWND w = nullptr;
};

TEST_F(SkinnedButton, HoverInAndOut) {
  MoveTo(Inside());
  EXPECT_GE(f->Count(xpcmdbutton::EventMouseMove), 1);
  EXPECT_EQ(f->Command1.Face(), xpskin::Hover);
  EXPECT_TRUE(f->Command1.HoverTimerOn());
  MoveTo(Outside());
  ASSERT_TRUE(WaitRest());
  testutil::PumpFor(100ms);  // ten more periods: no second MouseOut
  EXPECT_EQ(f->Count(xpcmdbutton::EventMouseOut), 1);
  EXPECT_EQ(f->Command1.Face(), xpskin::Normal);
  EXPECT_FALSE(f->Command1.HoverTimerOn());
  EXPECT_EQ(f->clicks, 0);
}

TEST_F(SkinnedButton, PressAndClickRestsAtOnceOnRelease) {
  short faceAtClick = -1;
  f->Command1.OnEvent = [&](long id) {
    f->events.push_back(id);
    if (id == xpcmdbutton::EventClick) faceAtClick = f->Command1.Face();
  };
  MoveTo(Inside());
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(f->Command1.Face(), xpskin::Pressed);
  EXPECT_EQ(f->Count(xpcmdbutton::EventMouseDown), 1);
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(f->Count(xpcmdbutton::EventMouseUp), 1);
  EXPECT_EQ(f->clicks, 1);
  EXPECT_EQ(faceAtClick, xpskin::Normal);  // resting at once, with the pointer still over it
  // The order the host sees: down, up, click.
  std::vector<long> order;
  for (long e : f->events)
    if (e != xpcmdbutton::EventMouseMove) order.push_back(e);
  EXPECT_EQ(order, (std::vector<long>{xpcmdbutton::EventMouseDown, xpcmdbutton::EventMouseUp, xpcmdbutton::EventClick}));
}

TEST_F(SkinnedButton, DragOutAndReleaseOutside) {
  MoveTo(Inside());
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  int movesInside = f->Count(xpcmdbutton::EventMouseMove);
  MoveTo(Outside());
  EXPECT_EQ(f->Count(xpcmdbutton::EventMouseMove), movesInside);  // nothing raised outside
  ASSERT_TRUE(WaitRest());
  EXPECT_EQ(f->Count(xpcmdbutton::EventMouseOut), 1);
  EXPECT_EQ(f->Command1.Face(), xpskin::Normal);
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(f->Count(xpcmdbutton::EventMouseUp), 1);
  EXPECT_EQ(f->clicks, 0);
}

TEST_F(SkinnedButton, RightPressShowsPressedAndMovingWithItHovers) {
  MoveTo(Inside());
  MouseButton(MOUSEEVENTF_RIGHTDOWN);
  EXPECT_EQ(f->Command1.Face(), xpskin::Pressed);
  MoveTo(ScreenPoint(w, 40, 12));
  EXPECT_EQ(f->Command1.Face(), xpskin::Hover);
  MouseButton(MOUSEEVENTF_RIGHTUP);
  EXPECT_EQ(f->clicks, 0);
}

TEST_F(SkinnedButton, StateSelectsTheRestingLook) {
  struct Case {
    long state;
    short rest;
  } cases[] = {{1, xpskin::Emphasised}, {2, xpskin::Emphasised}, {0, xpskin::Normal}, {2, xpskin::Normal}, {-5, xpskin::Normal}, {1, xpskin::Emphasised}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    f->Command1.SetState(cases[i].state);
    EXPECT_EQ(f->Command1.State(), cases[i].state) << "case " << i;
    EXPECT_EQ(f->Command1.Face(), cases[i].rest) << "case " << i;
  }
}

TEST_F(SkinnedButton, DisablingWhileHovered) {
  MoveTo(Inside());
  ASSERT_EQ(f->Command1.Face(), xpskin::Hover);
  std::vector<std::string> seen;
  f->Command1.OnPropertyChanged = [&](const char* name) {
    // Reported before the face and the caption colour change.
    seen.push_back(std::string(name) + (f->Command1.Face() == xpskin::Hover ? " before" : " after"));
  };
  f->Command1.SetEnabled(false);
  EXPECT_EQ(seen, std::vector<std::string>{"Enabled before"});
  EXPECT_EQ(f->Command1.Face(), xpskin::Disabled);
  EXPECT_FALSE(IsWindowEnabled(w));
  testutil::PumpFor(50ms);
  // The caption is drawn grey: look at the screen under the caption.
  auto captionHas = [&](COLORREF colour) {
    RECT r = f->Command1.CaptionRect();
    WindowDc dc(w);
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (GetPixel(dc.get(), x, y) == colour) return true;
    return false;
  };
  EXPECT_TRUE(captionHas(xpcmdbutton::DisabledCaptionColour));
  f->Command1.SetEnabled(true);
  EXPECT_EQ(f->Command1.Face(), xpskin::Normal);
  testutil::PumpFor(50ms);
  EXPECT_TRUE(captionHas(RGB(0, 0, 0)));
  EXPECT_FALSE(captionHas(xpcmdbutton::DisabledCaptionColour));
}

TEST_F(SkinnedButton, CaptionsOfAnyLengthStayCentred) {
  const char* captions[] = {"&OK", "A much longer caption", "", "W", "&Check for updates"};
  RECT client;
  GetClientRect(w, &client);
  int lastWidth = -1;
  for (size_t i = 0; i < std::size(captions); ++i) {
    f->Command1.SetCaption(captions[i]);
    RECT r = f->Command1.CaptionRect();
    EXPECT_EQ(r.left, (client.right - (r.right - r.left)) / 2) << "case " << i;
    EXPECT_EQ(r.top, (client.bottom - (r.bottom - r.top)) / 2) << "case " << i;
    EXPECT_EQ(testutil::TextOf(w), captions[i]) << "case " << i;
    if (i == 1) {
      EXPECT_GT(r.right - r.left, lastWidth) << "case " << i;
    }
    lastWidth = r.right - r.left;
  }
}

TEST_F(SkinnedButton, HandlersGetTheirArgumentsByReference) {
  // A host that turns every move into a left-button move sees the pressed look.
  f->Command1.OnMouseMove = [](short& Button, short&, float& x, float& Y) {
    EXPECT_TRUE(x >= 0 && x <= 75 && Y >= 0 && Y <= 23);
    Button = 1;
  };
  MoveTo(Inside());
  EXPECT_EQ(f->Command1.Face(), xpskin::Pressed);
}

TEST_F(SkinnedButton, KeysRaiseEventsAndPressNothing) {
  short lastKey = 0, lastAscii = 0;
  f->Command1.OnKeyDown = [&](short& KeyCode, short&) { lastKey = KeyCode; };
  f->Command1.OnKeyPress = [&](short& KeyAscii) { lastAscii = KeyAscii; };
  SetFocus(w);
  ASSERT_EQ(GetFocus(), w);
  PostMessageA(w, WM_KEYDOWN, VK_SPACE, 1);  // its character follows from the message loop
  PostMessageA(w, WM_KEYUP, VK_SPACE, 1);
  testutil::PumpFor(50ms);
  EXPECT_EQ(lastKey, VK_SPACE);
  EXPECT_EQ(lastAscii, ' ');
  EXPECT_EQ(f->Count(xpcmdbutton::EventKeyDown), 1);
  EXPECT_EQ(f->Count(xpcmdbutton::EventKeyPress), 1);
  EXPECT_EQ(f->Count(xpcmdbutton::EventKeyUp), 1);
  EXPECT_EQ(f->clicks, 0);
  // Enter on it presses the window's default button, not this one.
  PostMessageA(w, WM_KEYDOWN, VK_RETURN, 1);
  testutil::PumpFor(50ms);
  EXPECT_EQ(f->clicks, 0);
  EXPECT_EQ(f->defaultClicks, 1);
  // Its access key clicks it, from anywhere on the window.
  SetFocus(f->Command2.hwnd());
  PostMessageA(f->Command2.hwnd(), WM_SYSCHAR, 'o', 1 << 29);
  testutil::PumpFor(50ms);
  EXPECT_EQ(f->clicks, 1);
  // So do other programs and assistive technology, through BM_CLICK.
  SendMessageA(w, BM_CLICK, 0, 0);
  EXPECT_EQ(f->clicks, 2);
  f->Command1.SetEnabled(false);
  SendMessageA(w, BM_CLICK, 0, 0);
  EXPECT_EQ(f->clicks, 2);
}

TEST(ButtonWindow, AChildWindowOfItsOwnClassReadAsAButton) {
  app::ResetForTests();
  frmHost f;
  ASSERT_TRUE(f.Show());
  HWND w = testutil::ChildNamed(f.hwnd(), "Command1");
  ASSERT_EQ(w, f.Command1.hwnd());
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  EXPECT_EQ(std::string(cls), xpcmdbutton::ClassName());
  EXPECT_EQ(xpcmdbutton::ClassName(), "xpcmdbutton_test.xpcmdbutton");
  EXPECT_EQ(testutil::TextOf(w), "&OK");
  RECT r;
  GetClientRect(w, &r);
  EXPECT_EQ(r.right, 75);
  EXPECT_EQ(r.bottom, 23);
  // A repaint by the system shows the last face.
  f.Command1.SetState(1);
  InvalidateRect(w, nullptr, TRUE);
  UpdateWindow(w);
  WindowDc dc(w);
  EXPECT_EQ(GetPixel(dc.get(), 1, 1), GetPixel(f.Command1.FaceDc(), 1, 1));
  EXPECT_EQ(GetPixel(f.Command1.FaceDc(), 1, 1), RGB(0x27, 0x4D, 0x85));  // the emphasised corner
}

TEST(ButtonWindow, PropertiesAreReadAndWrittenInTheirOrderWithoutDefaults) {
  app::ResetForTests();
  StdFont big{"Arial", 12, true};
  struct Case {
    PropertyBag stored;
    long state;
    bool enabled;
    std::string caption;
    StdFont font;
    std::vector<std::string> written;  // keys present after writing
  };
  StdFont ambient;
  {
    frmHost probe;
    ambient = probe.Command2.Font();
  }
  std::vector<Case> cases = {
      {{}, 0, true, "Command1", ambient, {}},
      {{{"State", 1L}}, 1, true, "Command1", ambient, {"State"}},
      {{{"Enabled", false}, {"Caption", std::string("&Go")}}, 0, false, "&Go", ambient, {"Enabled", "Caption"}},
      {{{"Font", big}, {"State", 2L}}, 2, true, "Command1", big, {"State", "Font"}},
      {{{"State", std::string("1")}, {"Caption", 5L}}, 0, true, "Command1", ambient, {}},  // damaged: defaults
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    frmHost f(cases[i].stored);
    EXPECT_EQ(f.Command1.State(), cases[i].state) << "case " << i;
    EXPECT_EQ(f.Command1.Enabled(), cases[i].enabled) << "case " << i;
    EXPECT_EQ(f.Command1.Caption(), cases[i].caption) << "case " << i;
    EXPECT_TRUE(f.Command1.Font() == cases[i].font) << "case " << i;
    PropertyBag out;
    f.Command1.WriteProperties(out);
    EXPECT_EQ(out.Order(), (std::vector<std::string>{"State", "Enabled", "Caption", "Font"})) << "case " << i;
    for (const char* key : {"State", "Enabled", "Caption", "Font"}) {
      bool want = std::find(cases[i].written.begin(), cases[i].written.end(), key) != cases[i].written.end();
      EXPECT_EQ(out.Has(key), want) << "case " << i << " " << key;
    }
    // Read back, it is the same button.
    frmHost again(out);
    EXPECT_EQ(again.Command1.Caption(), f.Command1.Caption()) << "case " << i;
    EXPECT_EQ(again.Command1.State(), f.Command1.State()) << "case " << i;
  }
  PropertyBag read{{"State", 1L}};
  frmHost reader(read);
  PropertyBag probe;
  reader.Command1.ReadProperties(probe);
  EXPECT_EQ(probe.Order(), (std::vector<std::string>{"State", "Enabled", "Caption", "Font"}));
}

TEST(ButtonWindow, AStoredStateOfOneIsShownWhenTheHostLoads) {
  app::ResetForTests();
  frmHost f({{"State", 1L}, {"Caption", std::string("&OK")}});
  ASSERT_TRUE(f.Show());
  EXPECT_EQ(f.Command1.Face(), xpskin::Emphasised);
  EXPECT_EQ(f.Command2.Face(), xpskin::Normal);
}

class frmNew : public Form {
 public:
  frmNew() : Form({.name = "frmNew", .caption = "New", .client = {3000, 1500}}) {}
  xpcmdbutton xpcmdbutton1{this, "xpcmdbutton1", {120, 120, 1125, 345}};
};

TEST(ButtonWindow, ANewInstanceTakesTheDisplayNameAndTheHostsFont) {
  app::ResetForTests();
  frmNew f;
  EXPECT_EQ(f.xpcmdbutton1.Caption(), "xpcmdbutton1");
  EXPECT_EQ(f.xpcmdbutton1.Font().Name, "MS Sans Serif");
  EXPECT_EQ(f.xpcmdbutton1.Font().Size, 8);
  EXPECT_TRUE(f.xpcmdbutton1.Enabled());
  EXPECT_EQ(f.xpcmdbutton1.State(), 0);
}

TEST(ButtonWindow, LoadingAndDestroyingHostsLeaksNothing) {
  {
    app::ResetForTests();
    frmHost warm;
    warm.Show();
    testutil::PumpFor(30ms);
  }
  testutil::PumpFor(30ms);
  int gdi = testutil::GdiObjectCount(), user = testutil::UserObjectCount();
  for (int round = 0; round < 4; ++round) {
    app::ResetForTests();
    auto f = std::make_unique<frmHost>();
    f->Show();
    f->Command1.SetCaption("round " + std::to_string(round));
    f->Command1.SetFont({"Arial", static_cast<short>(9 + round), round % 2 == 1});
    testutil::PumpFor(20ms);
    if (round % 2) f->Unload();
    // Destroyed at once or after an unload, hovered or not: its timer goes with it.
  }
  testutil::PumpFor(30ms);
  EXPECT_EQ(testutil::GdiObjectCount(), gdi);
  EXPECT_EQ(testutil::UserObjectCount(), user);
}

}  // namespace
