#include "drawn.h"

#include "raii.h"

namespace launch {

void BackPicture::Create(HWND) {
  if (!ownImage_) ownImage_ = winapp::LoadBitmapAt(resource_, Dpi());
}

void BackPicture::PaintOnForm(HDC dc) {
  if (!ownImage_ || !visible_) return;
  winapp::MemDc mem(CreateCompatibleDC(dc));
  winapp::Selected keep(mem.get(), ownImage_.get());
  BitBlt(dc, Px(place_.left), Px(place_.top), Px(place_.width), Px(place_.height), mem.get(), 0, 0, SRCCOPY);
}

void OutlineShape::PaintOnForm(HDC dc) {
  if (!visible_) return;
  RECT r{Px(place_.left), Px(place_.top), Px(place_.left + place_.width), Px(place_.top + place_.height)};
  winapp::GdiObject brush(CreateSolidBrush(border_));
  FrameRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

}  // namespace launch
