#include "drawn.h"

#include "raii.h"

namespace launch {

void BackPicture::Create(HWND) {
  if (!bitmap_) bitmap_ = winapp::LoadBitmapAt(resource_, Dpi());
}

void BackPicture::Destroyed() {
  Control::Destroyed();
  bitmap_.reset();
}

void BackPicture::PaintOnForm(HDC dc) {
  if (!bitmap_ || !visible_) return;
  winapp::MemDc mem(CreateCompatibleDC(dc));
  winapp::Selected keep(mem.get(), bitmap_.get());
  BitBlt(dc, Px(place_.left), Px(place_.top), Px(place_.width), Px(place_.height), mem.get(), 0, 0, SRCCOPY);
}

void OutlineShape::PaintOnForm(HDC dc) {
  if (!visible_) return;
  RECT r{Px(place_.left), Px(place_.top), Px(place_.left + place_.width), Px(place_.top + place_.height)};
  winapp::GdiObject brush(CreateSolidBrush(border_));
  FrameRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

}  // namespace launch
