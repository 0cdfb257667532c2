#include "control.h"

#include <commctrl.h>

#include <algorithm>

#include "form.h"
#include "layer.h"

namespace winapp {

Control::Control(Form* form, const char* name, Twips place) : form_(form), name_(name), place_(place) {
  form->controls_.push_back(this);
}

Control::~Control() { Release(); }

int Control::Id() const { return ControlId(name_); }

Control* Control::FromWindow(HWND w) {
  return w ? static_cast<Control*>(GetPropA(w, layer::ControlProperty())) : nullptr;
}

UINT Control::Dpi() const { return form_ ? form_->Dpi() : DefaultDpi; }

int Control::Px(double twips) const { return Pixels(twips, Dpi()); }

RECT Control::PixelRect() const {
  int x = Px(place_.left), y = Px(place_.top);
  return {x, y, x + Px(place_.width), y + Px(place_.height)};
}

void Control::DpiChanged() {
  if (!hwnd_) return;
  RECT r = PixelRect();
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (dialogFont_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(Dpi())), TRUE);
}

void Control::Bind(HWND w) {
  hwnd_ = w;
  SetPropA(w, layer::ControlProperty(), this);
}

void Control::WindowGone() {
  if (hwnd_) {
    RemovePropA(hwnd_, layer::ControlProperty());
    if (subclassed_) RemoveWindowSubclass(hwnd_, SubclassProc, 1);
  }
  subclassed_ = false;
  Destroyed();
  hwnd_ = nullptr;
}

HWND Control::MakeChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle, const char* text,
                        void* createParam) {
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  RECT r = PixelRect();
  HWND w = CreateWindowExA(exStyle, windowClass, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())), app::ResourceModule(),
                           createParam);
  if (!w) failed_ = true;
  return w;
}

HWND Control::CreateChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle, const char* text) {
  HWND w = MakeChild(parent, windowClass, style, exStyle, text, nullptr);
  if (!w) return nullptr;
  Bind(w);
  subclassed_ = SetWindowSubclass(w, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
  SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(Dpi())), FALSE);
  dialogFont_ = true;
  return w;
}

HWND Control::CreateOwnChild(HWND parent, const char* className, UINT classStyle, DWORD style, DWORD exStyle,
                             const char* text) {
  if (layer::RegisterClassOnce(className, OwnClassProc, classStyle, nullptr)) {
    failed_ = true;
    return nullptr;
  }
  // The window binds itself to this control on its first message (OwnClassProc).
  HWND w = MakeChild(parent, className, style, exStyle, text, this);
  if (!w) hwnd_ = nullptr;
  return w;
}

LRESULT CALLBACK Control::SubclassProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* c = reinterpret_cast<Control*>(ref);
  if (msg == WM_NCDESTROY) {
    c->WindowGone();
    return DefSubclassProc(w, msg, wp, lp);
  }
  LRESULT result = 0;
  if (c->OnMessage(msg, wp, lp, result)) return result;
  return DefSubclassProc(w, msg, wp, lp);
}

LRESULT CALLBACK Control::OwnClassProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    if (auto* c = static_cast<Control*>(cs->lpCreateParams)) c->Bind(w);
  }
  Control* c = FromWindow(w);
  if (!c) return DefWindowProcA(w, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    c->WindowGone();
    return DefWindowProcA(w, msg, wp, lp);
  }
  LRESULT result = 0;
  if (c->OnMessage(msg, wp, lp, result)) return result;
  return DefWindowProcA(w, msg, wp, lp);
}

void Control::Release() {
  if (released_) return;
  released_ = true;
  if (form_) form_->ControlGoing(this);
}

bool Control::Reflected(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND: Command(HIWORD(wp)); return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      SetBkMode(dc, TRANSPARENT);
      SetBkColor(dc, form_->desc_.back);
      result = reinterpret_cast<LRESULT>(form_->backBrush_.get());
      return true;
    }
  }
  return false;
}

void Control::KeepDesign() {
  designVisible_ = visible_;
  designEnabled_ = enabled_;
}

void Control::BackToDesign() {
  visible_ = designVisible_;
  enabled_ = designEnabled_;
}

bool Control::Visible() const { return hwnd_ ? IsWindowVisible(hwnd_) != FALSE : visible_; }

void Control::SetVisible(bool visible) {
  visible_ = visible;
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
  else form_->Redraw();
}

bool Control::Enabled() const { return hwnd_ ? IsWindowEnabled(hwnd_) != FALSE : enabled_; }

void Control::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (hwnd_) EnableWindow(hwnd_, enabled);
}

namespace layer {

std::string WindowText(HWND w) {
  int n = GetWindowTextLengthA(w);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(w, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

}  // namespace layer

TextControl::TextControl(Form* form, const char* name, Twips place, std::string_view text)
    : Control(form, name, place), text_(text) {}

std::string TextControl::Text() const { return hwnd_ ? layer::WindowText(hwnd_) : text_; }

void TextControl::SetText(std::string_view text) {
  text_ = std::string(text);
  if (hwnd_) SetWindowTextA(hwnd_, text_.c_str());
}

void TextControl::KeepDesign() {
  Control::KeepDesign();
  designText_ = text_;
}

void TextControl::BackToDesign() {
  Control::BackToDesign();
  text_ = designText_;
}

}  // namespace winapp
