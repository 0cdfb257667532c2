// Draws the skinned button's skin strip at build time: five cells of 18 x 21 pixels side by side
// (normal, pressed, disabled, hover, emphasised), derived from the colour tables below, stored as
// an 8-bit palette BMP and as the same bytes in a header that the button library compiles in.
// Every colour the tables give is put exactly; the rows between the given rows of the side bands
// run evenly from one given colour to the next.
// Usage: xpcmdbuttonart OUTPUT_DIR
#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "art.h"

namespace {

constexpr int CellW = 18, CellH = 21, Cells = 5;
using Rgb = uint32_t;  // 0xRRGGBB

int R(Rgb c) { return (c >> 16) & 0xFF; }
int G(Rgb c) { return (c >> 8) & 0xFF; }
int B(Rgb c) { return c & 0xFF; }
Rgb Pack(int r, int g, int b) {
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  return static_cast<Rgb>(clamp(r) << 16 | clamp(g) << 8 | clamp(b));
}

// The middle column (column 8) of each cell, rows 0 to 20.
const Rgb MiddleColumn[Cells][CellH] = {
    {0x003C74, 0xFFFFFF, 0xFEFEFE, 0xFCFCFB, 0xFAFAF9, 0xF8F8F6, 0xF6F6F3, 0xF6F6F2, 0xF5F5F1, 0xF4F4F0, 0xF3F3EF,
     0xF3F3EE, 0xF2F2ED, 0xF1F1ED, 0xF1F1EC, 0xF0F0EB, 0xF0F0EA, 0xECEBE6, 0xE2DFD6, 0xD6D0C5, 0x003C74},
    {0x003C74, 0xD1CCC1, 0xDCD8CF, 0xE5E4DD, 0xE6E6E0, 0xE5E4DE, 0xE4E3DC, 0xE4E3DC, 0xE3E3DB, 0xE3E2DA, 0xE2E1DA,
     0xE2E1D9, 0xE2E1D9, 0xE1E0D9, 0xE1E0D8, 0xE0E0D7, 0xE0E0D7, 0xE2E2DA, 0xEAE9E3, 0xF2F1EE, 0x003C74},
    {0xC9C7BA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA,
     0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xC9C7BA},
    {0x003C74, 0xFFF0CF, 0xFDD889, 0xFCFCFB, 0xFAFAF9, 0xF8F8F6, 0xF6F6F3, 0xF6F6F2, 0xF5F5F1, 0xF4F4F0, 0xF3F3EF,
     0xF3F3EE, 0xF2F2ED, 0xF1F1ED, 0xF1F1EC, 0xF0F0EB, 0xF0F0EA, 0xECEBE6, 0xF8B330, 0xE59700, 0x003C74},
    {0x003C74, 0xCEE7FF, 0xBCD4F6, 0xFCFCFB, 0xFAFAF9, 0xF8F8F6, 0xF6F6F3, 0xF6F6F2, 0xF5F5F1, 0xF4F4F0, 0xF3F3EF,
     0xF3F3EE, 0xF2F2ED, 0xF1F1ED, 0xF1F1EC, 0xF0F0EB, 0xF0F0EA, 0xECEBE6, 0x89ADE4, 0x6982EE, 0x003C74},
};

// The middle row (row 10), columns 0 to 17.
Rgb MiddleRow(int cell, int x) {
  static const Rgb cols[Cells][7] = {
      // 0        1         2         3         4-13      14        15        16        17
      {0x003C74, 0xF4F4F0, 0xF4F4F0, 0xF3F3EF, 0xF3F3EF, 0xF2F2EE, 0xEEEDE7},
      {0x003C74, 0xD7D4CB, 0xDDDBD3, 0xE1E0D9, 0xE2E1DA, 0xE2E1DB, 0xE3E2DB},
      {0xC9C7BA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA},
      {0x003C74, 0xFCCA69, 0xFBCA6A, 0xF3F3EF, 0xF3F3EF, 0xF2F2EE, 0xFBCA6A},
      {0x003C74, 0xA0BEEC, 0xA0BEEC, 0xF3F3EF, 0xF3F3EF, 0xF2F2EE, 0xA1BEED},
  };
  static const Rgb col16[Cells] = {0xE8E5DF, 0xE4E3DC, 0xF5F4EA, 0xFCCA69, 0xA0BEEC};
  if (x == 0 || x == 17) return cols[cell][0];
  if (x <= 3) return cols[cell][x];
  if (x <= 13) return cols[cell][4];
  if (x == 14) return cols[cell][5];
  if (x == 15) return cols[cell][6];
  return col16[cell];
}

// Side bands: columns 1, 2, 15, 16 at rows 3, 10 and 17 (cell 2 is flat).
const Rgb Bands[Cells][3][4] = {
    {{0xFDFDFC, 0xFDFDFC, 0xFBFBFA, 0xF6F4F2}, {0xF4F4F0, 0xF4F4F0, 0xEEEDE7, 0xE8E5DF}, {0xECEBE6, 0xEBEBE5, 0xE4E2DA, 0xE0DED4}},
    {{0xD8D4CB, 0xDDDAD1, 0xE4E3DC, 0xE5E4DD}, {0xD7D4CB, 0xDDDBD3, 0xE3E2DB, 0xE4E3DC}, {0xDAD8CF, 0xDFDED6, 0xE6E5DF, 0xE6E5DF}},
    {{0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA}, {0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA}, {0xF5F4EA, 0xF5F4EA, 0xF5F4EA, 0xF5F4EA}},
    {{0xFEDF9A, 0xFCD279, 0xFCD279, 0xFDE09B}, {0xFCCA69, 0xFBCA6A, 0xFBCA6A, 0xFCCA69}, {0xF9B435, 0xF8B535, 0xF8B535, 0xF8B435}},
    {{0xBAD3F5, 0xBAD3F6, 0xBAD3F5, 0xBAD3F6}, {0xA0BEEC, 0xA0BEEC, 0xA1BEED, 0xA0BEEC}, {0x89ADE4, 0x89ADE4, 0x89ADE4, 0x89ADE4}},
};

// Corners, row by row: top-left, top-right, bottom-left, bottom-right.
const Rgb Corners[Cells][4][3][3] = {
    {{{0xBCD4F6, 0x65869F, 0x225583}, {0x65869F, 0x557DA2, 0xC0CFDD}, {0x225583, 0xBFCEDC, 0xFEFEFE}},
     {{0x154C7D, 0x577C99, 0xBCD4F6}, {0xD5DFE8, 0x557DA2, 0x6586A0}, {0xFEFEFD, 0xBFCEDC, 0x225583}},
     {{0x154C7D, 0xBFC7CA, 0xE2DFD6}, {0x567B99, 0x4A7193, 0xA3AEB4}, {0xBCD4F6, 0x6A8BA3, 0x225583}},
     {{0xDBD7CD, 0xB6BDBD, 0x154C7D}, {0xB1B7B6, 0x486E90, 0x5E829E}, {0x154C7D, 0x6184A0, 0xBCD4F6}}},
    {{{0xBCD4F6, 0x65869F, 0x225583}, {0x65869F, 0x466D8E, 0x9DA8AC}, {0x225583, 0xA0ABB1, 0xD6D0C6}},
     {{0x154C7D, 0x577C99, 0xBCD4F6}, {0xB1B7B7, 0x497092, 0x6586A0}, {0xDCD9D0, 0xA9B5BD, 0x225583}},
     {{0x154C7D, 0xBCC5C7, 0xE6E6DF}, {0x567B99, 0x4D7598, 0xB2C1CB}, {0xBCD4F6, 0x6A8BA3, 0x225583}},
     {{0xEDECE7, 0xC4CED2, 0x154C7D}, {0xCAD3DA, 0x4F779B, 0x5E829E}, {0x154C7D, 0x6184A0, 0xBCD4F6}}},
    {{{0xBCD4F6, 0xC9C7BA, 0xC9C7BA}, {0xC9C7BA, 0xD8D6CA, 0xEAE9DE}, {0xC9C7BA, 0xEAE9DE, 0xF5F4EA}},
     {{0xC9C7BA, 0xC9C7BA, 0xBCD4F6}, {0xEEEDE2, 0xD8D6CA, 0xC9C7BA}, {0xF5F4EA, 0xEAE9DE, 0xC9C7BA}},
     {{0xC9C7BA, 0xEEEDE2, 0xF5F4EA}, {0xC9C7BA, 0xD8D6CA, 0xEAE9DE}, {0xBCD4F6, 0xC9C7BA, 0xC9C7BA}},
     {{0xF5F4EA, 0xEEEDE2, 0xC9C7BA}, {0xEEEDE2, 0xD8D6CA, 0xC9C7BA}, {0xC9C7BA, 0xC9C7BA, 0xBCD4F6}}},
    {{{0xBCD4F6, 0x65869F, 0x225583}, {0x65869F, 0x8D9EA1, 0xEFE8D2}, {0x225583, 0xEEDCAD, 0xFCD279}},
     {{0x154C7D, 0x577C99, 0xBCD4F6}, {0xF8EDD3, 0x8D9EA1, 0x6586A0}, {0xFCD279, 0xEEDCAD, 0x225583}},
     {{0x154C7D, 0xEFB549, 0xF8B230}, {0x567B99, 0x848671, 0xE59700}, {0xBCD4F6, 0x6A8BA3, 0x225583}},
     {{0xF8B330, 0xEDB547, 0x154C7D}, {0xE59700, 0x83846F, 0x5E829E}, {0x154C7D, 0x6184A0, 0xBCD4F6}}},
    {{{0xBCD4F6, 0x65869F, 0x225583}, {0x65869F, 0x274D85, 0xCEE7FF}, {0x225583, 0xBCD4F6, 0xBCD4F6}},
     {{0x154C7D, 0x577C99, 0xBCD4F6}, {0xCEE7FF, 0x274D85, 0x6586A0}, {0xBCD4F6, 0xBCD4F6, 0x225583}},
     {{0x154C7D, 0x89ADE4, 0x89ADE4}, {0x567B99, 0x274D85, 0x4D7DC1}, {0xBCD4F6, 0x6A8BA3, 0x225583}},
     {{0x89ADE4, 0x89ADE4, 0x154C7D}, {0x6982EE, 0x274D85, 0x5E829E}, {0x154C7D, 0x6184A0, 0xBCD4F6}}},
};

Rgb Blend(Rgb a, Rgb b, double t) {
  auto mix = [&](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
  return Pack(mix(R(a), R(b)), mix(G(a), G(b)), mix(B(a), B(b)));
}

// One pixel of a cell, and whether the tables give it exactly.
Rgb CellPixel(int cell, int x, int y, bool& exact) {
  exact = true;
  int cx = x < 3 ? 0 : x >= 15 ? 1 : -1, cy = y < 3 ? 0 : y >= 18 ? 1 : -1;
  if (cx >= 0 && cy >= 0) {
    int block = cy * 2 + cx;  // top-left, top-right, bottom-left, bottom-right
    return Corners[cell][block][y - (cy ? 18 : 0)][x - (cx ? 15 : 0)];
  }
  if (x == 8) return MiddleColumn[cell][y];
  if (y == 10) return MiddleRow(cell, x);
  if (x == 0 || x == 17) return MiddleColumn[cell][0];  // the frame
  if (cx < 0) {
    Rgb row = MiddleColumn[cell][y];
    if (cy >= 0) {
      exact = false;  // top and bottom edges: the colour of the row
      return row;
    }
    exact = false;  // the centre: the row's colour shaded as its column is in the middle row
    Rgb d = MiddleRow(cell, x), m = MiddleRow(cell, 8);
    return Pack(R(row) + R(d) - R(m), G(row) + G(d) - G(m), B(row) + B(d) - B(m));
  }
  // The side bands, rows 3 to 17.
  int band = x == 1 ? 0 : x == 2 ? 1 : x == 15 ? 2 : 3;
  if (y == 3) return Bands[cell][0][band];
  if (y == 17) return Bands[cell][2][band];
  exact = false;
  if (y < 10) return Blend(Bands[cell][0][band], Bands[cell][1][band], (y - 3) / 7.0);
  return Blend(Bands[cell][1][band], Bands[cell][2][band], (y - 10) / 7.0);
}

int Distance(Rgb a, Rgb b) {
  return std::max({std::abs(R(a) - R(b)), std::abs(G(a) - G(b)), std::abs(B(a) - B(b))});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: xpcmdbuttonart OUTPUT_DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  constexpr int W = CellW * Cells, H = CellH;
  std::vector<Rgb> want(W * H);
  std::vector<bool> exact(W * H);
  for (int cell = 0; cell < Cells; ++cell)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < CellW; ++x) {
        bool e;
        want[y * W + cell * CellW + x] = CellPixel(cell, x, y, e);
        exact[y * W + cell * CellW + x] = e;
      }
  // The palette: every exact colour first; a derived colour takes the nearest one already there
  // when it lies within one unit per channel, so that the strip fits 256 colours.
  std::vector<Rgb> palette;
  std::map<Rgb, int> index;
  auto add = [&](Rgb c) {
    auto [it, fresh] = index.emplace(c, static_cast<int>(palette.size()));
    if (fresh) palette.push_back(c);
    return it->second;
  };
  std::vector<uint8_t> px(W * H);
  for (int i = 0; i < W * H; ++i)
    if (exact[i]) px[i] = static_cast<uint8_t>(add(want[i]));
  for (int i = 0; i < W * H; ++i) {
    if (exact[i]) continue;
    int best = -1;
    if (!index.count(want[i]))
      for (int p = 0; p < static_cast<int>(palette.size()); ++p)
        if (Distance(palette[p], want[i]) <= 1 && (best < 0 || Distance(palette[p], want[i]) < Distance(palette[best], want[i])))
          best = p;
    px[i] = static_cast<uint8_t>(best >= 0 ? best : add(want[i]));
  }
  if (palette.size() > 256) {
    std::fprintf(stderr, "xpcmdbuttonart: %zu colours do not fit an 8-bit palette\n", palette.size());
    return 1;
  }

  int stride = (W + 3) & ~3;
  uint32_t colours = static_cast<uint32_t>(palette.size());
  uint32_t offset = 14 + 40 + 4 * colours;
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  art::Put32(v, offset + stride * H);
  art::Put32(v, 0);
  art::Put32(v, offset);
  art::Put32(v, 40);
  art::Put32(v, W);
  art::Put32(v, H);
  art::Put16(v, 1);
  art::Put16(v, 8);
  art::Put32(v, 0);  // BI_RGB
  art::Put32(v, stride * H);
  art::Put32(v, 2835);
  art::Put32(v, 2835);
  art::Put32(v, colours);
  art::Put32(v, colours);
  for (Rgb c : palette) {
    v.push_back(static_cast<uint8_t>(B(c)));
    v.push_back(static_cast<uint8_t>(G(c)));
    v.push_back(static_cast<uint8_t>(R(c)));
    v.push_back(0);
  }
  for (int y = H - 1; y >= 0; --y) {
    for (int x = 0; x < W; ++x) v.push_back(px[y * W + x]);
    for (int pad = W; pad < stride; ++pad) v.push_back(0);
  }
  if (!art::Save(dir + "/xpcmdbutton_skin.bmp", v)) return 1;

  std::string header =
      "// Drawn by tools/xpcmdbuttonart.cpp: the skin strip as an 8-bit palette BMP file.\n"
      "#pragma once\n\ninline constexpr unsigned char SkinStripBmp[] = {";
  for (size_t i = 0; i < v.size(); ++i) {
    if (i % 16 == 0) header += "\n   ";
    char b[8];
    std::snprintf(b, sizeof b, " %u,", v[i]);
    header += b;
  }
  header += "\n};\n";
  FILE* f = std::fopen((dir + "/xpcmdbutton_skin.h").c_str(), "wb");
  if (!f) return 1;
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
  return std::fclose(f) == 0 && ok ? 0 : 1;
}
