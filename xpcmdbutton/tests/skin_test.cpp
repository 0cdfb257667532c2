// The skin strip against the colour tables it is drawn from: the tables stand here as they are
// written down, and every value they give must come out exactly, in the file and in the strip
// the buttons paint from.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "face.h"
#include "skin_tables.h"
#include "xpcmdbutton_skin.h"

using namespace skintables;

namespace {

// The strip as the file stores it: palette indices decoded to colours.
std::vector<COLORREF> StripFromFile() {
  const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(SkinStripBmp);
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(SkinStripBmp + sizeof(BITMAPFILEHEADER));
  const auto* palette = reinterpret_cast<const RGBQUAD*>(SkinStripBmp + sizeof(BITMAPFILEHEADER) + info->biSize);
  const unsigned char* rows = SkinStripBmp + file->bfOffBits;
  int w = info->biWidth, h = info->biHeight, stride = (w + 3) & ~3;
  std::vector<COLORREF> px(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const RGBQUAD& q = palette[rows[(h - 1 - y) * stride + x]];
      px[y * w + x] = RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
  return px;
}

TEST(Skin, TheFileIsAFiveCellPaletteStrip) {
  const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(SkinStripBmp);
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(SkinStripBmp + sizeof(BITMAPFILEHEADER));
  EXPECT_EQ(file->bfType, 0x4D42);
  EXPECT_EQ(file->bfSize, sizeof SkinStripBmp);
  EXPECT_EQ(info->biWidth, 90);
  EXPECT_EQ(info->biHeight, 21);
  EXPECT_EQ(info->biBitCount, 8);
  EXPECT_LE(info->biClrUsed, 256u);
}

// Both the file and the strip the library makes of it.
std::vector<std::pair<const char*, std::vector<COLORREF>>> Strips() {
  std::vector<COLORREF> loaded(90 * 21);
  xpskin::SkinClip clip;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 90; ++x) loaded[y * 90 + x] = GetPixel(clip.dc(), x, y);
  return {{"file", StripFromFile()}, {"strip", loaded}};
}

TEST(Skin, EveryValueTheTablesGiveComesOutExactly) {
  Tables t = Parse();
  ASSERT_TRUE(t.complete);
  for (auto& [what, px] : Strips()) {
    auto at = [&](int cell, int x, int y) { return px[y * 90 + cell * 18 + x]; };
    for (int cell = 0; cell < 5; ++cell) {
      for (int y = 0; y < 21; ++y) EXPECT_EQ(at(cell, 8, y), t.middleColumn[cell][y]) << what << " cell " << cell << " row " << y;
      for (int x = 0; x < 18; ++x) EXPECT_EQ(at(cell, x, 10), t.middleRow[cell][x]) << what << " cell " << cell << " column " << x;
      for (int corner = 0; corner < 4; ++corner)
        for (int y = 0; y < 3; ++y)
          for (int x = 0; x < 3; ++x) {
            int cx = corner == 1 || corner == 3 ? 15 : 0, cy = corner >= 2 ? 18 : 0;
            EXPECT_EQ(at(cell, cx + x, cy + y), t.corners[cell][corner][y][x])
                << what << " cell " << cell << " corner " << corner << " at " << x << "," << y;
          }
      COLORREF frame = t.middleColumn[cell][0];
      for (int y = 3; y <= 17; ++y) {
        EXPECT_EQ(at(cell, 0, y), frame) << what << " cell " << cell << " row " << y;
        EXPECT_EQ(at(cell, 17, y), frame) << what << " cell " << cell << " row " << y;
      }
      const int bandColumns[4] = {1, 2, 15, 16};
      for (int b = 0; b < 4; ++b) {
        if (cell == 2) {
          for (int y = 3; y <= 17; ++y)
            EXPECT_EQ(at(cell, bandColumns[b], y), RGB(0xF5, 0xF4, 0xEA)) << what << " row " << y;
          continue;
        }
        const int rows[3] = {3, 10, 17};
        for (int r = 0; r < 3; ++r)
          EXPECT_EQ(at(cell, bandColumns[b], rows[r]), t.bands[cell][r][b])
              << what << " cell " << cell << " band column " << bandColumns[b] << " row " << rows[r];
      }
    }
  }
}

int Distance(COLORREF a, COLORREF b) {
  return std::max({std::abs(GetRValue(a) - GetRValue(b)), std::abs(GetGValue(a) - GetGValue(b)),
                   std::abs(GetBValue(a) - GetBValue(b))});
}

TEST(Skin, EdgesAndCentreFollowTheirRowsWithinFourUnits) {
  Tables t = Parse();
  for (auto& [what, px] : Strips()) {
    auto at = [&](int cell, int x, int y) { return px[y * 90 + cell * 18 + x]; };
    for (int cell = 0; cell < 5; ++cell)
      for (int y = 0; y < 21; ++y)
        for (int x = 3; x <= 14; ++x) {
          COLORREF row = t.middleColumn[cell][y];
          COLORREF want = row;
          if (y >= 3 && y <= 17) {
            COLORREF d = t.middleRow[cell][x], m = t.middleRow[cell][8];
            auto ch = [](int v) { return std::clamp(v, 0, 255); };
            want = RGB(ch(GetRValue(row) + GetRValue(d) - GetRValue(m)), ch(GetGValue(row) + GetGValue(d) - GetGValue(m)),
                       ch(GetBValue(row) + GetBValue(d) - GetBValue(m)));
          }
          EXPECT_LE(Distance(at(cell, x, y), want), 4) << what << " cell " << cell << " at " << x << "," << y;
        }
  }
}

TEST(Skin, TheDisabledCellIsFlatInsideItsFrame) {
  for (auto& [what, px] : Strips())
    for (int y = 1; y <= 19; ++y)
      for (int x = 3; x <= 14; ++x) EXPECT_EQ(px[y * 90 + 36 + x], RGB(0xF5, 0xF4, 0xEA)) << what << " at " << x << "," << y;
}

}  // namespace
