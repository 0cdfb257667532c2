// The skinned button's faces: the skin strip of five 18 x 21 cells, and the nine-piece painting
// of one cell over a surface of any size.
#pragma once

#include <windows.h>

#include "raii.h"

namespace xpskin {

constexpr int CellWidth = 18, CellHeight = 21, CellCount = 5;
// The cells of the strip.
enum Cell : short { Normal = 0, Pressed = 1, Disabled = 2, Hover = 3, Emphasised = 4 };

// The strip, selected into a memory DC of its own, made from the skin compiled into the library.
// Shared by every button of the process while one lives (see SkinClip).
class Strip {
 public:
  Strip();
  Strip(const Strip&) = delete;
  Strip& operator=(const Strip&) = delete;
  HDC dc() const { return dc_.get(); }
  bool Valid() const { return dc_ && bitmap_; }

 private:
  // In this order, so that the strip is taken out of the DC before the DC goes, and the DC goes
  // before the strip. Without a bitmap there is no DC, and nothing is selected.
  winapp::GdiObject bitmap_;
  winapp::MemDc dc_;
  winapp::Selected selected_;
};

// The picture-clip part of a button: the strip cut into one row of five columns. Holding one
// keeps the shared strip alive; the last one to go releases it.
class SkinClip {
 public:
  SkinClip();
  ~SkinClip();
  SkinClip(const SkinClip&) = delete;
  SkinClip& operator=(const SkinClip&) = delete;
  HDC dc() const;
  // Where cell n lies in the strip (out-of-range cells fall back to the normal one).
  static POINT CellOrigin(int cell);
};

// Paints `cell` of the strip over a W x H surface of `target`: the nine pieces in their order,
// corners copied as they are, edges stretched along their length, the centre both ways, each a
// plain source copy with nearest-neighbour stretching. A surface under 6 pixels in a direction
// gets its corners (clipped to the surface, the later ones over the earlier) and no stretched
// piece of zero or negative size.
void DrawFace(HDC target, int W, int H, HDC strip, int cell);

}  // namespace xpskin
