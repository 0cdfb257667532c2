// Draws the tray program's notification-area icon (Flash1) at build time: the system's shield
// with a yellow flash across it, for the quick launch.
// Usage: trayart OUTPUT_DIR
#include "art.h"

namespace {

using namespace art;

Canvas Flash(int size) {
  Canvas c(size, size);
  double k = size / 32.0;
  auto P = [k](double x, double y) { return std::pair<double, double>{x * k, y * k}; };
  c.Draw(Polygon({P(16, 1), P(29, 5), P(28, 18), P(16, 31), P(4, 18), P(3, 5)}, Solid(2, 60, 130)));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26, 17.5), P(16, 28.5), P(6, 17.5), P(5, 6.5)}, kDeepBlue));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26.6, 11), P(16, 8), P(5.4, 11), P(5, 6.5)},
                 Solid(123, 191, 253, 0.7)));
  // The flash: a bolt from the upper right to the lower left, outlined so it reads when small.
  std::vector<std::pair<double, double>> bolt = {P(19, 4), P(10, 17), P(15.5, 17), P(12, 28), P(23, 13), P(17, 13), P(21, 4)};
  c.Draw(Polygon(bolt, Solid(120, 70, 0)));
  std::vector<std::pair<double, double>> inner = {P(18.8, 5.6), P(11.6, 16), P(16.9, 16), P(14, 25),
                                                  P(21.2, 14), P(15.5, 14), P(19.7, 5.6)};
  c.Draw(Polygon(inner, Solid(255, 214, 40)));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  return WriteArt(argc, argv, "trayart", {{"tray_flash.ico", [] {
                                              Canvas icon32 = Flash(32), icon16 = Flash(16);
                                              return Ico({&icon32, &icon16});
                                            }}});
}
