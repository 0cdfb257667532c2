// DrawFace into a memory DC at the sizes buttons have, from the corner-only 6 x 6 to wide ones:
// every pixel must come from the right piece of the right cell, with corners and frame lines
// never scaled, and nothing painted outside the surface.
#include <gtest/gtest.h>

#include <vector>

#include "face.h"
#include "raii.h"

using namespace winapp;

namespace {

constexpr COLORREF Sentinel = RGB(1, 2, 3);

// A 32-bit surface with a sentinel margin of 4 pixels around the W x H face.
class Surface {
 public:
  Surface(int w, int h) : w_(w), h_(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = W();
    bi.bmiHeader.biHeight = -H();
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<DWORD*>(bits);
    dc_.reset(CreateCompatibleDC(nullptr));
    old_ = SelectObject(dc_.get(), bitmap_.get());
    for (int i = 0; i < W() * H(); ++i) bits_[i] = 0x010203;
    // The face goes at (4, 4): the origin moves there, as a control's DC would start at its own.
    SetViewportOrgEx(dc_.get(), 4, 4, nullptr);
  }
  ~Surface() { SelectObject(dc_.get(), old_); }
  HDC dc() const { return dc_.get(); }
  // A pixel of the face (x, y may lie in the margin: -4 .. w + 3).
  COLORREF At(int x, int y) const {
    GdiFlush();
    DWORD v = bits_[(y + 4) * W() + x + 4];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }

 private:
  int W() const { return w_ + 8; }
  int H() const { return h_ + 8; }
  int w_, h_;
  GdiObject bitmap_;
  MemDc dc_;
  HGDIOBJ old_;
  DWORD* bits_ = nullptr;
};

COLORREF CellPixel(HDC strip, int cell, int x, int y) { return GetPixel(strip, cell * 18 + x, y); }

// The source columns (or rows) a destination index of a stretched piece may take under
// nearest-neighbour copying: the exact one and its neighbours, for the rounding of the copy.
std::vector<int> Sources(int d, int dsize, int s0, int ssize) {
  int exact = s0 + static_cast<int>((d + 0.5) * ssize / dsize);
  std::vector<int> out;
  for (int s = exact - 1; s <= exact + 1; ++s)
    if (s >= s0 && s < s0 + ssize) out.push_back(s);
  return out;
}

// Checks every pixel of a W x H face of `cell` against the cell, piece by piece.
void CheckFace(const Surface& s, HDC strip, int cell, int W, int H, const std::string& what) {
  // Which part of an axis an index is in: 0 the first 3, 2 the last 3, 1 the stretched middle.
  auto part = [](int v, int size) { return v < 3 ? 0 : v >= size - 3 ? 2 : 1; };
  int bad = 0;
  for (int y = 0; y < H && bad < 5; ++y)
    for (int x = 0; x < W && bad < 5; ++x) {
      std::vector<int> xs, ys;
      int ax = part(x, W), ay = part(y, H);
      // The cell: 18 wide (middle columns 3..14), 21 high (middle rows 3..17).
      xs = ax == 0 ? std::vector<int>{x} : ax == 2 ? std::vector<int>{x - (W - 3) + 15} : Sources(x - 3, W - 6, 3, 12);
      ys = ay == 0 ? std::vector<int>{y} : ay == 2 ? std::vector<int>{y - (H - 3) + 18} : Sources(y - 3, H - 6, 3, 15);
      COLORREF got = s.At(x, y);
      bool found = false;
      for (int sy : ys)
        for (int sx : xs) found = found || CellPixel(strip, cell, sx, sy) == got;
      if (!found) {
        ++bad;
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " is " << std::hex << got;
      }
    }
  // Nothing outside the surface.
  for (int y = -4; y < H + 4; ++y)
    for (int x = -4; x < W + 4; ++x)
      if (x < 0 || y < 0 || x >= W || y >= H) {
        if (s.At(x, y) != Sentinel) {
          ADD_FAILURE() << what << ": painted outside at " << x << "," << y;
          return;
        }
      }
}

TEST(Face, EveryCellAtTheSizesButtonsHave) {
  xpskin::SkinClip clip;
  ASSERT_TRUE(clip.dc());
  const SIZE sizes[] = {{18, 21}, {75, 23}, {300, 40}, {6, 6}, {7, 30}, {81, 25}};
  for (const SIZE& size : sizes)
    for (int cell = 0; cell < 5; ++cell) {
      Surface s(size.cx, size.cy);
      xpskin::DrawFace(s.dc(), size.cx, size.cy, clip.dc(), cell);
      CheckFace(s, clip.dc(), cell, size.cx, size.cy,
                std::to_string(size.cx) + "x" + std::to_string(size.cy) + " cell " + std::to_string(cell));
    }
}

TEST(Face, TheCellSizeShowsTheCellPixelForPixel) {
  xpskin::SkinClip clip;
  for (int cell = 0; cell < 5; ++cell) {
    Surface s(18, 21);
    xpskin::DrawFace(s.dc(), 18, 21, clip.dc(), cell);
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 18; ++x) ASSERT_EQ(s.At(x, y), CellPixel(clip.dc(), cell, x, y)) << "cell " << cell << " at " << x << "," << y;
  }
}

TEST(Face, SixBySixIsTheFourCornersAlone) {
  xpskin::SkinClip clip;
  for (int cell = 0; cell < 5; ++cell) {
    Surface s(6, 6);
    xpskin::DrawFace(s.dc(), 6, 6, clip.dc(), cell);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) {
        int sx = x < 3 ? x : x - 3 + 15, sy = y < 3 ? y : y - 3 + 18;
        EXPECT_EQ(s.At(x, y), CellPixel(clip.dc(), cell, sx, sy)) << "cell " << cell << " at " << x << "," << y;
      }
  }
}

TEST(Face, WideFacesKeepThreePixelCornersAndOnePixelFrameLines) {
  xpskin::SkinClip clip;
  Surface s(300, 40);
  xpskin::DrawFace(s.dc(), 300, 40, clip.dc(), 0);
  COLORREF frame = RGB(0x00, 0x3C, 0x74);
  for (int x = 3; x < 297; ++x) {
    EXPECT_EQ(s.At(x, 0), frame) << x;
    EXPECT_EQ(s.At(x, 39), frame) << x;
    EXPECT_NE(s.At(x, 1), frame) << x;
  }
  for (int y = 3; y < 37; ++y) {
    EXPECT_EQ(s.At(0, y), frame) << y;
    EXPECT_EQ(s.At(299, y), frame) << y;
    EXPECT_NE(s.At(1, y), frame) << y;
  }
  EXPECT_EQ(s.At(0, 0), RGB(0xBC, 0xD4, 0xF6));
  EXPECT_EQ(s.At(299, 39), RGB(0xBC, 0xD4, 0xF6));
  EXPECT_EQ(s.At(2, 2), CellPixel(clip.dc(), 0, 2, 2));
}

TEST(Face, SurfacesUnderSixPixelsPaintOnlyWithinThemselves) {
  xpskin::SkinClip clip;
  const SIZE sizes[] = {{5, 5}, {1, 1}, {0, 0}, {3, 21}, {75, 2}, {2, 40}, {-4, 10}};
  for (const SIZE& size : sizes) {
    Surface s(std::max(0L, size.cx), std::max(0L, size.cy));
    xpskin::DrawFace(s.dc(), size.cx, size.cy, clip.dc(), 3);
    std::string what = std::to_string(size.cx) + "x" + std::to_string(size.cy);
    for (int y = -4; y < std::max(0L, size.cy) + 4; ++y)
      for (int x = -4; x < std::max(0L, size.cx) + 4; ++x) {
        bool inside = x >= 0 && y >= 0 && x < size.cx && y < size.cy;
        if (!inside) ASSERT_EQ(s.At(x, y), Sentinel) << what << " at " << x << "," << y;
        else ASSERT_NE(s.At(x, y), Sentinel) << what << " unpainted at " << x << "," << y;
      }
  }
}

}  // namespace
