#include "controls.h"

#include <algorithm>

#include "form.h"

namespace winapp {

Label::Label(Form* form, const char* name, Twips place, std::string_view text, const LabelStyle& style)
    : TextControl(form, name, place, text), align_(style.align), font_(style.font), colour_(style.colour),
      designColour_(style.colour), fit_(style.fit) {}

Button::Button(Form* form, const char* name, Twips place, std::string_view caption, std::function<void()> onClick)
    : TextControl(form, name, place, caption), onClick_(std::move(onClick)) {}

CheckBox::CheckBox(Form* form, const char* name, Twips place, std::string_view caption, std::function<void()> onClick)
    : TextControl(form, name, place, caption), onClick_(std::move(onClick)) {}

TextBox::TextBox(Form* form, const char* name, Twips place, std::string_view text, TextBoxStyle style)
    : TextControl(form, name, place, text), style_(style) {}

void Label::KeepDesign() {
  TextControl::KeepDesign();
  designColour_ = colour_;
}

void Label::BackToDesign() {
  TextControl::BackToDesign();
  colour_ = designColour_;
}

void Label::Create(HWND parent) {
  DWORD style = align_ == Align::Centre ? SS_CENTER : align_ == Align::Right ? SS_RIGHT : SS_LEFT;
  CreateChild(parent, "STATIC", style, 0, text_.c_str());
  MakeOwnFont();
  FitHeight();
}

void Label::MakeOwnFont() {
  if (!hwnd_ || font_ == FontSpec{}) return;
  GdiObject font = MakeFont(font_, Dpi());
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  ownFont_ = std::move(font);  // the old one only once the window no longer uses it
}

void Label::DpiChanged() {
  Control::DpiChanged();
  MakeOwnFont();
  FitHeight();
}

void Label::SetText(std::string_view text) {
  TextControl::SetText(text);
  FitHeight();
}

void Label::SetColour(COLORREF colour) {
  colour_ = colour;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::FitHeight() {
  if (!hwnd_ || fit_ != Fit::GrowHeight) return;
  WindowDc dc(hwnd_);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
  Selected keep(dc.get(), font);
  RECT r{0, 0, Px(place_.width), 0};
  DrawTextA(dc.get(), text_.c_str(), static_cast<int>(text_.size()), &r, DT_CALCRECT | DT_WORDBREAK);
  int height = std::max(Px(place_.height), static_cast<int>(r.bottom));
  SetWindowPos(hwnd_, nullptr, 0, 0, Px(place_.width), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Label::Reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (!Control::Reflected(msg, wp, lp, result)) return false;
  if (msg == WM_CTLCOLORSTATIC) SetTextColor(reinterpret_cast<HDC>(wp), colour_);
  return true;
}

bool Label::Press() {
  // As in dialogs: the label names the control after it, which takes the focus.
  if (!hwnd_) return false;
  HWND next = GetNextDlgTabItem(GetParent(hwnd_), hwnd_, FALSE);
  if (!next) return false;
  ::SetFocus(next);
  return true;
}

void Button::Create(HWND parent) {
  const char* def = form_->Desc().defaultButton;
  DWORD kind = def && std::string_view(def) == name_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  CreateChild(parent, "BUTTON", kind | WS_TABSTOP, 0, text_.c_str());
}

void Button::Command(WORD code) {
  if (code == BN_CLICKED) Click();
}

bool Button::Press() {
  if (hwnd_ && !IsWindowEnabled(hwnd_)) return false;
  Click();
  return true;
}

int CheckBox::Value() const {
  return hwnd_ ? (SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0) : value_;
}

void CheckBox::SetValue(int value) {
  value_ = value ? 1 : 0;
  if (hwnd_) SendMessageA(hwnd_, BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::Create(HWND parent) {
  CreateChild(parent, "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, text_.c_str());
  if (hwnd_) SendMessageA(hwnd_, BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::Command(WORD code) {
  if (code == BN_CLICKED && onClick_) onClick_();
}

void CheckBox::KeepDesign() {
  TextControl::KeepDesign();
  designValue_ = value_;
}

void CheckBox::BackToDesign() {
  TextControl::BackToDesign();
  value_ = designValue_;
}

bool CheckBox::Press() {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return false;
  ::SetFocus(hwnd_);
  SendMessageA(hwnd_, BM_CLICK, 0, 0);
  return true;
}

void TextBox::Create(HWND parent) {
  DWORD style = WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
  if (style_.multiLine) style = (style & ~ES_AUTOHSCROLL) | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
  if (style_.verticalScroll) style |= WS_VSCROLL;
  if (style_.passwordChar) style |= ES_PASSWORD;
  CreateChild(parent, "EDIT", style, WS_EX_CLIENTEDGE, text_.c_str());
  if (!hwnd_) return;
  if (style_.passwordChar) SendMessageA(hwnd_, EM_SETPASSWORDCHAR, static_cast<BYTE>(style_.passwordChar), 0);
  // The edit control's own limit (about 32K) would cut long lists: raise it unless one is set.
  SendMessageA(hwnd_, EM_LIMITTEXT, style_.maxLength > 0 ? style_.maxLength : 0x7FFFFFFE, 0);
}

void ListBox::Create(HWND parent) {
  CreateChild(parent, "LISTBOX", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | LBS_HASSTRINGS, WS_EX_CLIENTEDGE,
              nullptr);
}

void ListBox::Clear() {
  if (hwnd_) SendMessageA(hwnd_, LB_RESETCONTENT, 0, 0);
}

void ListBox::AddItem(std::string_view item) {
  if (!hwnd_) return;
  std::string copy(item);
  SendMessageA(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

int ListBox::ListCount() const {
  if (!hwnd_) return 0;
  LRESULT n = SendMessageA(hwnd_, LB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

std::string ListBox::List(int index) const {
  if (!hwnd_) return {};
  LRESULT n = SendMessageA(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == LB_ERR) return {};
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = SendMessageA(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(n == LB_ERR ? 0 : static_cast<size_t>(n));
  return text;
}

Shape::Shape(Form* form, const char* name, Twips place, COLORREF fill)
    : Control(form, name, place), fill_(fill), width_(static_cast<float>(place.width)),
      designWidth_(width_) {}

void Shape::SetWidth(float twips) {
  width_ = twips;
  form_->Redraw();
}

void Shape::KeepDesign() {
  Control::KeepDesign();
  designWidth_ = width_;
}

void Shape::BackToDesign() {
  Control::BackToDesign();
  width_ = designWidth_;
}

void Shape::PaintOnForm(HDC dc) {
  if (!visible_) return;
  RECT r{Px(place_.left), Px(place_.top), Px(place_.left + width_), Px(place_.top + place_.height)};
  if (r.right <= r.left) r.right = r.left + 1;  // a shape is never narrower than one pixel
  GdiObject brush(CreateSolidBrush(fill_));
  FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

void Picture::Create(HWND parent) {
  CreateChild(parent, "STATIC", SS_BITMAP, 0, nullptr);
  ShowBitmap();
}

void Picture::ShowBitmap() {
  if (!hwnd_ || !resource_) return;
  GdiObject bitmap = LoadBitmapAt(resource_, Dpi());
  if (bitmap) SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get()));
  ownImage_ = std::move(bitmap);
}

void Picture::DpiChanged() {
  Control::DpiChanged();
  ShowBitmap();
}

Timer::Timer(Form* form, const char* name, UINT interval, bool enabled, std::function<void()> onTick)
    : Control(form, name, {0, 0, 0, 0}), interval_(interval), on_(enabled), onTick_(std::move(onTick)) {}

void Timer::Arm() {
  if (!owner_) return;
  UINT_PTR id = static_cast<UINT_PTR>(Id());
  KillTimer(owner_, id);
  armed_ = on_ && interval_ > 0 && SetTimer(owner_, id, interval_, nullptr) != 0;
}

void Timer::SetTimerEnabled(bool on) {
  on_ = on;
  Arm();
}

void Timer::SetInterval(UINT interval) {
  interval_ = interval;
  Arm();
}

void Timer::Create(HWND parent) {
  owner_ = parent;
  Arm();
}

void Timer::Destroyed() {
  if (owner_) KillTimer(owner_, static_cast<UINT_PTR>(Id()));
  owner_ = nullptr;
  armed_ = false;
}

void Timer::KeepDesign() {
  Control::KeepDesign();
  designOn_ = on_;
  designInterval_ = interval_;
}

void Timer::BackToDesign() {
  Control::BackToDesign();
  on_ = designOn_;
  interval_ = designInterval_;
}

bool Timer::Reflected(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg != WM_TIMER) return false;
  if (on_) Tick();
  result = 0;
  return true;
}

}  // namespace winapp
