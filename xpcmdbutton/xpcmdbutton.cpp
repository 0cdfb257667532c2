#include "xpcmdbutton.h"

#include <windowsx.h>

#include <algorithm>

using namespace winapp;

namespace {

constexpr UINT_PTR Timer1Id = 1;

std::string g_projectName;

std::string& ProjectName() {
  if (g_projectName.empty()) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string base = path;
    if (auto slash = base.find_last_of("\\/"); slash != std::string::npos) base.erase(0, slash + 1);
    if (auto dot = base.rfind('.'); dot != std::string::npos) base.erase(dot);
    g_projectName = base.empty() ? std::string("Project1") : base;
  }
  return g_projectName;
}

template <class T>
T ValueAs(const PropertyBag::Value& v, const T& fallback) {
  // A stored value of the wrong kind (a damaged bag) reads as the default.
  const T* p = std::get_if<T>(&v);
  return p ? *p : fallback;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Property bag

const PropertyBag::Value* PropertyBag::Find(const std::string& name) const {
  for (const auto& [key, value] : values_)
    if (key == name) return &value;
  return nullptr;
}

PropertyBag::Value PropertyBag::ReadProperty(const std::string& name, const Value& defaultValue) const {
  order_.push_back(name);
  const Value* v = Find(name);
  if (!v || v->index() != defaultValue.index()) return defaultValue;
  return *v;
}

void PropertyBag::WriteProperty(const std::string& name, const Value& value, const Value& defaultValue) {
  order_.push_back(name);
  values_.erase(std::remove_if(values_.begin(), values_.end(), [&](const auto& kv) { return kv.first == name; }),
                values_.end());
  if (!(value == defaultValue)) values_.emplace_back(name, value);
}

// ---------------------------------------------------------------------------------------------
// The control

// What reading a bag that stores the caption alone does, without a bag: every program's buttons
// are made so, and the bag's code stays out of a program that never stores properties.
xpcmdbutton::xpcmdbutton(Form* form, const char* name, Twips place, std::string_view caption,
                         std::function<void()> onClick)
    : Control(form, name, place), OnClick(std::move(onClick)) {
  font_ = AmbientFont();
  SetEnabled(true);
  SetCaption(std::string(caption));
  SetFont(AmbientFont());
}

xpcmdbutton::xpcmdbutton(Form* form, const char* name, Twips place, const PropertyBag& stored,
                         std::function<void()> onClick)
    : Control(form, name, place), OnClick(std::move(onClick)) {
  font_ = AmbientFont();
  ReadProperties(stored);
}

xpcmdbutton::xpcmdbutton(Form* form, const char* name, Twips place) : Control(form, name, place) {
  font_ = AmbientFont();
  InitProperties();
}

// The face buffer's bitmap is put back out of its DC before either goes (a bitmap still selected
// cannot be deleted); the window itself goes in the base's destructor, and paints nothing before.
xpcmdbutton::~xpcmdbutton() { ReleaseFace(); }

void xpcmdbutton::SetProjectName(const char* name) { ProjectName() = name ? name : ""; }

std::string xpcmdbutton::ClassName() { return ProjectName() + ".xpcmdbutton"; }

StdFont xpcmdbutton::AmbientFont() const {
  StdFont f;
  LOGFONTA lf{};
  HFONT host = form_ ? form_->Font() : DialogFont();
  if (host && GetObjectA(host, sizeof lf, &lf)) {
    f.Name = lf.lfFaceName;
    f.Size = static_cast<short>(MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, 72, static_cast<int>(Dpi())));
    f.Bold = lf.lfWeight >= FW_BOLD;
  }
  return f;
}

// --- properties ------------------------------------------------------------------------------

void xpcmdbutton::SetCaption(const std::string& vNewCaption) {
  lbl.Caption = vNewCaption;
  if (hwnd_) SetWindowTextA(hwnd_, lbl.Caption.c_str());
  // The label sizes itself to the new text and reports the change, which re-centres it.
  SizeLabel();
  Resize();
  PropertyChanged("Caption");
}

bool xpcmdbutton::Enabled() const { return Control::Enabled(); }

void xpcmdbutton::SetEnabled(bool New_Enabled) {
  settingEnabled_ = true;
  Control::SetEnabled(New_Enabled);
  settingEnabled_ = false;
  PropertyChanged("Enabled");
  UpdateFace();
  lbl.ForeColor = New_Enabled ? EnabledCaptionColour : DisabledCaptionColour;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void xpcmdbutton::SetFont(const StdFont& vNewFont) {
  font_ = vNewFont;
  MakeFontHandle();
  if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_.get()), FALSE);
  SizeLabel();
  Resize();
  PropertyChanged("Font");
}

void xpcmdbutton::SetState(long vNewValue) {
  State_ = vNewValue;
  PropertyChanged("State");
  UpdateFace();
}

void xpcmdbutton::PropertyChanged(const char* name) {
  if (OnPropertyChanged) OnPropertyChanged(name);
}

// --- persistence -----------------------------------------------------------------------------

void xpcmdbutton::InitProperties() {
  SetEnabled(true);
  SetCaption(name_);
  SetFont(AmbientFont());
}

void xpcmdbutton::ReadProperties(const PropertyBag& bag) {
  State_ = ValueAs<long>(bag.ReadProperty("State", 0L), 0L);
  SetEnabled(ValueAs<bool>(bag.ReadProperty("Enabled", true), true));
  std::string displayName = name_;
  SetCaption(ValueAs<std::string>(bag.ReadProperty("Caption", displayName), displayName));
  StdFont ambient = AmbientFont();
  SetFont(ValueAs<StdFont>(bag.ReadProperty("Font", ambient), ambient));
}

void xpcmdbutton::WriteProperties(PropertyBag& bag) const {
  bag.WriteProperty("State", State_, 0L);
  bag.WriteProperty("Enabled", Enabled(), true);
  bag.WriteProperty("Caption", Caption(), std::string(name_));
  bag.WriteProperty("Font", font_, AmbientFont());
}

// --- looks -----------------------------------------------------------------------------------

void xpcmdbutton::UpdateFace() {
  if (State_ == 1) RestCell_ = xpskin::Emphasised;
  else if (State_ == 0) RestCell_ = xpskin::Normal;
  short cell = Enabled() ? RestCell_ : static_cast<short>(xpskin::Disabled);
  DrawFace(cell);
}

SIZE xpcmdbutton::SurfaceSize() const {
  if (hwnd_) {
    RECT r;
    GetClientRect(hwnd_, &r);
    return {r.right, r.bottom};
  }
  return {Px(place_.width), Px(place_.height)};
}

void xpcmdbutton::ReleaseFace() {
  if (faceDc_ && faceOld_) SelectObject(faceDc_.get(), faceOld_);
  faceOld_ = nullptr;
  faceDc_.reset();
  faceBitmap_.reset();
  faceSize_ = {0, 0};
}

void xpcmdbutton::DrawFace(short& cell) {
  face_ = cell;
  if (!hwnd_) return;
  SIZE s = SurfaceSize();
  if (s.cx != faceSize_.cx || s.cy != faceSize_.cy || !faceDc_) {
    // The buffer follows the surface's size; between sizes a paint allocates nothing.
    ReleaseFace();
    WindowDc screen(hwnd_);
    faceDc_.reset(CreateCompatibleDC(screen.get()));
    faceBitmap_.reset(CreateCompatibleBitmap(screen.get(), std::max(1L, s.cx), std::max(1L, s.cy)));
    if (!faceDc_ || !faceBitmap_) {
      ReleaseFace();
      return;
    }
    faceOld_ = SelectObject(faceDc_.get(), faceBitmap_.get());
    faceSize_ = s;
  }
  xpskin::DrawFace(faceDc_.get(), s.cx, s.cy, pc.dc(), cell);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void xpcmdbutton::SizeLabel() {
  HFONT font = fontHandle_ ? static_cast<HFONT>(fontHandle_.get()) : DialogFont(Dpi());
  WindowDc dc(nullptr);
  Selected keep(dc.get(), font);
  RECT r{0, 0, 0, 0};
  DrawTextA(dc.get(), lbl.Caption.c_str(), static_cast<int>(lbl.Caption.size()), &r, DT_CALCRECT | DT_SINGLELINE);
  lbl.Width = r.right - r.left;
  lbl.Height = r.bottom - r.top;
}

void xpcmdbutton::Resize() {
  UpdateFace();
  SIZE s = SurfaceSize();
  lbl.Top = (s.cy - lbl.Height) / 2;
  lbl.Left = (s.cx - lbl.Width) / 2;
  if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

RECT xpcmdbutton::CaptionRect() const { return {lbl.Left, lbl.Top, lbl.Left + lbl.Width, lbl.Top + lbl.Height}; }

void xpcmdbutton::Paint() {
  PaintDc pdc(hwnd_);
  SIZE s = SurfaceSize();
  if (s.cx <= 0 || s.cy <= 0) return;
  // The face and the caption over it, put together off screen and shown in one copy.
  MemDc mem(CreateCompatibleDC(pdc.get()));
  GdiObject bitmap(CreateCompatibleBitmap(pdc.get(), s.cx, s.cy));
  if (!mem || !bitmap) return;
  Selected keepBitmap(mem.get(), bitmap.get());
  if (faceDc_) BitBlt(mem.get(), 0, 0, s.cx, s.cy, faceDc_.get(), 0, 0, SRCCOPY);
  Selected keepFont(mem.get(), fontHandle_ ? fontHandle_.get() : DialogFont(Dpi()));
  SetBkMode(mem.get(), TRANSPARENT);
  SetTextColor(mem.get(), lbl.ForeColor);
  RECT r = CaptionRect();
  DrawTextA(mem.get(), lbl.Caption.c_str(), static_cast<int>(lbl.Caption.size()), &r, DT_SINGLELINE | DT_NOCLIP);
  BitBlt(pdc.get(), 0, 0, s.cx, s.cy, mem.get(), 0, 0, SRCCOPY);
}

// --- mouse, keys, timer ----------------------------------------------------------------------

void xpcmdbutton::Raise(long dispid) {
  if (OnEvent) OnEvent(dispid);
}

void xpcmdbutton::RaiseClick() {
  Raise(EventClick);
  if (OnClick) OnClick();
}

short xpcmdbutton::ButtonOf(WPARAM keys) {
  return static_cast<short>(((keys & MK_LBUTTON) ? 1 : 0) | ((keys & MK_RBUTTON) ? 2 : 0) |
                            ((keys & MK_MBUTTON) ? 4 : 0));
}

short xpcmdbutton::ShiftOf(WPARAM keys) {
  return static_cast<short>(((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) |
                            (GetKeyState(VK_MENU) < 0 ? 4 : 0));
}

void xpcmdbutton::SetTimer1(bool on) {
  if (on == Timer1.Enabled) return;
  Timer1.Enabled = on;
  if (!hwnd_) return;
  if (on) ::SetTimer(hwnd_, Timer1Id, Timer1.Interval, nullptr);
  else KillTimer(hwnd_, Timer1Id);
}

void xpcmdbutton::MouseDown(short button, WPARAM keys, LPARAM lp) {
  HWND self = hwnd_;
  SetCapture(self);
  if (GetFocus() != self) ::SetFocus(self);
  if (button == 1) pressed_ = true;
  short Button = button, Shift = ShiftOf(keys);
  float x = static_cast<float>(GET_X_LPARAM(lp)), Y = static_cast<float>(GET_Y_LPARAM(lp));
  Raise(EventMouseDown);
  if (OnMouseDown) OnMouseDown(Button, Shift, x, Y);
  if (hwnd_ != self) return;  // the handler unloaded the host
  short cell = xpskin::Pressed;
  DrawFace(cell);
}

void xpcmdbutton::MouseMove(WPARAM keys, LPARAM lp) {
  SetTimer1(true);
  SIZE s = SurfaceSize();
  float x = static_cast<float>(GET_X_LPARAM(lp)), Y = static_cast<float>(GET_Y_LPARAM(lp));
  if (!(x >= 0 && x <= s.cx && Y >= 0 && Y <= s.cy)) return;
  short Button = ButtonOf(keys), Shift = ShiftOf(keys);
  HWND self = hwnd_;
  Raise(EventMouseMove);
  if (OnMouseMove) OnMouseMove(Button, Shift, x, Y);
  if (hwnd_ != self) return;
  short cell = Button == 1 ? xpskin::Pressed : xpskin::Hover;
  DrawFace(cell);
}

void xpcmdbutton::MouseUp(short button, WPARAM keys, LPARAM lp) {
  HWND self = hwnd_;
  SIZE s = SurfaceSize();
  int px = GET_X_LPARAM(lp), py = GET_Y_LPARAM(lp);
  bool inside = px >= 0 && py >= 0 && px < s.cx && py < s.cy;
  bool click = button == 1 && pressed_ && inside;
  if (button == 1) pressed_ = false;
  if (!(keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) && GetCapture() == self) ReleaseCapture();
  short Button = button, Shift = ShiftOf(keys);
  float x = static_cast<float>(px), Y = static_cast<float>(py);
  Raise(EventMouseUp);
  if (OnMouseUp) OnMouseUp(Button, Shift, x, Y);
  if (hwnd_ != self) return;
  UpdateFace();
  if (click) RaiseClick();
}

void xpcmdbutton::Timer1_Timer() {
  // Where the pointer is now, in the surface's own pixels; the edges count as inside.
  POINT p;
  if (!GetCursorPos(&p) || !ScreenToClient(hwnd_, &p)) return;
  SIZE s = SurfaceSize();
  if (p.x < 0 || p.y < 0 || p.x > s.cx || p.y > s.cy) {
    SetTimer1(false);
    HWND self = hwnd_;
    Raise(EventMouseOut);
    if (OnMouseOut) OnMouseOut();
    if (hwnd_ == self) UpdateFace();
  }
}

bool xpcmdbutton::Press() {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return false;
  RaiseClick();
  return true;
}

void xpcmdbutton::Create(HWND parent) {
  if (!CreateOwnChild(parent, ClassName().c_str(), 0, WS_TABSTOP, 0, lbl.Caption.c_str())) return;
  if (!fontHandle_ || fontDpi_ != Dpi()) MakeFontHandle();
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_.get()), FALSE);
  lbl.ForeColor = Enabled() ? EnabledCaptionColour : DisabledCaptionColour;
  SizeLabel();
  Resize();  // the first face
}

void xpcmdbutton::MakeFontHandle() {
  fontDpi_ = Dpi();
  fontHandle_ = MakeFont({font_.Name.c_str(), font_.Size, font_.Bold}, fontDpi_);
}

void xpcmdbutton::DpiChanged() {
  // The window at its new size, the caption's font at the new resolution, and the face painted
  // again over the new surface (its corners as drawn, the rest stretched).
  Control::DpiChanged();
  if (!hwnd_) return;
  MakeFontHandle();
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fontHandle_.get()), FALSE);
  SizeLabel();
  Resize();
}

void xpcmdbutton::Destroyed() {
  // Window timers go with their window; the control's state says so too.
  if (hwnd_ && Timer1.Enabled) KillTimer(hwnd_, Timer1Id);
  Timer1.Enabled = false;
  pressed_ = false;
  ReleaseFace();
  Control::Destroyed();
}

void xpcmdbutton::KeepDesign() {
  Control::KeepDesign();
  design_ = {lbl.Caption, State_, RestCell_, font_};
}

void xpcmdbutton::BackToDesign() {
  Control::BackToDesign();
  lbl.Caption = design_.Caption;
  State_ = design_.State;
  RestCell_ = design_.RestCell;
  if (!(font_ == design_.Font)) {
    font_ = design_.Font;
    fontHandle_.reset();  // the next window makes the designed one
  }
}

bool xpcmdbutton::Reflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool xpcmdbutton::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_ERASEBKGND: result = 1; return true;
    case WM_PAINT: Paint(); return true;
    case WM_SIZE: Resize(); return true;
    case WM_SHOWWINDOW:
      if (wp) UpdateFace();
      return false;
    case WM_ENABLE:
      // Enabled from outside the property (EnableWindow): the face and caption follow.
      if (!settingEnabled_) {
        UpdateFace();
        lbl.ForeColor = wp ? EnabledCaptionColour : DisabledCaptionColour;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      return true;
    case WM_GETDLGCODE: result = DLGC_BUTTON | DLGC_WANTCHARS; return true;
    case WM_LBUTTONDOWN: MouseDown(1, wp, lp); return true;
    case WM_RBUTTONDOWN: MouseDown(2, wp, lp); return true;
    case WM_MBUTTONDOWN: MouseDown(4, wp, lp); return true;
    case WM_LBUTTONUP: MouseUp(1, wp, lp); return true;
    case WM_RBUTTONUP: MouseUp(2, wp, lp); return true;
    case WM_MBUTTONUP: MouseUp(4, wp, lp); return true;
    case WM_MOUSEMOVE: MouseMove(wp, lp); return true;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd_) pressed_ = false;
      return true;
    case WM_TIMER:
      if (wp != Timer1Id) return false;
      if (Timer1.Enabled) Timer1_Timer();
      return true;
    case WM_KEYDOWN:
    case WM_KEYUP: {
      short KeyCode = static_cast<short>(wp);
      short Shift = static_cast<short>((GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                                       (GetKeyState(VK_MENU) < 0 ? 4 : 0));
      bool down = msg == WM_KEYDOWN;
      Raise(down ? EventKeyDown : EventKeyUp);
      if (down && OnKeyDown) OnKeyDown(KeyCode, Shift);
      if (!down && OnKeyUp) OnKeyUp(KeyCode, Shift);
      return true;
    }
    case WM_CHAR: {
      short KeyAscii = static_cast<short>(static_cast<unsigned char>(wp));
      Raise(EventKeyPress);
      if (OnKeyPress) OnKeyPress(KeyAscii);
      return true;
    }
    case BM_CLICK:
      // Clicked by another program or by assistive technology, as a standard button would be.
      if (IsWindowEnabled(hwnd_)) RaiseClick();
      return true;
  }
  return false;
}
