// The setup program's picture: the side panel of its finish page, 164 x 314, the product's
// blue running darker downwards with the program's shield large in it.
#include "art.h"

using namespace art;

namespace {

Canvas SidePanel() {
  Canvas c(164, 314);
  c.Draw([](double, double y) {
    double t = y / 314;
    return Rgba{(123 + (2 - 123) * t) / 255, (191 + (60 - 191) * t) / 255, (253 + (130 - 253) * t) / 255, 1};
  });
  // The shield of the program icon, drawn at 4 times its size.
  const double k = 3.6, ox = 82 - 16 * k, oy = 70;
  auto P = [&](double x, double y) { return std::pair<double, double>{ox + x * k, oy + y * k}; };
  c.Draw(Polygon({P(16, 1), P(29, 5), P(28, 18), P(16, 31), P(4, 18), P(3, 5)}, Solid(2, 40, 95)));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26, 17.5), P(16, 28.5), P(6, 17.5), P(5, 6.5)}, Solid(3, 118, 222)));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26.6, 11), P(16, 8), P(5.4, 11), P(5, 6.5)}, Solid(123, 191, 253, 0.7)));
  c.Draw(Stroke(ox + 9 * k, oy + 21 * k, ox + 23 * k, oy + 10 * k, 3.2 * k, Solid(255, 255, 255)));
  c.Draw(Stroke(ox + 11 * k, oy + 24 * k, ox + 21 * k, oy + 16 * k, 2.0 * k, Solid(255, 255, 255, 0.8)));
  // A few light sweeps below it, as traces wiped away.
  for (int i = 0; i < 3; ++i) {
    double y = 220 + i * 22;
    c.Draw(Stroke(30 + i * 8, y + 10, 134 - i * 8, y - 4, 4 - i, Solid(255, 255, 255, 0.35)));
  }
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  return WriteArt(argc, argv, "installerart",
                  {{"installer_side.bmp", [] { return Bmp(SidePanel(), Solid(255, 255, 255)); }}});
}
