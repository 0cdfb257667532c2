// Draws the start-up launcher's splash image at build time: the shield on a deep blue field and
// the product's name in a stroke lettering of its own (the drawing kit has no fonts).
// Usage: launchart OUTPUT_DIR
#include "art.h"

namespace {

using namespace art;

// An arc of an ellipse from angle a0 to a1 in degrees, clockwise on the screen (0 points right,
// 90 down); a1 may run past 360.
Layer Arc(double cx, double cy, double rx, double ry, double a0, double a1, double width, Rgba c) {
  return [=](double x, double y) {
    double dx = (x - cx) / rx, dy = (y - cy) / ry;
    double d = std::hypot(dx, dy);
    if (std::fabs(d - 1) * std::min(rx, ry) > width / 2) return Rgba{};
    double a = std::atan2(dy, dx) * 180 / 3.14159265358979;
    while (a < a0) a += 360;
    return a <= a1 ? c : Rgba{};
  };
}

// Lettering: each glyph is drawn from strokes on a grid where capitals stand 10 units high and
// small letters 7, the baseline at 10. Returns the glyph's width in units.
struct Pen {
  Canvas& canvas;
  double x0, y0, unit, width;
  Rgba colour;
  double X(double u) const { return x0 + u * unit; }
  double Y(double v) const { return y0 + v * unit; }
  void Line(double u1, double v1, double u2, double v2) {
    canvas.Draw(Stroke(X(u1), Y(v1), X(u2), Y(v2), width * unit, colour));
  }
  void Curve(double cu, double cv, double ru, double rv, double a0, double a1) {
    canvas.Draw(Arc(X(cu), Y(cv), ru * unit, rv * unit, a0, a1, width * unit, colour));
  }
  void Dot(double u, double v) { canvas.Draw(Circle(X(u), Y(v), width * unit * 0.62, colour)); }

  double Glyph(char ch) {
    switch (ch) {
      case 'Q': Curve(4, 5, 4, 5, 0, 360); Line(5, 7.4, 8.4, 10.6); return 8;
      case 'u': Line(0, 3, 0, 7.5); Curve(2.5, 7.5, 2.5, 2.5, 0, 180); Line(5, 3, 5, 10); return 5;
      case 'i': Line(0, 3.4, 0, 10); Dot(0, 0.9); return 0;
      case 'e': Line(0, 6.5, 5, 6.5); Curve(2.5, 6.5, 2.5, 3.3, 45, 360); return 5;
      case 't': Line(1.3, 0.8, 1.3, 8.6); Curve(2.8, 8.6, 1.5, 1.4, 90, 180); Line(0, 3.2, 3.4, 3.2); return 3.4;
      case 'r': Line(0, 3.2, 0, 10); Curve(3.2, 6.4, 3.2, 3.2, 185, 285); return 4;
      case 'a': Curve(2.5, 6.6, 2.5, 3.3, 0, 360); Line(5, 3.3, 5, 10); return 5;
      case 'l': Line(0, 0, 0, 10); return 0;
      case '0': Curve(2.6, 5, 2.6, 5, 0, 360); return 5.2;
      case '2': {
        Curve(2.6, 2.8, 2.6, 2.6, 170, 400);
        double a = 40 * 3.14159265358979 / 180;
        Line(2.6 + 2.6 * std::cos(a), 2.8 + 2.6 * std::sin(a), 0, 10);
        Line(0, 10, 5.2, 10);
        return 5.2;
      }
      case '3': Curve(2.5, 2.6, 2.5, 2.4, 195, 450); Curve(2.5, 7.4, 2.7, 2.6, 270, 520); return 5.2;
      default: return 3.5;  // a blank
    }
  }
  void Write(const char* text) {
    for (const char* p = text; *p; ++p) x0 += (Glyph(*p) + width + 1.3) * unit;
  }
};

// The system's shield, as the program icon draws it, at any size and place.
void Shield(Canvas& c, double left, double top, double size) {
  double k = size / 32.0;
  auto P = [=](double x, double y) { return std::pair<double, double>{left + x * k, top + y * k}; };
  c.Draw(Polygon({P(17, 2), P(30, 6), P(29, 19), P(17, 32), P(5, 19), P(4, 6)}, Solid(0, 25, 60, 0.45)));
  c.Draw(Polygon({P(16, 1), P(29, 5), P(28, 18), P(16, 31), P(4, 18), P(3, 5)}, Solid(2, 60, 130)));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26, 17.5), P(16, 28.5), P(6, 17.5), P(5, 6.5)}, kDeepBlue));
  c.Draw(Polygon({P(16, 3), P(27, 6.5), P(26.6, 11), P(16, 8), P(5.4, 11), P(5, 6.5)}, Solid(123, 191, 253, 0.7)));
  c.Draw(Stroke(left + 9 * k, top + 21 * k, left + 23 * k, top + 10 * k, 3.2 * k, kWhite));
  c.Draw(Stroke(left + 11 * k, top + 24 * k, left + 21 * k, top + 16 * k, 2.0 * k, Solid(255, 255, 255, 0.8)));
}

Canvas Splash() {
  Canvas c(358, 193);
  // A deep blue field that lightens towards the lower right, with a soft sweep across it.
  c.Draw([](double x, double y) {
    double t = std::clamp((x / 358.0 + y / 193.0) / 2, 0.0, 1.0);
    return Rgba{(2 + 40 * t) / 255, (50 + 90 * t) / 255, (120 + 110 * t) / 255, 1};
  });
  c.Draw(Arc(250, 420, 330, 300, 200, 340, 70, Solid(123, 191, 253, 0.25)));
  c.Draw(Arc(250, 420, 330, 300, 200, 340, 6, Solid(255, 255, 255, 0.35)));
  Shield(c, 22, 38, 96);
  Pen title{c, 136, 52, 3.6, 1.25, kWhite};
  title.Write("Quietrail");
  Pen year{c, 250, 110, 2.3, 1.35, Solid(190, 225, 255)};
  year.Write("2003");
  // The band along the foot, in the colour the other windows share.
  c.Draw(Rect(0, 168, 358, 193, Solid(123, 191, 253)));
  c.Draw(Rect(0, 167, 358, 168, Solid(255, 255, 255, 0.6)));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  return WriteArt(argc, argv, "launchart", {{"launch_splash.bmp", [] { return Bmp8(Splash(), kBack, true); }}});
}
