// The pictures of the programs are stored as run-length 8-bit bitmaps. Loaded as the programs
// load them (a device bitmap from LoadImage), each must show exactly the pixels of the plain form.
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>

#include "art.h"
#include "test_util.h"

namespace {

// The pixels of a bitmap file as the system decodes it, top row first, 0x00RRGGBB each.
std::vector<uint32_t> Decoded(const std::string& path, int w, int h) {
  std::vector<uint32_t> pixels;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!bitmap) return pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<size_t>(w) * h);
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(bitmap);
  if (rows != h) pixels.clear();
  for (uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

art::Rgba Colour(int n) { return art::Solid((n * 37) % 256, (n * 91) % 256, (n * 13) % 256); }

TEST(Pictures, RunLengthFormShowsThePlainPixels) {
  struct Case {
    const char* what;
    int w, h;
    std::function<int(int x, int y)> pattern;  // a palette colour number for each pixel
  };
  const Case cases[] = {
      {"one pixel", 1, 1, [](int, int) { return 3; }},
      {"narrow rows of two and three", 2, 3, [](int x, int y) { return x + y; }},
      {"three differing", 3, 2, [](int x, int) { return x; }},
      {"odd widths, mixed", 7, 5, [](int x, int y) { return (x / 2 + y) % 4; }},
      {"a run longer than 255", 600, 2, [](int x, int y) { return x < 590 ? y : 9; }},
      {"differing pixels longer than 255", 700, 2, [](int x, int y) { return (x + y) % 200; }},
      {"stretches of 1 to 4 between runs", 97, 4,
       [](int x, int y) {
         int k = (x + y) % 12;
         return k < 4 ? x % 50 : (k < 7 ? 60 : 61 + k % 2);
       }},
      {"a run of exactly 255 then one", 256, 1, [](int x, int) { return x < 255 ? 1 : 2; }},
      {"odd literal lengths", 41, 3, [](int x, int y) { return (x % (y + 3)) == 0 ? 100 : x % 7; }},
  };
  testutil::TempFolder dir;
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    art::Canvas canvas(c.w, c.h);
    canvas.Draw([&](double x, double y) { return Colour(c.pattern(static_cast<int>(x), static_cast<int>(y))); });
    ASSERT_TRUE(art::Save(dir / "plain.bmp", art::Bmp8(canvas, art::Solid(255, 255, 255))));
    auto packed = art::Bmp8(canvas, art::Solid(255, 255, 255), true);
    ASSERT_TRUE(art::Save(dir / "packed.bmp", packed));
    auto plain = Decoded(dir / "plain.bmp", c.w, c.h);
    auto decoded = Decoded(dir / "packed.bmp", c.w, c.h);
    ASSERT_FALSE(plain.empty()) << i << " " << c.what;
    ASSERT_FALSE(decoded.empty()) << i << " " << c.what << ": the run-length file did not load";
    size_t first = 0;
    while (first < plain.size() && first < decoded.size() && plain[first] == decoded[first]) ++first;
    EXPECT_EQ(plain.size(), first) << i << " " << c.what << ": first differing pixel at row " << first / c.w
                                   << ", column " << first % c.w;
  }
}

}  // namespace
