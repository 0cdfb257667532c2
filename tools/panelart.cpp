// Draws the control panel's pictures at build time, over the common background colour.
// Usage: panelart OUTPUT_DIR
#include "art.h"

namespace {

using namespace art;

// A colour run from `a` at the left edge to `b` at the right edge of [l, r).
Layer HorizontalRun(double l, double t, double r, double bottom, Rgba a, Rgba b) {
  return [=](double x, double y) {
    if (x < l || x >= r || y < t || y >= bottom) return Rgba{};
    double k = (x - l) / (r - l);
    return Rgba{a.r + (b.r - a.r) * k, a.g + (b.g - a.g) * k, a.b + (b.b - a.b) * k, 1};
  };
}

// The product's shield with its white sweep, `size` pixels square at (x, y).
void DrawShield(Canvas& c, double x, double y, double size) {
  double k = size / 32.0;
  auto P = [=](double px, double py) { return std::pair<double, double>{x + px * k, y + py * k}; };
  c.Draw(Polygon({P(16, 1), P(29, 5), P(28, 18), P(16, 31), P(4, 18), P(3, 5)}, Solid(2, 60, 130)));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26, 17.5), P(16, 28.5), P(6, 17.5), P(5, 6.5)}, kDeepBlue));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26.6, 11), P(16, 8), P(5.4, 11), P(5, 6.5)}, Solid(200, 230, 255, 0.6)));
  c.Draw(Stroke(x + 9 * k, y + 21 * k, x + 23 * k, y + 10 * k, 3.2 * k, kWhite));
  c.Draw(Stroke(x + 11 * k, y + 24 * k, x + 21 * k, y + 16 * k, 2.0 * k, Solid(255, 255, 255, 0.8)));
}


// The main window's banner: a deep blue band fading into the background, the shield at its left
// and a row of sparkles where the traces are swept away.
Canvas MainBanner() {
  Canvas c(440, 80);
  c.Draw(HorizontalRun(0, 0, 440, 80, Solid(2, 60, 130), Solid(123, 191, 253)));
  c.Draw(Rect(0, 76, 440, 80, Solid(255, 255, 255, 0.7)));
  DrawShield(c, 16, 8, 64);
  for (int i = 0; i < 9; ++i) {
    double cx = 110 + i * 34, cy = 40 + 12 * std::sin(i * 1.3), s = 4 + (i % 3) * 2;
    c.Draw(Polygon({{cx, cy - s}, {cx + s / 3, cy - s / 3}, {cx + s, cy}, {cx + s / 3, cy + s / 3}, {cx, cy + s},
                    {cx - s / 3, cy + s / 3}, {cx - s, cy}, {cx - s / 3, cy - s / 3}},
                   Solid(255, 255, 255, 0.55 + 0.05 * (i % 4))));
  }
  return c;
}

Canvas MainShield() {
  Canvas c(96, 96);
  c.Draw(Circle(50, 52, 44, Solid(40, 80, 140, 0.25)));
  c.Draw(ShadedCircle(48, 48, 44, Solid(200, 232, 255), Solid(90, 160, 235)));
  DrawShield(c, 16, 14, 64);
  return c;
}

// The traces a run clears: a page of history, a cookie and a folder, each ticked off.
Canvas MainTraces() {
  Canvas c(136, 80);
  // A page with lines.
  c.Draw(RoundRect(8, 10, 44, 58, 3, Solid(60, 90, 140)));
  c.Draw(RoundRect(9.5, 11.5, 42.5, 56.5, 2, kWhite));
  for (int i = 0; i < 5; ++i) c.Draw(Rect(14, 18 + i * 7, 38, 20 + i * 7, Solid(150, 170, 200)));
  // A cookie.
  c.Draw(Circle(68, 34, 17, Solid(150, 95, 40)));
  c.Draw(Circle(68, 34, 15.5, Solid(215, 160, 80)));
  for (auto [x, y] : {std::pair{62.0, 28.0}, {73.0, 26.0}, {66.0, 40.0}, {76.0, 37.0}, {59.0, 37.0}})
    c.Draw(Circle(x, y, 2, Solid(90, 50, 20)));
  // A folder.
  c.Draw(RoundRect(94, 18, 112, 26, 2, Solid(200, 150, 30)));
  c.Draw(RoundRect(94, 22, 128, 50, 3, Solid(240, 190, 50)));
  // The ticks below them.
  for (double x : {26.0, 68.0, 111.0}) {
    c.Draw(Circle(x, 68, 8, Solid(20, 130, 40)));
    c.Draw(Stroke(x - 4, 68, x - 1, 71, 2.2, kWhite));
    c.Draw(Stroke(x - 1, 71, x + 4.5, 64.5, 2.2, kWhite));
  }
  return c;
}

// The password prompt: the shield guarded by a padlock.
Canvas LoginPicture() {
  Canvas c(48, 48);
  DrawShield(c, 0, 0, 40);
  DrawPadlock(c, 26, 28, 18);
  return c;
}

Canvas AboutPicture() {
  Canvas c(64, 64);
  c.Draw(RoundRect(2, 2, 62, 62, 10, Solid(2, 60, 130)));
  c.Draw(RoundRect(4, 4, 60, 60, 8, Solid(200, 232, 255)));
  DrawShield(c, 10, 10, 44);
  return c;
}

// The welcome: the shield with a golden star of a new edition.
Canvas WelcomePicture() {
  Canvas c(64, 64);
  DrawShield(c, 0, 4, 56);
  std::vector<std::pair<double, double>> star;
  for (int i = 0; i < 10; ++i) {
    double a = -M_PI / 2 + i * M_PI / 5, r = i % 2 ? 6 : 14;
    star.push_back({48 + r * std::cos(a), 16 + r * std::sin(a)});
  }
  c.Draw(Polygon(star, Solid(150, 100, 10)));
  for (auto& p : star) p = {48 + (p.first - 48) * 0.85, 16 + (p.second - 16) * 0.85};
  c.Draw(Polygon(star, Solid(255, 214, 40)));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  return WriteArt(argc, argv, "panelart",
                  {{"panel_banner.bmp", [] { return Bmp8(MainBanner(), kBack, true); }},
                   {"panel_shield.bmp", [] { return Bmp8(MainShield(), kBack, true); }},
                   {"panel_traces.bmp", [] { return Bmp8(MainTraces(), kBack, true); }},
                   {"panel_login.bmp", [] { return Bmp8(LoginPicture(), kBack, true); }},
                   {"panel_about.bmp", [] { return Bmp8(AboutPicture(), kBack, true); }},
                   {"panel_welcome.bmp", [] { return Bmp8(WelcomePicture(), kBack, true); }}});
}
