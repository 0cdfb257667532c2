// Twips, dots an inch and the fonts and pictures laid out at them: what the form layer needs to
// draw a window the same size in inches on every screen.
#pragma once

#include <windows.h>

#include "raii.h"

// Sent by systems newer than the programs' target when a window moves to a monitor of another DPI.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace winapp {

// Twips are 1/1440 inch: 15 to a pixel at 96 dots an inch, 10 at 144, 7.5 at 192.
constexpr int TwipsPerPixel = 15;
constexpr UINT DefaultDpi = 96;
constexpr int Pixels(double twips, UINT dpi = DefaultDpi) { return static_cast<int>(twips * dpi / 1440 + 0.5); }

// The screen's dots an inch as this process sees them (the system's, or 96 for a program that
// declares no awareness), and a window's own (that of the monitor it is on, for a per-monitor
// aware program). Older systems without the per-window calls give the screen's LOGPIXELSY.
UINT SystemDpi();
UINT WindowDpi(HWND w);

// The outer size of a window of `style`/`ex` whose client area is `client` pixels, with the frame
// at `dpi` where it is not the resolution the process sees and the system can say.
SIZE WindowSizeAt(SIZE client, DWORD style, DWORD ex, UINT dpi);

struct FontSpec {
  const char* face = nullptr;  // null: the default dialog font
  int points = 8;
  bool bold = false;
  bool operator==(const FontSpec& o) const;
};

// A font made from its description at `dpi`, or the shared dialog font at `dpi` (one per
// resolution, never deleted) for the default one.
HFONT DialogFont(UINT dpi = DefaultDpi);
GdiObject MakeFont(const FontSpec& spec, UINT dpi = DefaultDpi);

// A bitmap resource at `dpi`: as drawn (96) or scaled to the same size in inches.
GdiObject LoadBitmapAt(const char* resource, UINT dpi);

}  // namespace winapp
