// Windowless pieces the splash screen draws itself: its background picture, and an outline
// drawn over it. Both paint onto the form in the order they are declared.
#pragma once

#include "form.h"
#include "raii.h"

namespace launch {

// A bitmap resource painted as the form's background at the control's place.
class BackPicture : public winapp::Control {
 public:
  BackPicture(winapp::Form* form, const char* name, winapp::Twips place, const char* bitmapResource)
      : Control(form, name, place), resource_(bitmapResource) {}
  bool HasPicture() const { return static_cast<bool>(ownImage_); }

 protected:
  void Create(HWND parent) override;
  void PaintOnForm(HDC dc) override;
  void DpiChanged() override { ownImage_ = winapp::LoadBitmapAt(resource_, Dpi()); }

 private:
  const char* resource_;
};

// A rectangle outline one pixel wide along the edges of the control's place.
class OutlineShape : public winapp::Control {
 public:
  OutlineShape(winapp::Form* form, const char* name, winapp::Twips place, COLORREF border)
      : Control(form, name, place), border_(border) {}

 protected:
  void Create(HWND) override {}
  void PaintOnForm(HDC dc) override;

 private:
  COLORREF border_;
};

}  // namespace launch
