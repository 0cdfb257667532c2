// Draws the shared pictures and icons at build time: every image is described here as shapes
// and written as a BMP (pictures, over the common background colour) or an ICO (with alpha).
// Usage: artgen OUTPUT_DIR
#include "art.h"

namespace {

using namespace art;

// --- the pictures -----------------------------------------------------------------------------


// The browser's world, being swept clean: a globe with a broom across it.
Canvas ActivityPicture() {
  Canvas c(52, 59);
  double cx = 24, cy = 26, r = 20;
  c.Draw(Circle(cx + 1.5, cy + 2, r, Solid(40, 80, 140, 0.35)));
  c.Draw(ShadedCircle(cx, cy, r, Solid(150, 215, 255), Solid(10, 90, 190)));
  Rgba grid = Solid(255, 255, 255, 0.55);
  c.Draw(Within(cx, cy, r, Ring(cx, cy + 30, 34, 1.2, grid)));
  c.Draw(Within(cx, cy, r, Ring(cx, cy - 30, 34, 1.2, grid)));
  c.Draw(Within(cx, cy, r, Rect(cx - 20, cy - 0.6, cx + 20, cy + 0.6, grid)));
  c.Draw(Within(cx, cy, r, Rect(cx - 0.6, cy - 20, cx + 0.6, cy + 20, grid)));
  c.Draw([=](double x, double y) {
    double dx = (x - cx) / 10.0, dy = (y - cy) / r;
    return std::fabs(dx * dx + dy * dy - 1) < 0.12 && std::hypot(x - cx, y - cy) <= r ? grid : Rgba{};
  });
  c.Draw(Ring(cx, cy, r, 1.2, Solid(8, 70, 150)));
  // The broom: a wooden handle and a straw head sweeping the lower right.
  c.Draw(Stroke(47, 6, 30, 40, 3.2, Solid(150, 95, 40)));
  c.Draw(Polygon({{27, 38}, {35, 43}, {40, 56}, {31, 58}, {22, 55}, {20, 45}}, Solid(240, 195, 70)));
  for (int i = 0; i < 4; ++i)
    c.Draw(Stroke(26 + i * 2.6, 44, 23 + i * 4.2, 56, 0.8, Solid(190, 140, 30)));
  c.Draw(Stroke(26, 41, 35, 45, 2.2, Solid(200, 60, 50)));
  return c;
}

// Done: a green disc with a white tick.
Canvas CompletionPicture() {
  Canvas c(40, 37);
  c.Draw(Circle(21, 20, 16, Solid(20, 70, 30, 0.3)));
  c.Draw(ShadedCircle(20, 18.5, 16, Solid(120, 220, 110), Solid(20, 130, 40)));
  c.Draw(Ring(20, 18.5, 16, 1.2, Solid(15, 100, 30)));
  c.Draw(Stroke(12, 19, 18, 25, 4, kWhite));
  c.Draw(Stroke(18, 25, 29, 12, 4, kWhite));
  return c;
}

// Something went wrong: a yellow warning sign with an exclamation mark.
Canvas ErrorPicture() {
  Canvas c(32, 32);
  c.Draw(Polygon({{16, 2}, {31, 29}, {1, 29}}, Solid(120, 80, 0)));
  c.Draw(Polygon({{16, 4.5}, {29, 27.8}, {3, 27.8}}, Solid(255, 214, 40)));
  c.Draw(Stroke(16, 11, 16, 20, 3.2, Solid(30, 30, 30)));
  c.Draw(Circle(16, 24, 1.8, Solid(30, 30, 30)));
  return c;
}

// The program icon: a blue shield with a white sweep across it.
Canvas AppIcon(int size) {
  Canvas c(size, size);
  double k = size / 32.0;
  auto P = [k](double x, double y) { return std::pair<double, double>{x * k, y * k}; };
  c.Draw(Polygon({P(16, 1), P(29, 5), P(28, 18), P(16, 31), P(4, 18), P(3, 5)}, Solid(2, 60, 130)));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26, 17.5), P(16, 28.5), P(6, 17.5), P(5, 6.5)}, kDeepBlue));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26.6, 11), P(16, 8), P(5.4, 11), P(5, 6.5)},
                 Solid(123, 191, 253, 0.7)));
  c.Draw(Stroke(9 * k, 21 * k, 23 * k, 10 * k, 3.2 * k, kWhite));
  c.Draw(Stroke(11 * k, 24 * k, 21 * k, 16 * k, 2.0 * k, Solid(255, 255, 255, 0.8)));
  return c;
}

// --- the login control's pictures --------------------------------------------------------

const Rgba kControlGrey = Solid(212, 208, 200);

// The about box's logo: a user on a blue tile, with the padlock that guards the login.
Canvas LoginLogo() {
  Canvas c(48, 48);
  c.Draw(RoundRect(1, 1, 47, 47, 7, Solid(20, 70, 150)));
  c.Draw(RoundRect(2.5, 2.5, 45.5, 45.5, 6, Solid(60, 130, 220)));
  c.Draw(Circle(19, 15, 7, kWhite));
  c.Draw(Within(19, 40, 14, Rect(0, 24, 48, 45.5, kWhite)));
  DrawPadlock(c, 27, 28, 15);
  return c;
}

// The control's toolbox bitmap, 16 x 15: the padlock alone.
Canvas ToolboxPicture() {
  Canvas c(16, 15);
  DrawPadlock(c, 2.5, 6, 11);
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  return WriteArt(argc, argv, "artgen",
                  {{"clear_activity.bmp", [] { return Bmp(ActivityPicture(), kBack); }},
                   {"clear_done.bmp", [] { return Bmp(CompletionPicture(), kBack); }},
                   {"error.bmp", [] { return Bmp(ErrorPicture(), kBack); }},
                   {"app.ico",
                    [] {
                      Canvas icon32 = AppIcon(32), icon16 = AppIcon(16);
                      return Ico({&icon32, &icon16});
                    }},
                   {"accesskeep_logo.bmp", [] { return Bmp(LoginLogo(), kControlGrey); }},
                   {"accesskeep_toolbox.bmp", [] { return Bmp(ToolboxPicture(), kControlGrey); }}});
}
