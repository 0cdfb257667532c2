#include "form.h"

#include <algorithm>

#include "raii.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace winapp {

namespace {

std::vector<Form*>& LoadedList() {
  static std::vector<Form*> forms;
  return forms;
}
bool g_ended = false;
bool g_endWithLastForm = true;

HFONT DialogFont() {
  static HFONT font = [] {
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(8, 96, 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyA(lf.lfFaceName, "MS Sans Serif");
    return CreateFontIndirectA(&lf);
  }();
  return font;
}

HFONT MakeFont(const FontSpec& spec) {
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(spec.points, 96, 72);
  lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, spec.face ? spec.face : "MS Sans Serif", LF_FACESIZE);
  return CreateFontIndirectA(&lf);
}

std::string WindowText(HWND w) {
  int n = GetWindowTextLengthA(w);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = GetWindowTextA(w, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

}  // namespace

int ControlId(std::string_view name) {
  // FNV-1a folded into the range of dialog control IDs the programs use.
  unsigned hash = 2166136261u;
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  return 1000 + static_cast<int>(hash % 30000u);
}

// ---------------------------------------------------------------------------------------------
// Controls

Control::Control(Form* form, const char* name, Twips place) : form_(form), name_(name), place_(place) {
  form->controls_.push_back(this);
}

HWND Control::CreateChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle,
                          const char* text) {
  style |= WS_CHILD | WS_CLIPSIBLINGS;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  hwnd_ = CreateWindowExA(exStyle, windowClass, text, style, Pixels(place_.left), Pixels(place_.top),
                          Pixels(place_.width), Pixels(place_.height), parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(name_))),
                          app::ResourceModule(), nullptr);
  if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
  return hwnd_;
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

std::string TextControl::Text() const { return hwnd_ ? WindowText(hwnd_) : text_; }

void TextControl::SetText(std::string_view text) {
  text_ = std::string(text);
  if (hwnd_) SetWindowTextA(hwnd_, text_.c_str());
}

void Label::Create(HWND parent) {
  DWORD style = align_ == Align::Centre ? SS_CENTER : align_ == Align::Right ? SS_RIGHT : SS_LEFT;
  CreateChild(parent, "STATIC", style, 0, text_.c_str());
  if (hwnd_ && (font_.face || font_.points != 8 || font_.bold)) {
    ownFont_ = MakeFont(font_);
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(ownFont_), FALSE);
  }
  FitHeight();
}

void Label::SetText(std::string_view text) {
  TextControl::SetText(text);
  FitHeight();
}

void Label::FitHeight() {
  if (!hwnd_ || fit_ != Fit::GrowHeight) return;
  WindowDc dc(hwnd_);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0));
  Selected keep(dc.get(), font);
  RECT r{0, 0, Pixels(place_.width), 0};
  DrawTextA(dc.get(), text_.c_str(), static_cast<int>(text_.size()), &r, DT_CALCRECT | DT_WORDBREAK);
  int height = std::max(Pixels(place_.height), static_cast<int>(r.bottom));
  SetWindowPos(hwnd_, nullptr, 0, 0, Pixels(place_.width), height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::Destroyed() {
  Control::Destroyed();
  if (ownFont_) DeleteObject(std::exchange(ownFont_, nullptr));
}

void Button::Create(HWND parent) {
  CreateChild(parent, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, text_.c_str());
}

void Button::Command(WORD code) {
  if (code == BN_CLICKED) Click();
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
    : Control(form, name, place), fill_(fill), width_(static_cast<float>(place.width)) {}

void Shape::SetWidth(float twips) {
  width_ = twips;
  form_->Redraw();
}

void Shape::PaintOnForm(HDC dc) {
  if (!visible_) return;
  RECT r{Pixels(place_.left), Pixels(place_.top), Pixels(place_.left + width_),
         Pixels(place_.top + place_.height)};
  if (r.right <= r.left) r.right = r.left + 1;  // a shape is never narrower than one pixel
  GdiObject brush(CreateSolidBrush(fill_));
  FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

void Picture::Create(HWND parent) {
  CreateChild(parent, "STATIC", SS_BITMAP, 0, nullptr);
  if (!hwnd_ || !resource_) return;
  bitmap_ = static_cast<HBITMAP>(LoadImageA(app::ResourceModule(), resource_, IMAGE_BITMAP, 0, 0, 0));
  if (bitmap_) SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
}

void Picture::Destroyed() {
  Control::Destroyed();
  if (bitmap_) DeleteObject(std::exchange(bitmap_, nullptr));
}

Timer::Timer(Form* form, const char* name, UINT interval, bool enabled, std::function<void()> onTick)
    : Control(form, name, {0, 0, 0, 0}), interval_(interval), on_(enabled), onTick_(std::move(onTick)) {}

void Timer::Arm() {
  if (!owner_) return;
  UINT_PTR id = static_cast<UINT_PTR>(ControlId(name_));
  KillTimer(owner_, id);
  if (on_ && interval_ > 0) SetTimer(owner_, id, interval_, nullptr);
}

void Timer::SetTimerEnabled(bool on) {
  on_ = on;
  Arm();
}

void Timer::Create(HWND parent) {
  owner_ = parent;
  Arm();
}

void Timer::Destroyed() {
  if (owner_) KillTimer(owner_, static_cast<UINT_PTR>(ControlId(name_)));
  owner_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Forms

Form::Form(FormDesc desc) : desc_(desc) {}

Form::~Form() {
  Discard();
  if (backBrush_) DeleteObject(backBrush_);
}

void Form::Discard() {
  if (!hwnd_) return;
  HWND w = std::exchange(hwnd_, nullptr);
  SetWindowLongPtrA(w, GWLP_USERDATA, 0);
  for (Control* c : controls_) c->Destroyed();
  auto& list = LoadedList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  DestroyWindow(w);
}

void Form::Load() {
  if (hwnd_) return;
  HINSTANCE module = app::ResourceModule();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExA(module, desc_.name, &wc)) {
    wc = WNDCLASSEXA{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = desc_.icon ? LoadIconA(module, desc_.icon) : nullptr;
    wc.lpszClassName = desc_.name;
    RegisterClassExA(&wc);
  }
  if (!backBrush_) backBrush_ = CreateSolidBrush(desc_.back);

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
  if (desc_.controlBox && desc_.border != Border::NoBorder) style |= WS_SYSMENU;
  if (desc_.minButton) style |= WS_MINIMIZEBOX;
  if (desc_.topMost) ex |= WS_EX_TOPMOST;
  if (desc_.showInTaskbar) ex |= WS_EX_APPWINDOW;

  RECT r{0, 0, Pixels(desc_.client.cx), Pixels(desc_.client.cy)};
  AdjustWindowRectEx(&r, style, FALSE, ex);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
  if (desc_.centred) {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    x = work.left + (work.right - work.left - w) / 2;
    y = work.top + (work.bottom - work.top - h) / 2;
  }
  hwnd_ = CreateWindowExA(ex, desc_.name, desc_.caption, style, x, y, w, h, nullptr, nullptr, module, this);
  if (!hwnd_) return;
  if (desc_.icon) {
    if (HICON small = static_cast<HICON>(LoadImageA(module, desc_.icon, IMAGE_ICON, 16, 16, 0)))
      SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
  LoadedList().push_back(this);
  for (Control* c : controls_) c->Create(hwnd_);
  Form_Load();
}

void Form::Show() {
  Load();
  if (!hwnd_) return;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
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
  Discard();
  if (g_endWithLastForm && LoadedList().empty() && !g_ended) {
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

std::string Form::Caption() const { return hwnd_ ? WindowText(hwnd_) : desc_.caption; }
void Form::SetCaption(std::string_view caption) {
  if (hwnd_) SetWindowTextA(hwnd_, std::string(caption).c_str());
}

Control* Form::Find(std::string_view name) const {
  for (Control* c : controls_)
    if (name == c->Name()) return c;
  return nullptr;
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
    FillRect(mem.get(), &client, backBrush_);
    for (Control* c : controls_) c->PaintOnForm(mem.get());
    BitBlt(pdc.get(), 0, 0, client.right, client.bottom, mem.get(), 0, 0, SRCCOPY);
  }
}

LRESULT CALLBACK Form::WindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    static_cast<Form*>(cs->lpCreateParams)->hwnd_ = w;
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(w, GWLP_USERDATA));
  if (!form) return DefWindowProcA(w, msg, wp, lp);
  return form->Handle(msg, wp, lp);
}

LRESULT Form::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  HWND w = hwnd_;
  LRESULT result = 0;
  if (OnMessage(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      HDC dc = reinterpret_cast<HDC>(wp);
      HWND child = reinterpret_cast<HWND>(lp);
      SetBkMode(dc, TRANSPARENT);
      SetBkColor(dc, desc_.back);
      for (Control* c : controls_)
        if (c->hwnd() == child)
          if (auto* label = dynamic_cast<Label*>(c)) SetTextColor(dc, label->Colour());
      return reinterpret_cast<LRESULT>(backBrush_);
    }
    case WM_COMMAND:
      for (Control* c : controls_)
        if (c->hwnd() && c->hwnd() == reinterpret_cast<HWND>(lp)) {
          c->Command(HIWORD(wp));
          return 0;
        }
      break;
    case WM_TIMER:
      for (Control* c : controls_)
        if (auto* t = dynamic_cast<Timer*>(c); t && static_cast<WPARAM>(ControlId(t->Name())) == wp) {
          if (t->TimerEnabled()) t->Tick();
          return 0;
        }
      break;
    case WM_CLOSE: Form_Close(); return 0;
  }
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
  PostQuitMessage(0);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && std::find_if(LoadedList().begin(), LoadedList().end(),
                             [&](Form* f) { return f->hwnd() == root; }) != LoadedList().end() &&
        IsDialogMessageA(root, &msg))
      continue;
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

void ResetForTests() { g_ended = false; }

void SetEndWithLastForm(bool end) { g_endWithLastForm = end; }

}  // namespace app

int ShowMessage(const std::string& text, const char* title, UINT flags) {
  return MessageBoxA(GetActiveWindow(), text.c_str(), title, flags);
}

}  // namespace winapp
