#include "face.h"

#include <cstring>

#include "xpcmdbutton_skin.h"

namespace xpskin {

namespace {
// The one strip of the module, made by the first button and deleted by the last (SkinClip).
Strip* g_strip = nullptr;
int g_clips = 0;

// The compiled-in file: header, palette, bottom-up rows of 8-bit indices. It is turned into a
// 32-bit DIB once, so that painting never converts colours through a palette. None when the file
// is not the strip it should be or the system cannot make the bitmap.
winapp::GdiObject StripBitmap() {
  BITMAPFILEHEADER file;
  BITMAPINFOHEADER info;
  if (sizeof SkinStripBmp < sizeof file + sizeof info) return {};
  std::memcpy(&file, SkinStripBmp, sizeof file);
  std::memcpy(&info, SkinStripBmp + sizeof file, sizeof info);
  int w = info.biWidth, h = info.biHeight;
  if (file.bfType != 0x4D42 || info.biBitCount != 8 || w != CellWidth * CellCount || h != CellHeight) return {};
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(SkinStripBmp + sizeof file + info.biSize);
  const unsigned char* rows = SkinStripBmp + file.bfOffBits;
  int stride = (w + 3) & ~3;
  if (file.bfOffBits + static_cast<size_t>(stride) * h > sizeof SkinStripBmp) return {};

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  winapp::GdiObject bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return {};
  auto* out = static_cast<DWORD*>(bits);
  for (int y = 0; y < h; ++y) {
    const unsigned char* row = rows + static_cast<size_t>(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      const RGBQUAD& c = palette[row[x]];
      out[y * w + x] = static_cast<DWORD>(c.rgbRed) << 16 | c.rgbGreen << 8 | c.rgbBlue;
    }
  }
  GdiFlush();
  return bitmap;
}

}  // namespace

Strip::Strip()
    : bitmap_(StripBitmap()),
      dc_(bitmap_ ? CreateCompatibleDC(nullptr) : nullptr),
      selected_(dc_.get(), bitmap_.get()) {}

SkinClip::SkinClip() {
  if (g_clips++ == 0) g_strip = new Strip;
}

SkinClip::~SkinClip() {
  if (--g_clips == 0) {
    delete g_strip;
    g_strip = nullptr;
  }
}

HDC SkinClip::dc() const { return g_strip && g_strip->Valid() ? g_strip->dc() : nullptr; }

POINT SkinClip::CellOrigin(int cell) {
  if (cell < 0 || cell >= CellCount) cell = Normal;
  return {cell * CellWidth, 0};
}

void DrawFace(HDC target, int W, int H, HDC strip, int cell) {
  if (!target || !strip || W <= 0 || H <= 0) return;
  POINT o = SkinClip::CellOrigin(cell);
  // Taken as whole numbers, as the face's arithmetic always was.
  short w6 = static_cast<short>(W - 6), h6 = static_cast<short>(H - 6);
  struct Piece {
    int dx, dy, dw, dh, sx, sy, sw, sh;
  };
  const Piece pieces[9] = {
      {0, 0, 3, 3, 0, 0, 3, 3},              // top-left corner
      {W - 3, 0, 3, 3, 15, 0, 3, 3},         // top-right corner
      {W - 3, H - 3, 3, 3, 15, 18, 3, 3},    // bottom-right corner
      {0, H - 3, 3, 3, 0, 18, 3, 3},         // bottom-left corner
      {3, 0, w6, 3, 3, 0, 12, 3},            // top edge
      {W - 3, 3, 3, h6, 15, 3, 3, 15},       // right edge
      {0, 3, 3, h6, 0, 3, 3, 15},            // left edge
      {3, H - 3, w6, 3, 3, 18, 12, 3},       // bottom edge
      {3, 3, w6, h6, 3, 3, 12, 15},          // centre
  };
  int oldMode = SetStretchBltMode(target, COLORONCOLOR);
  // A surface smaller than the corners shows them clipped to itself.
  bool small = W < 6 || H < 6;
  winapp::GdiObject saved;
  bool hadClip = false;
  if (small) {
    saved.reset(CreateRectRgn(0, 0, 0, 0));
    hadClip = GetClipRgn(target, static_cast<HRGN>(saved.get())) == 1;
    IntersectClipRect(target, 0, 0, W, H);
  }
  for (const Piece& p : pieces) {
    if (p.dw <= 0 || p.dh <= 0) continue;
    if (p.dw == p.sw && p.dh == p.sh)
      BitBlt(target, p.dx, p.dy, p.dw, p.dh, strip, o.x + p.sx, o.y + p.sy, SRCCOPY);
    else
      StretchBlt(target, p.dx, p.dy, p.dw, p.dh, strip, o.x + p.sx, o.y + p.sy, p.sw, p.sh, SRCCOPY);
  }
  if (small) {
    SelectClipRgn(target, hadClip ? static_cast<HRGN>(saved.get()) : nullptr);
  }
  SetStretchBltMode(target, oldMode);
}

}  // namespace xpskin
