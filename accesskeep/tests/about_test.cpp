// The about box: one window however often it is asked for, shown without waiting, closed by OK,
// and never ending the host's message loop.
#include <gtest/gtest.h>

#include "form.h"
#include "host.h"
#include "test_util.h"

using namespace akt;

namespace {

std::vector<HWND> AboutBoxes() { return testutil::TopWindows("frmAbout"); }

HWND Child(HWND form, const char* name) { return testutil::ChildNamed(form, name); }

TEST(About, OneBoxShownAtOnceAndClosedByOk) {
  winapp::ComApartment com;
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  winapp::Module library(LoadLibraryA(LibraryPath().c_str()));
  auto canUnload =
      reinterpret_cast<CanUnload>(reinterpret_cast<void (*)()>(GetProcAddress(library.get(), "DllCanUnloadNow")));
  ASSERT_TRUE(canUnload);

  for (int round = 0; round < 3; ++round) {
    {
      winapp::HostedObject object;
      ASSERT_EQ(winapp::HostedObject::CreateFromLibrary(ClsId, LibraryPath(), object), S_OK);
      Control c(object.get());
      EXPECT_EQ(c.About().hr, S_OK) << "round " << round;
      EXPECT_EQ(c.About().hr, S_OK) << "round " << round;
      ASSERT_TRUE(testutil::PumpUntil([] { return !AboutBoxes().empty(); })) << "round " << round;
    }
    // The control is gone; its about box stays, and keeps the library loaded.
    std::vector<HWND> boxes = AboutBoxes();
    ASSERT_EQ(boxes.size(), 1u) << "round " << round;
    HWND box = boxes[0];
    EXPECT_TRUE(IsWindowVisible(box)) << "round " << round;
    EXPECT_EQ(testutil::TextOf(box), "About") << "round " << round;
    EXPECT_EQ(testutil::TextOf(Child(box, "lblAbout")), "Kestrovane Software Login Active X Control.");
    EXPECT_EQ(testutil::TextOf(Child(box, "lblVersion")), "Version 1.1 - November 2002");
    EXPECT_EQ(testutil::TextOf(Child(box, "Command1")), "&OK");
    ASSERT_TRUE(Child(box, "picLogo"));
    EXPECT_TRUE(SendMessageA(Child(box, "picLogo"), STM_GETIMAGE, IMAGE_BITMAP, 0)) << "round " << round;
    EXPECT_EQ(GetFocus(), Child(box, "Command1")) << "round " << round;
    EXPECT_EQ(canUnload(), S_FALSE) << "round " << round;

    // Closed by OK, or by Enter or Esc in the host's own message loop (this test's pumping),
    // which knows nothing of the library's dialog keys.
    if (round == 0) SendMessageA(Child(box, "Command1"), BM_CLICK, 0, 0);
    else PostMessageA(GetFocus(), WM_KEYDOWN, round == 1 ? VK_RETURN : VK_ESCAPE, 1);
    EXPECT_TRUE(testutil::PumpUntil([] { return AboutBoxes().empty(); })) << "round " << round;
    // The host's message loop goes on: no WM_QUIT from the library's form layer.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "round " << round;
    EXPECT_EQ(canUnload(), S_OK) << "round " << round;
  }
}

}  // namespace
