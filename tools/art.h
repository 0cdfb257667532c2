// The drawing kit of the build-time picture generators: shapes as layers, a canvas, and BMP and
// ICO writers. Each generator (artgen for the shared pictures, one per program for its own) is a
// small host program that includes this header and writes its files into the folder it is given.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace art {

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;
};

inline Rgba Solid(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }

// A layer answers, for a point in pixel units, its colour there (alpha 0 outside the shape).
using Layer = std::function<Rgba(double x, double y)>;

class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h) {}
  int w() const { return w_; }
  int h() const { return h_; }

  // Paints a layer with 4 x 4 samples a pixel, so edges come out smooth.
  void Draw(const Layer& layer) {
    constexpr int S = 4;
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x) {
        Rgba sum;
        for (int sy = 0; sy < S; ++sy)
          for (int sx = 0; sx < S; ++sx) {
            Rgba c = layer(x + (sx + 0.5) / S, y + (sy + 0.5) / S);
            sum.r += c.r * c.a;
            sum.g += c.g * c.a;
            sum.b += c.b * c.a;
            sum.a += c.a;
          }
        if (sum.a <= 0) continue;
        double a = sum.a / (S * S);
        Rgba src{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, a};
        Rgba& d = px_[static_cast<size_t>(y) * w_ + x];
        double out = src.a + d.a * (1 - src.a);
        if (out <= 0) continue;
        d.r = (src.r * src.a + d.r * d.a * (1 - src.a)) / out;
        d.g = (src.g * src.a + d.g * d.a * (1 - src.a)) / out;
        d.b = (src.b * src.a + d.b * d.a * (1 - src.a)) / out;
        d.a = out;
      }
  }
  const Rgba& at(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }

 private:
  int w_, h_;
  std::vector<Rgba> px_;
};

// --- shapes ---------------------------------------------------------------------------------

inline Layer Circle(double cx, double cy, double r, Rgba c) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) <= r ? c : Rgba{}; };
}

inline Layer Ring(double cx, double cy, double r, double width, Rgba c) {
  return [=](double x, double y) {
    double d = std::hypot(x - cx, y - cy);
    return std::fabs(d - r) <= width / 2 ? c : Rgba{};
  };
}

// A disc whose colour runs from `light` at its upper left to `dark` at its lower right.
inline Layer ShadedCircle(double cx, double cy, double r, Rgba light, Rgba dark) {
  return [=](double x, double y) {
    if (std::hypot(x - cx, y - cy) > r) return Rgba{};
    double t = std::clamp(((x - cx) + (y - cy)) / (2.4 * r) + 0.5, 0.0, 1.0);
    return Rgba{light.r + (dark.r - light.r) * t, light.g + (dark.g - light.g) * t,
                light.b + (dark.b - light.b) * t, 1};
  };
}

inline Layer Rect(double l, double t, double r, double b, Rgba c) {
  return [=](double x, double y) { return x >= l && x < r && y >= t && y < b ? c : Rgba{}; };
}

// A line segment of the given width with round ends.
inline Layer Stroke(double x1, double y1, double x2, double y2, double width, Rgba c) {
  return [=](double x, double y) {
    double dx = x2 - x1, dy = y2 - y1;
    double t = std::clamp(((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(x - (x1 + t * dx), y - (y1 + t * dy)) <= width / 2 ? c : Rgba{};
  };
}

// A filled polygon (even-odd rule).
inline Layer Polygon(std::vector<std::pair<double, double>> pts, Rgba c) {
  return [=](double x, double y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      auto [xi, yi] = pts[i];
      auto [xj, yj] = pts[j];
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
    }
    return in ? c : Rgba{};
  };
}

// Clips a layer to a disc.
inline Layer Within(double cx, double cy, double r, Layer inner) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) <= r ? inner(x, y) : Rgba{}; };
}

// --- files ----------------------------------------------------------------------------------

inline void Put16(std::vector<uint8_t>& v, unsigned x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

inline bool Save(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

// One file a generator writes: its name in the output folder and how its bytes are drawn.
struct ArtFile {
  const char* name;
  std::function<std::vector<uint8_t>()> draw;
};

// A generator's whole main: `TOOL OUTPUT_DIR`, then each file drawn and written in turn. 2 for a
// wrong call, 1 when a file cannot be written, 0 when all are.
inline int WriteArt(int argc, char** argv, const char* tool, const std::vector<ArtFile>& files) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", tool);
    return 2;
  }
  std::string dir = argv[1];
  for (const ArtFile& file : files)
    if (!Save(dir + "/" + file.name, file.draw())) {
      std::fprintf(stderr, "%s: cannot write into %s\n", tool, dir.c_str());
      return 1;
    }
  return 0;
}

inline uint8_t Byte(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

// A 24-bit BMP of the canvas laid over a solid background.
inline std::vector<uint8_t> Bmp(const Canvas& c, Rgba back) {
  int stride = (c.w() * 3 + 3) & ~3;
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  Put32(v, 54 + stride * c.h());
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, c.w());
  Put32(v, c.h());
  Put16(v, 1);
  Put16(v, 24);
  for (int i = 0; i < 6; ++i) Put32(v, i == 1 ? stride * c.h() : 0);
  for (int y = c.h() - 1; y >= 0; --y) {
    for (int x = 0; x < c.w(); ++x) {
      const Rgba& p = c.at(x, y);
      v.push_back(Byte(p.b * p.a + back.b * (1 - p.a)));
      v.push_back(Byte(p.g * p.a + back.g * (1 - p.a)));
      v.push_back(Byte(p.r * p.a + back.r * (1 - p.a)));
    }
    for (int pad = c.w() * 3; pad < stride; ++pad) v.push_back(0);
  }
  return v;
}

// One row of palette indexes in the run-length form of 8-bit bitmaps: runs as (count, index),
// stretches of differing pixels as (0, count, indexes..., pad to an even length), and the
// end-of-row mark (0, 0). Flat drawn pictures shrink to a fraction of their plain size.
inline void Rle8Row(std::vector<uint8_t>& v, const uint8_t* row, int w) {
  int x = 0;
  while (x < w) {
    int run = 1;
    while (x + run < w && run < 255 && row[x + run] == row[x]) ++run;
    if (run >= 3 || w - x < 3) {
      v.push_back(static_cast<uint8_t>(run));
      v.push_back(row[x]);
      x += run;
      continue;
    }
    // A literal stretch runs until a run of three begins, the row ends, or it holds 254 pixels:
    // an even count needs no pad byte, and Wine's decoder misreads the pad after 255.
    int n = 0;
    while (x + n < w && n < 254) {
      if (x + n + 2 < w && row[x + n] == row[x + n + 1] && row[x + n] == row[x + n + 2]) break;
      ++n;
    }
    if (n < 3) {
      for (int i = 0; i < n; ++i) {
        v.push_back(1);
        v.push_back(row[x + i]);
      }
    } else {
      v.push_back(0);
      v.push_back(static_cast<uint8_t>(n));
      v.insert(v.end(), row + x, row + x + n);
      if (n & 1) v.push_back(0);
    }
    x += n;
  }
  v.push_back(0);
  v.push_back(0);
}

// An 8-bit BMP of the canvas laid over a solid background: a third of the 24-bit file, for the
// large pictures. A picture of at most 256 colours keeps them exactly; otherwise the palette is
// the 256 most used colours at 4 bits a channel (each the average of what falls there), and
// every pixel takes the nearest.
// `runLength` stores the rows run-length coded, for pictures loaded as device bitmaps (a DIB
// section takes only plain rows).
inline std::vector<uint8_t> Bmp8(const Canvas& c, Rgba back, bool runLength = false) {
  struct Rgb {
    int r, g, b;
  };
  std::vector<Rgb> pixels;
  pixels.reserve(static_cast<size_t>(c.w()) * c.h());
  for (int y = 0; y < c.h(); ++y)
    for (int x = 0; x < c.w(); ++x) {
      const Rgba& p = c.at(x, y);
      pixels.push_back({Byte(p.r * p.a + back.r * (1 - p.a)), Byte(p.g * p.a + back.g * (1 - p.a)),
                        Byte(p.b * p.a + back.b * (1 - p.a))});
    }
  auto key = [](const Rgb& p) { return (p.r << 16) | (p.g << 8) | p.b; };
  std::vector<int> distinct;
  for (const Rgb& p : pixels) distinct.push_back(key(p));
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::vector<Rgb> palette;
  if (distinct.size() <= 256) {
    for (int k : distinct) palette.push_back({k >> 16, (k >> 8) & 255, k & 255});
  } else {
    struct Bucket {
      long n = 0, r = 0, g = 0, b = 0;
    };
    std::vector<Bucket> buckets(4096);
    for (const Rgb& p : pixels) {
      Bucket& q = buckets[static_cast<size_t>((p.r >> 4) << 8 | (p.g >> 4) << 4 | (p.b >> 4))];
      ++q.n, q.r += p.r, q.g += p.g, q.b += p.b;
    }
    std::sort(buckets.begin(), buckets.end(), [](const Bucket& a, const Bucket& b) { return a.n > b.n; });
    for (size_t i = 0; i < 256 && buckets[i].n; ++i)
      palette.push_back({static_cast<int>(buckets[i].r / buckets[i].n), static_cast<int>(buckets[i].g / buckets[i].n),
                         static_cast<int>(buckets[i].b / buckets[i].n)});
  }
  auto nearest = [&](const Rgb& p) {
    size_t best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
      long dr = p.r - palette[i].r, dg = p.g - palette[i].g, db = p.b - palette[i].b;
      long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = i;
    }
    return static_cast<uint8_t>(best);
  };
  const int stride = (c.w() + 3) & ~3;
  std::vector<uint8_t> rows;
  std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
  for (int y = c.h() - 1; y >= 0; --y) {
    for (int x = 0; x < c.w(); ++x) row[static_cast<size_t>(x)] = nearest(pixels[static_cast<size_t>(y) * c.w() + x]);
    if (runLength)
      Rle8Row(rows, row.data(), c.w());
    else
      rows.insert(rows.end(), row.begin(), row.end());
  }
  if (runLength) {
    rows.push_back(0);  // end of the bitmap
    rows.push_back(1);
  }
  const uint32_t offset = 54 + 4 * static_cast<uint32_t>(palette.size());
  const uint32_t size = static_cast<uint32_t>(rows.size());
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  Put32(v, offset + size);
  Put32(v, 0);
  Put32(v, offset);
  Put32(v, 40);
  Put32(v, c.w());
  Put32(v, c.h());
  Put16(v, 1);
  Put16(v, 8);
  Put32(v, runLength ? 1 : 0);  // BI_RLE8 or BI_RGB
  Put32(v, size);
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, static_cast<uint32_t>(palette.size()));
  Put32(v, 0);
  for (const Rgb& p : palette) {
    v.push_back(static_cast<uint8_t>(p.b));
    v.push_back(static_cast<uint8_t>(p.g));
    v.push_back(static_cast<uint8_t>(p.r));
    v.push_back(0);
  }
  v.insert(v.end(), rows.begin(), rows.end());
  return v;
}

// One 32-bit image of an icon file: the colour rows with alpha, then the AND mask.
inline std::vector<uint8_t> IconImage(const Canvas& c) {
  std::vector<uint8_t> v;
  Put32(v, 40);
  Put32(v, c.w());
  Put32(v, c.h() * 2);
  Put16(v, 1);
  Put16(v, 32);
  for (int i = 0; i < 6; ++i) Put32(v, 0);
  for (int y = c.h() - 1; y >= 0; --y)
    for (int x = 0; x < c.w(); ++x) {
      const Rgba& p = c.at(x, y);
      v.push_back(Byte(p.b));
      v.push_back(Byte(p.g));
      v.push_back(Byte(p.r));
      v.push_back(Byte(p.a));
    }
  int maskStride = ((c.w() + 31) / 32) * 4;
  for (int y = c.h() - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    for (int x = 0; x < c.w(); ++x)
      if (c.at(x, y).a < 0.5) row[x / 8] |= 0x80 >> (x % 8);
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

inline std::vector<uint8_t> Ico(const std::vector<const Canvas*>& sizes) {
  std::vector<std::vector<uint8_t>> images;
  for (const Canvas* c : sizes) images.push_back(IconImage(*c));
  std::vector<uint8_t> v;
  Put16(v, 0);
  Put16(v, 1);
  Put16(v, static_cast<unsigned>(images.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    v.push_back(static_cast<uint8_t>(sizes[i]->w()));
    v.push_back(static_cast<uint8_t>(sizes[i]->h()));
    v.push_back(0);
    v.push_back(0);
    Put16(v, 1);
    Put16(v, 32);
    Put32(v, static_cast<uint32_t>(images[i].size()));
    Put32(v, offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (auto& img : images) v.insert(v.end(), img.begin(), img.end());
  return v;
}

const Rgba kBack = Solid(123, 191, 253);
const Rgba kWhite = Solid(255, 255, 255);
const Rgba kDeepBlue = Solid(3, 118, 222);

// A rectangle with rounded corners.
inline Layer RoundRect(double l, double t, double r, double b, double radius, Rgba c) {
  return [=](double x, double y) {
    if (x < l || x >= r || y < t || y >= b) return Rgba{};
    double cx = std::clamp(x, l + radius, r - radius), cy = std::clamp(y, t + radius, b - radius);
    return std::hypot(x - cx, y - cy) <= radius ? c : Rgba{};
  };
}

// Keeps the part of a layer above a line.
inline Layer Above(double limit, Layer inner) {
  return [=](double x, double y) { return y < limit ? inner(x, y) : Rgba{}; };
}

// A padlock of width w whose body's top left corner is (x, y): steel shackle, brass body, keyhole.
inline void DrawPadlock(Canvas& c, double x, double y, double w) {
  double h = w * 0.8, r = w * 0.3, stroke = w * 0.16;
  double cx = x + w / 2;
  c.Draw(Above(y + 0.5, Ring(cx, y, r, stroke, Solid(110, 115, 125))));
  c.Draw(Rect(cx - r - stroke / 2, y - 0.5, cx - r + stroke / 2, y + 1, Solid(110, 115, 125)));
  c.Draw(Rect(cx + r - stroke / 2, y - 0.5, cx + r + stroke / 2, y + 1, Solid(110, 115, 125)));
  c.Draw(RoundRect(x, y, x + w, y + h, w * 0.12, Solid(150, 100, 10)));
  c.Draw(RoundRect(x + w * 0.06, y + w * 0.06, x + w * 0.94, y + h - w * 0.06, w * 0.09, Solid(240, 190, 50)));
  c.Draw(Circle(cx, y + h * 0.42, w * 0.1, Solid(60, 40, 10)));
  c.Draw(Stroke(cx, y + h * 0.42, cx, y + h * 0.72, w * 0.09, Solid(60, 40, 10)));
}

}  // namespace art
