// Draws the update checker's pictures at build time: the start window's banner and the compare
// table's tick and cross.
// Usage: newerlyart OUTPUT_DIR
#include "art.h"

namespace {

using namespace art;

// The banner across the top of the start window: a sky-blue band with a globe, and a program
// coming down from it into the machine.
Canvas Banner() {
  Canvas c(400, 80);
  c.Draw([](double x, double y) {
    double t = x / 400.0, s = y / 80.0;
    return Rgba{(3 + (123 - 3) * t) / 255.0 * (1 - 0.15 * s), (118 + (191 - 118) * t) / 255.0 * (1 - 0.1 * s),
                (222 + (253 - 222) * t) / 255.0, 1};
  });
  // Soft rings spreading from the globe: the network.
  for (int i = 0; i < 5; ++i) c.Draw(Ring(52, 40, 44 + i * 22, 1.2, Solid(255, 255, 255, 0.18 - i * 0.03)));
  double cx = 52, cy = 40, r = 28;
  c.Draw(Circle(cx + 2, cy + 3, r, Solid(0, 40, 90, 0.35)));
  c.Draw(ShadedCircle(cx, cy, r, Solid(170, 225, 255), Solid(10, 80, 170)));
  Rgba grid = Solid(255, 255, 255, 0.5);
  c.Draw(Within(cx, cy, r, Ring(cx, cy + 42, 48, 1.4, grid)));
  c.Draw(Within(cx, cy, r, Ring(cx, cy - 42, 48, 1.4, grid)));
  c.Draw(Within(cx, cy, r, Rect(cx - r, cy - 0.7, cx + r, cy + 0.7, grid)));
  c.Draw(Within(cx, cy, r, Rect(cx - 0.7, cy - r, cx + 0.7, cy + r, grid)));
  c.Draw([=](double x, double y) {
    double dx = (x - cx) / 14.0, dy = (y - cy) / r;
    return std::fabs(dx * dx + dy * dy - 1) < 0.1 && std::hypot(x - cx, y - cy) <= r ? grid : Rgba{};
  });
  c.Draw(Ring(cx, cy, r, 1.4, Solid(8, 60, 140)));
  // A dotted path from the globe to the machine.
  for (int i = 0; i < 9; ++i) c.Draw(Circle(96 + i * 14, 40 + 4 * std::sin(i * 0.8), 2.2, Solid(255, 255, 255, 0.85)));
  // The machine: a monitor with the program arriving on its screen.
  c.Draw(Rect(236, 14, 318, 62, Solid(40, 50, 70)));
  c.Draw(Rect(240, 18, 314, 58, Solid(200, 235, 255)));
  c.Draw(Rect(268, 62, 286, 68, Solid(40, 50, 70)));
  c.Draw(Rect(256, 68, 298, 72, Solid(40, 50, 70)));
  // The green arrow coming down into it.
  Rgba green = Solid(40, 170, 60), dark = Solid(20, 110, 40);
  c.Draw(Polygon({{270, 22}, {284, 22}, {284, 38}, {292, 38}, {277, 53}, {262, 38}, {270, 38}}, dark));
  c.Draw(Polygon({{271, 23}, {283, 23}, {283, 39}, {289.5, 39}, {277, 51.5}, {264.5, 39}, {271, 39}}, green));
  // A second, fainter arrow beside it: more than one program can come.
  c.Draw(Polygon({{330, 30}, {340, 30}, {340, 42}, {346, 42}, {335, 53}, {324, 42}, {330, 42}}, Solid(255, 255, 255, 0.55)));
  c.Draw(Polygon({{356, 30}, {366, 30}, {366, 42}, {372, 42}, {361, 53}, {350, 42}, {356, 42}}, Solid(255, 255, 255, 0.35)));
  return c;
}

// An update is available: a green tick.
Canvas Tick() {
  Canvas c(16, 16);
  c.Draw(Stroke(3, 8.5, 6.5, 12, 2.8, Solid(20, 110, 40)));
  c.Draw(Stroke(6.5, 12, 13, 3.5, 2.8, Solid(20, 110, 40)));
  c.Draw(Stroke(3, 8.5, 6.5, 12, 1.6, Solid(60, 200, 80)));
  c.Draw(Stroke(6.5, 12, 13, 3.5, 1.6, Solid(60, 200, 80)));
  return c;
}

// No update: a small red cross.
Canvas Cross() {
  Canvas c(16, 16);
  c.Draw(Stroke(4, 4, 12, 12, 2.8, Solid(140, 20, 20)));
  c.Draw(Stroke(12, 4, 4, 12, 2.8, Solid(140, 20, 20)));
  c.Draw(Stroke(4, 4, 12, 12, 1.5, Solid(230, 50, 40)));
  c.Draw(Stroke(12, 4, 4, 12, 1.5, Solid(230, 50, 40)));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  return WriteArt(argc, argv, "newerlyart",
                  {{"newerly_banner.bmp", [] { return Bmp8(Banner(), kBack, true); }},
                   {"newerly_tick.bmp", [] { return Bmp(Tick(), kBack); }},
                   {"newerly_cross.bmp", [] { return Bmp(Cross(), kBack); }}});
}
