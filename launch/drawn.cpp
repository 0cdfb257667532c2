#include "drawn.h"

#include "raii.h"

namespace launch {

using winapp::Pixels;

void BackPicture::Create(HWND) {
  if (!bitmap_) bitmap_.reset(LoadImageA(winapp::app::ResourceModule(), resource_, IMAGE_BITMAP, 0, 0, 0));
}

void BackPicture::Destroyed() {
  Control::Destroyed();
  bitmap_.reset();
}

void BackPicture::PaintOnForm(HDC dc) {
  if (!bitmap_ || !visible_) return;
  winapp::MemDc mem(CreateCompatibleDC(dc));
  winapp::Selected keep(mem.get(), bitmap_.get());
  BitBlt(dc, Pixels(place_.left), Pixels(place_.top), Pixels(place_.width), Pixels(place_.height), mem.get(), 0, 0,
         SRCCOPY);
}

void OutlineShape::PaintOnForm(HDC dc) {
  if (!visible_) return;
  RECT r{Pixels(place_.left), Pixels(place_.top), Pixels(place_.left + place_.width),
         Pixels(place_.top + place_.height)};
  winapp::GdiObject brush(CreateSolidBrush(border_));
  FrameRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

}  // namespace launch
