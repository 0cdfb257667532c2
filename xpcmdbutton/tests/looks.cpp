// A window with the five looks of the skinned button side by side, as the README shows them:
// normal, pressed, disabled, hover and emphasised. xpcmdbutton_looks [SECONDS] (default 30).
#include <windows.h>

#include <cstdlib>

#include "xpcmdbutton.h"

namespace {

class frmLooks : public winapp::Form {
 public:
  frmLooks() : Form({.name = "frmLooks", .caption = "xpcmdbutton", .client = {8580, 1380}}) {}
  xpcmdbutton cmdNormal{this, "cmdNormal", {240, 240, 1455, 375}, "&Normal", [] {}};
  xpcmdbutton cmdPressed{this, "cmdPressed", {1875, 240, 1455, 375}, "&Pressed", [] {}};
  xpcmdbutton cmdDisabled{this, "cmdDisabled", {3510, 240, 1455, 375}, {{"Caption", std::string("&Disabled")}, {"Enabled", false}}};
  xpcmdbutton cmdHover{this, "cmdHover", {5145, 240, 1455, 375}, "&Hover", [] {}};
  xpcmdbutton cmdEmphasised{this, "cmdEmphasised", {6780, 240, 1575, 375}, {{"Caption", std::string("&Emphasised")}, {"State", 1L}}};
  xpcmdbutton cmdWide{this, "cmdWide", {240, 840, 3090, 315}, "A wider one keeps its corners", [] {}};
  xpcmdbutton cmdSmall{this, "cmdSmall", {3510, 840, 420, 315}, "x", [] {}};
  winapp::Timer Timer1{this, "Timer1", 1000, false, [] { winapp::app::End(); }};

  void Form_Load() override {
    // The passing looks, held for the picture.
    short pressed = xpskin::Pressed, hover = xpskin::Hover;
    cmdPressed.DrawFace(pressed);
    cmdHover.DrawFace(hover);
  }
  void EndAfter(UINT seconds) {
    Timer1.SetInterval(seconds * 1000);
    Timer1.SetTimerEnabled(true);
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command, int) {
  int seconds = command && *command ? std::atoi(command) : 30;
  frmLooks looks;
  looks.ShowAsStartup();
  looks.EndAfter(seconds > 0 ? seconds : 30);
  return winapp::app::RunMessageLoop();
}
