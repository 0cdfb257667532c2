#include "form.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace winapp {

namespace {

// The layer's state belongs to the module that links it: a program and a library loaded into it
// each keep their own forms and never look at the other's. (Plain module-level objects: the
// layer runs on one thread and needs no guarded statics.)
std::vector<Form*> g_loaded;
std::vector<Form*>& LoadedList() { return g_loaded; }
bool g_ended = false;
bool g_endWithLastForm = true;
HHOOK g_keyHook = nullptr;
// The dialog font at each resolution met so far: a process meets one or two.
struct DpiFont {
  UINT dpi;
  HFONT font;
};
DpiFont g_dialogFonts[4];

// Calls of newer systems, looked up once: null where the system has none.
template <class F>
F User32Call(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}
using DpiForSystem = UINT(WINAPI*)();
using DpiForWindow = UINT(WINAPI*)(HWND);
using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
bool g_dpiCallsLooked = false;
DpiForSystem g_dpiForSystem = nullptr;
DpiForWindow g_dpiForWindow = nullptr;
AdjustForDpi g_adjustForDpi = nullptr;
void LookUpDpiCalls() {
  if (std::exchange(g_dpiCallsLooked, true)) return;
  g_dpiForSystem = User32Call<DpiForSystem>("GetDpiForSystem");
  g_dpiForWindow = User32Call<DpiForWindow>("GetDpiForWindow");
  g_adjustForDpi = User32Call<AdjustForDpi>("AdjustWindowRectExForDpi");
}

// Window properties that bind a window to its object, named per module: a window made by another
// module's copy of the layer is none of ours.
const char* PropertyName(char kind) {
  static char names[2][40];
  char* name = names[kind == 'F' ? 0 : 1];
  if (!*name) {
    const char prefix[] = "winapp.?.";
    char* p = name;
    for (const char* q = prefix; *q; ++q) *p++ = *q == '?' ? kind : *q;
    auto address = reinterpret_cast<uintptr_t>(app::ResourceModule());
    for (int shift = static_cast<int>(sizeof address) * 8 - 4; shift >= 0; shift -= 4)
      *p++ = "0123456789ABCDEF"[(address >> shift) & 0xF];
    *p = 0;
  }
  return name;
}
const char* FormProperty() { return PropertyName('F'); }
const char* ControlProperty() { return PropertyName('C'); }

std::string WindowText(HWND w) {
  int n = GetWindowTextLengthA(w);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(w, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

// Every message the thread takes out of its queue passes here first, whoever runs the loop: that
// is how dialog keys reach a form shown by a library inside its host's loop.
LRESULT CALLBACK KeyHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    MSG* m = reinterpret_cast<MSG*>(lp);
    if (m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST && m->hwnd) {
      Form* form = Form::FromWindow(GetAncestor(m->hwnd, GA_ROOT));
      if (form && form->DialogKey(*m)) {
        m->message = WM_NULL;
        m->wParam = m->lParam = 0;
      }
    }
  }
  return CallNextHookEx(g_keyHook, code, wp, lp);
}

void FormsChanged() {
  bool any = !LoadedList().empty();
  if (any && !g_keyHook) g_keyHook = SetWindowsHookExA(WH_GETMESSAGE, KeyHook, nullptr, GetCurrentThreadId());
  if (!any && g_keyHook) UnhookWindowsHookEx(std::exchange(g_keyHook, nullptr));
}

bool EndWithLastForm() { return g_endWithLastForm && !app::InLibrary(); }

// The lock a library's loaded form holds on the library (app::SetModuleLock).
void (*g_lockModule)() = nullptr;
void (*g_unlockModule)() = nullptr;

}  // namespace

int ControlId(std::string_view name) {
  // FNV-1a folded into the range of dialog control IDs the programs use.
  unsigned hash = 2166136261u;
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  return 1000 + static_cast<int>(hash % 30000u);
}

char AccessKeyOf(std::string_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

bool FontSpec::operator==(const FontSpec& o) const {
  std::string_view a = face ? face : "", b = o.face ? o.face : "";
  return a == b && points == o.points && bold == o.bold;
}

UINT SystemDpi() {
  LookUpDpiCalls();
  if (g_dpiForSystem) return g_dpiForSystem();
  WindowDc screen(nullptr);
  int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

UINT WindowDpi(HWND w) {
  LookUpDpiCalls();
  UINT dpi = g_dpiForWindow && w ? g_dpiForWindow(w) : 0;
  return dpi ? dpi : SystemDpi();
}

HFONT DialogFont(UINT dpi) {
  for (DpiFont& f : g_dialogFonts) {
    if (!f.font) f = {dpi, static_cast<HFONT>(MakeFont({}, dpi).release())};
    if (f.dpi == dpi) return f.font;
  }
  // A fifth resolution in one run (monitors of four others met before) takes the last one's.
  return g_dialogFonts[3].font;
}

GdiObject MakeFont(const FontSpec& spec, UINT dpi) {
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(spec.points, static_cast<int>(dpi), 72);
  lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, spec.face ? spec.face : "MS Sans Serif", LF_FACESIZE);
  return GdiObject(CreateFontIndirectA(&lf));
}

// ---------------------------------------------------------------------------------------------
// Controls

Control::Control(Form* form, const char* name, Twips place) : form_(form), name_(name), place_(place) {
  form->controls_.push_back(this);
}

Control::~Control() { Release(); }

int Control::Id() const { return ControlId(name_); }

Control* Control::FromWindow(HWND w) {
  return w ? static_cast<Control*>(GetPropA(w, ControlProperty())) : nullptr;
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
  SetPropA(w, ControlProperty(), this);
}

void Control::Unbind() {
  if (!hwnd_) return;
  RemovePropA(hwnd_, ControlProperty());
  if (subclassed_) RemoveWindowSubclass(hwnd_, SubclassProc, 1);
  subclassed_ = false;
}

HWND Control::CreateChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle, const char* text) {
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  RECT r = PixelRect();
  HWND w = CreateWindowExA(exStyle, windowClass, text, style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())),
                           app::ResourceModule(), nullptr);
  if (!w) {
    failed_ = true;
    return nullptr;
  }
  Bind(w);
  subclassed_ = SetWindowSubclass(w, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
  SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(Dpi())), FALSE);
  dialogFont_ = true;
  return w;
}

HWND Control::CreateOwnChild(HWND parent, const char* className, UINT classStyle, DWORD style, DWORD exStyle,
                             const char* text) {
  HINSTANCE module = app::ResourceModule();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(module, className, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = classStyle;
    wc.lpfnWndProc = OwnClassProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc)) {
      failed_ = true;
      return nullptr;
    }
  }
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  RECT r = PixelRect();
  HWND w = CreateWindowExA(exStyle, className, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id())), module, this);
  if (!w) {
    failed_ = true;
    hwnd_ = nullptr;
    return nullptr;
  }
  return w;
}

LRESULT CALLBACK Control::SubclassProc(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* c = reinterpret_cast<Control*>(ref);
  if (msg == WM_NCDESTROY) {
    c->Unbind();
    c->Destroyed();
    c->hwnd_ = nullptr;
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
    c->Unbind();
    c->Destroyed();
    c->hwnd_ = nullptr;
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

TextControl::TextControl(Form* form, const char* name, Twips place, std::string_view text)
    : Control(form, name, place), text_(text) {}

Label::Label(Form* form, const char* name, Twips place, std::string_view text, const LabelStyle& style)
    : TextControl(form, name, place, text), align_(style.align), font_(style.font), colour_(style.colour),
      designColour_(style.colour), fit_(style.fit) {}

Button::Button(Form* form, const char* name, Twips place, std::string_view caption, std::function<void()> onClick)
    : TextControl(form, name, place, caption), onClick_(std::move(onClick)) {}

CheckBox::CheckBox(Form* form, const char* name, Twips place, std::string_view caption, std::function<void()> onClick)
    : TextControl(form, name, place, caption), onClick_(std::move(onClick)) {}

TextBox::TextBox(Form* form, const char* name, Twips place, std::string_view text, TextBoxStyle style)
    : TextControl(form, name, place, text), style_(style) {}

std::string TextControl::Text() const { return hwnd_ ? WindowText(hwnd_) : text_; }

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

GdiObject LoadBitmapAt(const char* resource, UINT dpi) {
  // The pictures are drawn for 96 dots an inch: elsewhere they keep their size in inches.
  HINSTANCE module = app::ResourceModule();
  GdiObject drawn(LoadImageA(module, resource, IMAGE_BITMAP, 0, 0, 0));
  BITMAP bm{};
  if (!drawn || dpi == DefaultDpi || !GetObjectA(drawn.get(), sizeof bm, &bm)) return drawn;
  int d = static_cast<int>(dpi);
  GdiObject scaled(LoadImageA(module, resource, IMAGE_BITMAP, MulDiv(bm.bmWidth, d, DefaultDpi),
                              MulDiv(bm.bmHeight, d, DefaultDpi), 0));
  return scaled ? std::move(scaled) : std::move(drawn);
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

// ---------------------------------------------------------------------------------------------
// Forms

Form::Form(FormDesc desc) : desc_(desc), designDesc_(desc) {}

Form::~Form() {
  Teardown();
  for (Control* c : controls_) c->form_ = nullptr;
}

Form* Form::FromWindow(HWND w) { return w ? static_cast<Form*>(GetPropA(w, FormProperty())) : nullptr; }

void Form::DestroyWindows(bool destroy) {
  if (!hwnd_) return;
  HWND w = std::exchange(hwnd_, nullptr);
  // From here on no message reaches this object or its controls: the windows go down with the
  // system's own handling, and each control drops what it held for its window.
  RemovePropA(w, FormProperty());
  auto& list = LoadedList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  FormsChanged();
  for (Control* c : controls_) {
    c->Unbind();
    c->Destroyed();
    c->hwnd_ = nullptr;
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
  if (std::exchange(moduleLocked_, false) && g_unlockModule) g_unlockModule();
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
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  // A class of that name left behind by an earlier load of the library, whose windows went from
  // outside the layer, is made anew: its procedure may be one no longer there.
  if (GetClassInfoExA(module, desc_.name, &wc) && wc.lpfnWndProc != WindowProc) UnregisterClassA(desc_.name, module);
  if (!GetClassInfoExA(module, desc_.name, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = desc_.icon ? LoadIconA(module, desc_.icon) : nullptr;
    wc.lpszClassName = desc_.name;
    if (!RegisterClassExA(&wc)) {
      loadError_ = GetLastError();
      return false;
    }
  }
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
  if (g_lockModule && !moduleLocked_) {
    g_lockModule();
    moduleLocked_ = true;
  }
  if (desc_.icon) {
    if (!smallIcon_)
      smallIcon_.reset(static_cast<HICON>(LoadImageA(module, desc_.icon, IMAGE_ICON, 16, 16, 0)));
    if (smallIcon_) SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
  }
  LoadedList().push_back(this);
  FormsChanged();
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
  RECT r{0, 0, Pixels(desc_.client.cx, dpi_), Pixels(desc_.client.cy, dpi_)};
  // The frame at the window's own resolution where it is not the one the process sees.
  if (g_adjustForDpi && dpi_ != SystemDpi()) g_adjustForDpi(&r, style, FALSE, ex, dpi_);
  else AdjustWindowRectEx(&r, style, FALSE, ex);
  return {r.right - r.left, r.bottom - r.top};
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
  if (EndWithLastForm() && LoadedList().empty() && !g_ended) {
    g_ended = true;
    PostQuitMessage(0);
  }
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

std::string Form::Caption() const { return hwnd_ ? WindowText(hwnd_) : desc_.caption; }
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

bool Form::PressNamed(const char* name) {
  Control* c = Named(name);
  if (!c || (c->hwnd() && (!IsWindowVisible(c->hwnd()) || !IsWindowEnabled(c->hwnd())))) return false;
  return c->Press();
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

bool Form::DialogKey(MSG& m) {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return false;
  HWND focus = GetFocus();
  if (focus && focus != hwnd_ && !IsChild(hwnd_, focus)) focus = nullptr;
  LRESULT code = focus ? SendMessageA(focus, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m)) : 0;
  auto accessKey = [&](char typed) {
    char key = static_cast<char>(std::toupper(static_cast<unsigned char>(typed)));
    for (Control* c : controls_) {
      if (!key || c->AccessKey() != key) continue;
      if (c->hwnd() && (!IsWindowVisible(c->hwnd()) || !IsWindowEnabled(c->hwnd()))) continue;
      if (c->Press()) return true;
    }
    return false;
  };
  switch (m.message) {
    case WM_KEYDOWN:
      if (m.wParam == VK_RETURN || m.wParam == VK_ESCAPE) {
        if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
        if (m.wParam == VK_ESCAPE) return PressNamed(desc_.cancelButton);
        // A focused push button is the one Enter presses, as in every dialog.
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))
          if (Control* c = ControlOfWindow(focus); c && c->Press()) return true;
        return PressNamed(desc_.defaultButton);
      }
      break;
    case WM_CHAR:
      if (m.wParam == '\r' || m.wParam == 27) {
        // The character of an Enter or Esc already acted on: nothing more to do with it.
        if (!(code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTCHARS))) return true;
        return false;
      }
      if (!(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) && accessKey(static_cast<char>(m.wParam)))
        return true;
      break;
    case WM_SYSCHAR:
      if (accessKey(static_cast<char>(m.wParam))) return true;
      break;
  }
  // Tab, the arrows and the rest of the dialog manager's keys.
  return IsDialogMessageA(hwnd_, &m) != FALSE;
}

LRESULT CALLBACK Form::WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    auto* form = static_cast<Form*>(cs->lpCreateParams);
    SetPropA(w, FormProperty(), form);
    form->hwnd_ = w;
  }
  Form* form = FromWindow(w);
  if (!form) return DefWindowProcA(w, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    RemovePropA(w, FormProperty());
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

// ---------------------------------------------------------------------------------------------

namespace app {

int LoadedForms() { return static_cast<int>(LoadedList().size()); }

bool Ended() { return g_ended; }

void End() {
  g_ended = true;
  auto forms = LoadedList();
  for (Form* f : forms) f->Discard();
  if (!InLibrary()) PostQuitMessage(0);
}

int RunMessageLoop() {
  // Dialog keys are taken care of on the way out of the queue (see KeyHook).
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

void DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

HINSTANCE ResourceModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool InLibrary() { return ResourceModule() != GetModuleHandleA(nullptr); }

void ResetForTests() { g_ended = false; }

void SetEndWithLastForm(bool end) { g_endWithLastForm = end; }

void SetModuleLock(void (*lock)(), void (*unlock)()) {
  g_lockModule = lock;
  g_unlockModule = unlock;
}

}  // namespace app

int ShowMessage(const std::string& text, const char* title, UINT flags) {
  return MessageBoxA(GetActiveWindow(), text.c_str(), title, flags);
}

}  // namespace winapp
