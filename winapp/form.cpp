#include "form.h"

#include <algorithm>
#include <utility>

#include "layer.h"

namespace winapp {

Form::Form(FormDesc desc) : desc_(desc), designDesc_(desc) {}

Form::~Form() {
  Teardown();
  for (Control* c : controls_) c->form_ = nullptr;
}

Form* Form::FromWindow(HWND w) { return w ? static_cast<Form*>(GetPropA(w, layer::FormProperty())) : nullptr; }

void Form::DestroyWindows(bool destroy) {
  if (!hwnd_) return;
  HWND w = std::exchange(hwnd_, nullptr);
  // From here on no message reaches this object or its controls: the windows go down with the
  // system's own handling, and each control drops what it held for its window.
  RemovePropA(w, layer::FormProperty());
  auto& list = layer::LoadedForms();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  layer::FormsChanged();
  for (Control* c : controls_) {
    c->WindowGone();
    // What the next load creates is the design, not what this load left behind.
    if (designKept_) c->BackToDesign();
  }
  desc_ = designDesc_;
  if (destroy) DestroyWindow(w);
  if (app::InLibrary()) {
    // A class registered by a library would outlive it, pointing into code that is gone once the
    // library is unloaded: it goes with the last window of its class (while another one stands,
    // the system refuses and keeps it).
    UnregisterClassA(desc_.name, app::ResourceModule());
  }
  if (std::exchange(moduleLocked_, false)) layer::UnlockModule();
}

void Form::Teardown() {
  tornDown_ = true;
  DestroyWindows();
}

void Form::ControlGoing(Control* c) {
  if (hwnd_) Teardown();  // the derived form is being destroyed: its first member control goes
  controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

void Form::Discard() { DestroyWindows(); }

bool Form::Load() {
  if (hwnd_) return true;
  if (tornDown_) return false;
  loadError_ = 0;
  // Every control is found by the ID of its name, and a timer ticks by it: two controls of one
  // form whose names give the same ID (the same name twice, or a rare clash of the hash) would
  // answer for each other, so such a form is not made at all.
  for (size_t i = 0; i < controls_.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (controls_[i]->Id() == controls_[j]->Id()) {
        loadError_ = ERROR_DUP_NAME;
        return false;
      }
  HINSTANCE module = app::ResourceModule();
  if ((loadError_ = layer::RegisterClassOnce(desc_.name, WindowProc, CS_DBLCLKS, desc_.icon))) return false;
  if (!backBrush_) backBrush_.reset(CreateSolidBrush(desc_.back));

  DWORD style = WS_CLIPCHILDREN, ex = WS_EX_CONTROLPARENT;
  switch (desc_.border) {
    case Border::FixedDialog:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_DLGFRAME;
      ex |= WS_EX_DLGMODALFRAME;
      break;
    case Border::FixedSingle: style |= WS_OVERLAPPED | WS_CAPTION | WS_BORDER; break;
    case Border::Sizable: style |= WS_OVERLAPPEDWINDOW & ~WS_SYSMENU; break;
    case Border::NoBorder: style |= WS_POPUP; break;
    case Border::FixedToolWindow:
      style |= WS_OVERLAPPED | WS_CAPTION;
      ex |= WS_EX_TOOLWINDOW;
      break;
  }
  HWND owner = desc_.owner ? desc_.owner->hwnd() : nullptr;
  if (desc_.controlBox && desc_.border != Border::NoBorder) style |= WS_SYSMENU;
  if (desc_.minButton) style |= WS_MINIMIZEBOX;
  if (desc_.topMost) ex |= WS_EX_TOPMOST;
  if (desc_.showInTaskbar.value_or(owner == nullptr)) ex |= WS_EX_APPWINDOW;
  else if (!owner) ex |= WS_EX_TOOLWINDOW;

  // Laid out at the resolution the window will most likely have (its owner's, or the screen's),
  // and again below if it has another.
  dpi_ = owner ? WindowDpi(owner) : SystemDpi();
  SIZE size = WindowSize(style, ex);
  int w = size.cx, h = size.cy;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (desc_.centred) {
    RECT work, around;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    around = work;
    if (desc_.centredOnOwner && owner) GetWindowRect(owner, &around);
    x = around.left + (around.right - around.left - w) / 2;
    y = around.top + (around.bottom - around.top - h) / 2;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - w));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - h));
  }
  if (desc_.offScreen) x = y = -32000;
  HWND made = CreateWindowExA(ex, desc_.name, desc_.caption, style, x, y, w, h, owner, nullptr, module, this);
  if (!made) {
    loadError_ = GetLastError();
    if (!loadError_) loadError_ = ERROR_CANNOT_MAKE;
    hwnd_ = nullptr;
    return false;
  }
  hwnd_ = made;
  if (UINT dpi = WindowDpi(made); dpi != dpi_) {
    dpi_ = dpi;
    size = WindowSize(style, ex);
    SetWindowPos(made, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // A library's window keeps the library loaded: its code must not go away under it.
  if (!moduleLocked_) {
    layer::LockModule();
    moduleLocked_ = true;
  }
  if (desc_.icon) {
    if (!smallIcon_)
      smallIcon_.reset(static_cast<HICON>(LoadImageA(module, desc_.icon, IMAGE_ICON, 16, 16, 0)));
    if (smallIcon_) SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  }
  layer::LoadedForms().push_back(this);
  layer::FormsChanged();
  if (!designKept_) {
    for (Control* c : controls_) c->KeepDesign();
    designKept_ = true;
  }
  for (Control* c : controls_) {
    c->failed_ = false;
    c->Create(hwnd_);
    if (c->failed_) {
      loadError_ = GetLastError();
      if (!loadError_) loadError_ = ERROR_CANNOT_MAKE;
      DestroyWindows();
      return false;
    }
  }
  Form_Load();
  return Loaded();
}

SIZE Form::WindowSize(DWORD style, DWORD ex) const {
  return WindowSizeAt({Pixels(desc_.client.cx, dpi_), Pixels(desc_.client.cy, dpi_)}, style, ex, dpi_);
}

void Form::DpiChanged(UINT dpi, const RECT& r) {
  // Moved to a monitor of another resolution: the system's suggested place and size, then every
  // control laid out and lettered again at the new one.
  if (!dpi || !hwnd_) return;
  dpi_ = dpi;
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  for (Control* c : controls_) c->DpiChanged();
  Redraw();
}

bool Form::Show() {
  if (!Load()) return false;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  return true;
}

bool Form::ShowFrom(Form& opener) {
  SetOwner(&opener);
  if (!Load()) return false;
  opener_ = &opener;
  opener.SetEnabled(false);
  return Show();
}

void Form::ShowAsStartup() {
  loading_ = true;
  hiddenWhileLoading_ = false;
  Load();
  loading_ = false;
  if (Loaded() && !hiddenWhileLoading_) Show();
}

void Form::Hide() {
  if (loading_) hiddenWhileLoading_ = true;
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

void Form::Unload() {
  if (!hwnd_) return;
  Form_Unload();
  if (!hwnd_) return;  // the handler may have unloaded the form itself
  // The opener comes back before this window goes, so that it, not another program, is activated.
  if (Form* opener = std::exchange(opener_, nullptr); opener && opener->Loaded()) {
    opener->SetEnabled(true);
    opener->SetFocus();
  }
  Discard();
  layer::LastFormGone();
}

bool Form::Visible() const { return hwnd_ && IsWindowVisible(hwnd_); }
bool Form::Enabled() const { return hwnd_ && IsWindowEnabled(hwnd_); }
void Form::SetEnabled(bool enabled) {
  if (hwnd_) EnableWindow(hwnd_, enabled);
}
void Form::SetFocus() {
  if (!hwnd_) return;
  SetForegroundWindow(hwnd_);
  ::SetFocus(hwnd_);
}

void Form::SetOwner(Form* owner) {
  desc_.owner = owner;
  if (hwnd_) SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner ? owner->hwnd() : nullptr));
}

std::string Form::Caption() const { return hwnd_ ? layer::WindowText(hwnd_) : desc_.caption; }
void Form::SetCaption(std::string_view caption) {
  if (hwnd_) SetWindowTextA(hwnd_, std::string(caption).c_str());
}

Control* Form::Find(std::string_view name) const {
  for (Control* c : controls_)
    if (name == c->Name()) return c;
  return nullptr;
}

Control* Form::Named(const char* name) const { return name ? Find(name) : nullptr; }

void Form::SetDefaultButton(const char* name) {
  desc_.defaultButton = name;
  // The push buttons among the controls say so themselves, as they do to the dialog manager.
  for (Control* c : controls_)
    if (c->hwnd() && (SendMessageA(c->hwnd(), WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
      SendMessageA(c->hwnd(), BM_SETSTYLE, name && std::string_view(name) == c->Name() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

Control* Form::ControlOfWindow(HWND child) const {
  Control* c = Control::FromWindow(child);
  return c && c->form_ == this ? c : nullptr;
}

void Form::Redraw() {
  if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form::Paint() {
  PaintDc pdc(hwnd_);
  RECT client;
  GetClientRect(hwnd_, &client);
  // Drawn off screen and copied in one go, so the progress fill never flickers.
  MemDc mem(CreateCompatibleDC(pdc.get()));
  GdiObject bitmap(CreateCompatibleBitmap(pdc.get(), client.right, client.bottom));
  {
    Selected keep(mem.get(), bitmap.get());
    FillRect(mem.get(), &client, static_cast<HBRUSH>(backBrush_.get()));
    for (Control* c : controls_) c->PaintOnForm(mem.get());
    BitBlt(pdc.get(), 0, 0, client.right, client.bottom, mem.get(), 0, 0, SRCCOPY);
  }
}

LRESULT CALLBACK Form::WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    auto* form = static_cast<Form*>(cs->lpCreateParams);
    SetPropA(w, layer::FormProperty(), form);
    form->hwnd_ = w;
  }
  Form* form = FromWindow(w);
  if (!form) return DefWindowProcA(w, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    RemovePropA(w, layer::FormProperty());
    // Destroyed from outside the layer (its owner went, or someone called DestroyWindow): the
    // form is unloaded all the same.
    if (form->hwnd_ == w) form->DestroyWindows(false);
    return DefWindowProcA(w, msg, wp, lp);
  }
  return form->Handle(msg, wp, lp);
}

LRESULT Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  HWND w = hwnd_;
  LRESULT result = 0;
  if (OnMessage(msg, wp, lp, result)) return result;
  Control* target = nullptr;
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
      target = ControlOfWindow(reinterpret_cast<HWND>(lp));
      break;
    case WM_COMMAND:
      if (lp) {
        target = ControlOfWindow(reinterpret_cast<HWND>(lp));
        break;
      }
      if (HIWORD(wp) == 0)
        for (Control* c : controls_)
          if (c->MenuCommand(LOWORD(wp))) return 0;
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        // The dialog manager's Enter and Esc when no control took them.
        PressNamed(LOWORD(wp) == IDOK ? desc_.defaultButton : desc_.cancelButton);
        return 0;
      }
      break;
    case WM_NOTIFY: target = ControlOfWindow(reinterpret_cast<NMHDR*>(lp)->hwndFrom); break;
    case WM_DRAWITEM:
      if (wp) target = ControlOfWindow(reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem);
      break;
    case WM_TIMER:
      for (Control* c : controls_)
        if (static_cast<WPARAM>(c->Id()) == wp) target = c;
      break;
    case DM_GETDEFID:
      if (Control* def = Named(desc_.defaultButton)) return MAKELONG(def->Id(), DC_HASDEFID);
      break;
    case WM_ACTIVATE:
      // Coming back to the window, the keyboard goes back where it was (or to the first stop).
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(w, focus)) lastFocus_ = focus;
      } else if (!HIWORD(wp)) {
        HWND to = lastFocus_ && IsWindow(lastFocus_) && IsChild(w, lastFocus_) ? lastFocus_
                                                                                : GetNextDlgTabItem(w, nullptr, FALSE);
        if (to) {
          ::SetFocus(to);
          return 0;
        }
      }
      break;
    case WM_CLOSE: Form_Close(); return 0;
    case WM_DPICHANGED: DpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp)); return 0;
  }
  if (target && target->Reflected(msg, wp, lp, result)) return result;
  return DefWindowProcA(w, msg, wp, lp);
}

}  // namespace winapp
