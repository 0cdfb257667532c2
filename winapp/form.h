// The form layer: a window described by its caption, size and controls in twips, with its
// handlers. Each control is a member of its form and is created with the form's window; controls
// that show text are child windows whose window text is what they show, and every child carries
// the control ID of its name (ControlId), so that tests and screen readers find it.
//
// One object per window: a form and each windowed control are found from their HWND
// (Form::FromWindow, Control::FromWindow). Every control handles its own window messages
// (OnMessage: a class of its own, or a subclassed system control), and the form hands the
// notifications it receives for a control back to that control (Reflected: WM_COMMAND, WM_NOTIFY,
// WM_DRAWITEM, WM_CTLCOLOR*, and WM_TIMER for timers). A new kind of control is a new class; the
// form's own handler never changes for it.
//
// Lifetimes: a form may be destroyed at any moment, loaded or not. Its windows go when the first
// of its controls is destroyed (the derived form's members go first), before any GDI object
// they use; no handler of the derived form runs from then on.
//
// Design: what a form is when it is first loaded (its description, its controls' descriptions
// and whatever its constructor set) is its design. Every unload puts the form and its controls
// back to it, so that a form loaded again starts exactly as designed and its load handler fills
// it from there: nothing the user ticked, typed or was shown last time survives an unload.
// What a program sets while the form is unloaded counts for the next load only.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "raii.h"

// Sent by systems newer than the programs' target when a window moves to a monitor of another DPI.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace winapp {

// Twips are 1/1440 inch: 15 to a pixel at 96 dots an inch, 10 at 144, 7.5 at 192.
constexpr int TwipsPerPixel = 15;
constexpr UINT DefaultDpi = 96;
constexpr int Pixels(double twips, UINT dpi = DefaultDpi) { return static_cast<int>(twips * dpi / 1440 + 0.5); }

// The screen's dots an inch as this process sees them (the system's, or 96 for a program that
// declares no awareness), and a window's own (that of the monitor it is on, for a per-monitor
// aware program). Older systems without the per-window calls give the screen's LOGPIXELSY.
UINT SystemDpi();
UINT WindowDpi(HWND w);

// The background colour the windows of the system share.
constexpr COLORREF CommonBackColour = RGB(123, 191, 253);

struct Twips {
  int left, top, width, height;
};

// The control ID that a control's name gives its child window: stable across processes.
int ControlId(std::string_view name);

// The access key of a caption: the character after a single '&' ("&OK" -> 'O'), upper case; 0
// when there is none ("Fish && Chips").
char AccessKeyOf(std::string_view caption);

struct FontSpec {
  const char* face = nullptr;  // null: the default dialog font
  int points = 8;
  bool bold = false;
  bool operator==(const FontSpec& o) const;
};

// A font made from its description at `dpi`, or the shared dialog font at `dpi` (one per
// resolution, never deleted) for the default one.
HFONT DialogFont(UINT dpi = DefaultDpi);
GdiObject MakeFont(const FontSpec& spec, UINT dpi = DefaultDpi);

class Form;

class Control {
 public:
  Control(Form* form, const char* name, Twips place);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  const char* Name() const { return name_; }
  HWND hwnd() const { return hwnd_; }
  const Twips& Place() const { return place_; }
  Form* Parent() const { return form_; }
  int Id() const;

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);

  // The control object of a window made by the layer; null for any other window.
  static Control* FromWindow(HWND w);

  // What an access key, or Enter and Esc for the form's default and cancel controls, do to the
  // control. Returns false when the control does not act on it.
  virtual bool Press() { return false; }
  // The control's access key (upper case), 0 for none.
  virtual char AccessKey() const { return 0; }

 protected:
  friend class Form;
  // Creates the child window (or nothing, for a windowless control) under the form's window.
  virtual void Create(HWND parent) = 0;
  // The window is gone (unload or the form's end): drop what belonged to it.
  virtual void Destroyed() {
    hwnd_ = nullptr;
    ownFont_.reset();
    ownImage_.reset();
  }
  // Takes the control's state as its design (the form's first load), and puts it back (every
  // unload). A control with state of its own extends both.
  virtual void KeepDesign();
  virtual void BackToDesign();
  // WM_COMMAND for this control, by notification code.
  virtual void Command(WORD /*code*/) {}
  // A menu command (WM_COMMAND of a menu item, by the item's ID); true when it is one of the
  // control's items.
  virtual bool MenuCommand(int /*id*/) { return false; }
  // Windowless controls paint themselves onto the form.
  virtual void PaintOnForm(HDC) {}
  // The control's own window messages; return true when handled (result in `result`).
  virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
  // What the form received for this control and hands back: WM_COMMAND, WM_NOTIFY, WM_DRAWITEM,
  // WM_CTLCOLOR* (by the child window) and WM_TIMER (by the control's ID). By default WM_COMMAND
  // goes to Command and the colour messages paint over the form's background.
  virtual bool Reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  // A child window of a system class (STATIC, BUTTON, EDIT, ...), subclassed so that OnMessage
  // sees its messages. Null when it could not be made; the form's Load then fails.
  HWND CreateChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle, const char* text);
  // A child window of a class of the control's own, registered on first use in the module that
  // holds the code. All its messages go to OnMessage, the rest to DefWindowProc.
  HWND CreateOwnChild(HWND parent, const char* className, UINT classStyle, DWORD style, DWORD exStyle,
                      const char* text);
  // Destroys the control's window now; when the form is loaded, the whole form goes. The base's
  // destructor calls it: what a window shows or paints with is held below (ownFont_, ownImage_),
  // in the base, so that it goes after the window whichever class made it, and no control's
  // destructor has to remember to take its window down first.
  void Release();
  // The point and size in pixels, at the form's resolution.
  RECT PixelRect() const;
  // Twips in pixels at the form's resolution.
  int Px(double twips) const;
  UINT Dpi() const;
  // The form's resolution changed (it moved to a monitor of another DPI): the window goes to its
  // new place and size and takes the dialog font at the new resolution. A control with fonts or
  // pictures of its own extends it.
  virtual void DpiChanged();

  Form* form_;
  const char* name_;
  Twips place_;
  HWND hwnd_ = nullptr;
  bool visible_ = true;
  bool enabled_ = true;
  bool failed_ = false;
  bool designVisible_ = true;
  bool designEnabled_ = true;
  // A font or a picture of the control's own that its window uses; both go with the window.
  GdiObject ownFont_;
  GdiObject ownImage_;

 private:
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
  static LRESULT CALLBACK OwnClassProc(HWND, UINT, WPARAM, LPARAM);
  void Bind(HWND w);
  void Unbind();
  bool subclassed_ = false;
  bool released_ = false;
  bool dialogFont_ = false;
};

// Text-carrying child windows: labels, buttons, check boxes, text boxes.
class TextControl : public Control {
 public:
  // Out of line, as every control's constructor: a form's constructor makes dozens of controls,
  // and a copy of this at each would weigh on every program's size.
  TextControl(Form* form, const char* name, Twips place, std::string_view text);
  std::string Text() const;
  void SetText(std::string_view text);
  char AccessKey() const override { return AccessKeyOf(text_); }

 protected:
  void KeepDesign() override;
  void BackToDesign() override;
  std::string text_;
  std::string designText_;
};

enum class Align { Left, Centre, Right };

// How a label treats text longer than its width.
enum class Fit { Wrap, GrowHeight };

// What a label may have besides its text, each with its default: a form names only what differs
// (`{.font = {.bold = true}}`, `{.fit = Fit::GrowHeight}`).
struct LabelStyle {
  Align align = Align::Left;
  FontSpec font = {};  // the dialog font
  COLORREF colour = RGB(0, 0, 0);
  Fit fit = Fit::Wrap;
};

class Label : public TextControl {
 public:
  Label(Form* form, const char* name, Twips place, std::string_view text, const LabelStyle& style = {});
  COLORREF Colour() const { return colour_; }
  void SetColour(COLORREF colour);
  void SetText(std::string_view text);
  // A label's access key moves the focus to the control that follows it.
  bool Press() override;

 protected:
  void Create(HWND parent) override;
  bool Reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void KeepDesign() override;
  void BackToDesign() override;
  void DpiChanged() override;

 private:
  void MakeOwnFont();
  // A GrowHeight label wraps its text within its width and grows downwards to show it whole.
  void FitHeight();
  Align align_;
  FontSpec font_;
  COLORREF colour_;
  COLORREF designColour_;
  Fit fit_;
};

// What a button is to its form: Enter and Esc act on a form's default and cancel controls, which
// the form's description names (FormDesc::defaultButton, FormDesc::cancelButton).
class Button : public TextControl {
 public:
  Button(Form* form, const char* name, Twips place, std::string_view caption, std::function<void()> onClick);
  void Click() {
    if (onClick_) onClick_();
  }
  bool Press() override;

 protected:
  void Create(HWND parent) override;
  void Command(WORD code) override;

 private:
  std::function<void()> onClick_;
};

class CheckBox : public TextControl {
 public:
  CheckBox(Form* form, const char* name, Twips place, std::string_view caption, std::function<void()> onClick = {});
  // 0 unticked, 1 ticked.
  int Value() const;
  void SetValue(int value);
  bool Press() override;

 protected:
  void Create(HWND parent) override;
  void Command(WORD code) override;
  void KeepDesign() override;
  void BackToDesign() override;

 private:
  int value_ = 0;
  int designValue_ = 0;
  std::function<void()> onClick_;
};

struct TextBoxStyle {
  bool multiLine = false;
  bool verticalScroll = false;
  char passwordChar = 0;
  int maxLength = 0;  // 0: no limit
};

class TextBox : public TextControl {
 public:
  TextBox(Form* form, const char* name, Twips place, std::string_view text = {}, TextBoxStyle style = {});
  char AccessKey() const override { return 0; }

 protected:
  void Create(HWND parent) override;

 private:
  TextBoxStyle style_;
};

class ListBox : public Control {
 public:
  using Control::Control;
  void Clear();
  void AddItem(std::string_view item);
  int ListCount() const;
  std::string List(int index) const;

 protected:
  void Create(HWND parent) override;
};

// A filled rectangle drawn on the form, beneath the child windows.
class Shape : public Control {
 public:
  Shape(Form* form, const char* name, Twips place, COLORREF fill);
  float Width() const { return width_; }
  void SetWidth(float twips);
  COLORREF FillColour() const { return fill_; }

 protected:
  void Create(HWND) override {}
  void PaintOnForm(HDC dc) override;
  void KeepDesign() override;
  void BackToDesign() override;

 private:
  COLORREF fill_;
  float width_;
  float designWidth_;
};

// A bitmap resource shown in a child window.
class Picture : public Control {
 public:
  Picture(Form* form, const char* name, Twips place, const char* bitmapResource)
      : Control(form, name, place), resource_(bitmapResource) {}

 protected:
  void Create(HWND parent) override;
  void DpiChanged() override;

 private:
  void ShowBitmap();
  const char* resource_;
};

// A bitmap resource at `dpi`: as drawn (96) or scaled to the same size in inches.
GdiObject LoadBitmapAt(const char* resource, UINT dpi);

// A timer of the form's window, ticking while it is enabled and the form is loaded.
class Timer : public Control {
 public:
  Timer(Form* form, const char* name, UINT interval, bool enabled, std::function<void()> onTick);
  bool TimerEnabled() const { return on_; }
  void SetTimerEnabled(bool on);
  UINT Interval() const { return interval_; }
  void SetInterval(UINT interval);
  void Tick() {
    if (onTick_) onTick_();
  }
  // Whether the system timer is running now (enabled, with an interval, on a loaded form).
  bool Armed() const { return armed_; }

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;
  bool Reflected(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  void KeepDesign() override;
  void BackToDesign() override;

 private:
  void Arm();
  UINT interval_;
  bool on_;
  UINT designInterval_ = 0;
  bool designOn_ = false;
  std::function<void()> onTick_;
  HWND owner_ = nullptr;
  bool armed_ = false;
};

// One item of a menu: its name (its command ID is the ControlId of the name, as a control's),
// its caption and what choosing it does. The caption "-" makes a separator.
struct MenuItem {
  const char* name;
  const char* caption;
  std::function<void()> onClick = {};
};

// A pop-up menu of the form, described by its items in order: made with the form's window, gone
// with it, and the form hands it the commands of its items (winapp/menu.cpp).
class PopupMenu : public Control {
 public:
  PopupMenu(Form* form, const char* name, std::vector<MenuItem> items);
  HMENU Handle() const { return menu_.get(); }
  const std::vector<MenuItem>& Items() const { return items_; }
  // Opens at the pointer until an item is chosen or the user clicks elsewhere (the form is
  // brought to the foreground first: otherwise a menu of a window in the background stays open).
  void Show();

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;
  bool MenuCommand(int id) override;

 private:
  std::vector<MenuItem> items_;
  Menu menu_;
};

enum class Border { FixedDialog, FixedSingle, Sizable, NoBorder, FixedToolWindow };

struct FormDesc {
  const char* name;     // window class name, the form's own name
  const char* caption;  // title
  SIZE client;          // twips
  Border border = Border::FixedDialog;
  bool centred = true;
  bool minButton = false;
  bool controlBox = true;
  bool topMost = false;
  // A taskbar button of its own. Unset: yes for a form without an owner, no for an owned one. A
  // form without an owner that is to have none is made a tool window: nothing else keeps the
  // taskbar from showing one.
  std::optional<bool> showInTaskbar{};
  // Made far off the screen (a window that is only there to run the program, never seen).
  bool offScreen = false;
  COLORREF back = CommonBackColour;
  const char* icon = "APPICON";  // icon resource of the module that holds the form's code
  // The window this one belongs to: it stays above it and goes with it (see also Form::ShowFrom).
  Form* owner = nullptr;
  // Names of the controls that Enter and Esc press (their Press: a button's Click).
  const char* defaultButton = nullptr;
  const char* cancelButton = nullptr;
  // Centred over the owner rather than on the screen, when there is one.
  bool centredOnOwner = false;
};

class Form {
 public:
  explicit Form(FormDesc desc);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  // Creates the window and its controls, hidden, and runs Form_Load. Nothing when loaded.
  // False (and nothing left behind) when the window class or a window could not be made, or two
  // of its controls' names give the same control ID (ERROR_DUP_NAME); the system's error code
  // is then in LoadError.
  bool Load();
  DWORD LoadError() const { return loadError_; }
  // Loads when needed, then shows the window (never modally).
  bool Show();
  // Shows the form as a dialog of `opener`: owned by it, with the opener disabled until this form
  // unloads, when the opener is enabled again and takes the focus back.
  bool ShowFrom(Form& opener);
  // The program's first form: loaded, then shown unless its load handler hid or unloaded it.
  void ShowAsStartup();
  void Hide();
  // Runs Form_Unload and destroys the window. When no form of the program is left, the program
  // ends (see RunMessageLoop).
  void Unload();

  // Destroys the window without running any handler (the program's end).
  void Discard();

  bool Loaded() const { return hwnd_ != nullptr; }
  bool Visible() const;
  bool Enabled() const;
  void SetEnabled(bool enabled);
  void SetFocus();
  std::string Caption() const;
  void SetCaption(std::string_view caption);
  HWND hwnd() const { return hwnd_; }
  const FormDesc& Desc() const { return desc_; }
  // The owner for the next Load (an owned form already loaded is re-owned at once).
  void SetOwner(Form* owner);
  // Makes another control the default one, which Enter presses (a button wears the heavier frame).
  void SetDefaultButton(const char* name);
  HFONT Font() const { return DialogFont(dpi_); }
  // Dots an inch the form is laid out at: its window's, from its load on (96 before).
  UINT Dpi() const { return dpi_; }

  // A control by name, for hosts and tests; null when there is none.
  Control* Find(std::string_view name) const;
  // The form object of a top-level window made by the layer; null for any other window.
  static Form* FromWindow(HWND w);

  // Repaints the form's own drawing (its shapes).
  void Redraw();

  // Dialog keys for a message bound for this form's windows: Enter and Esc for the default and
  // cancel controls, access keys, Tab and the arrows. True when the message was used up. The
  // layer calls it for every message its thread takes out of the queue, whichever loop takes it
  // (a host's, a message box's, a test's), so it needs no call of its own.
  bool DialogKey(MSG& msg);

 protected:
  virtual void Form_Load() {}
  virtual void Form_Unload() {}
  // The title-bar close button. By default the form unloads.
  virtual void Form_Close() { Unload(); }
  // Messages the layer does not handle itself; return true when handled.
  virtual bool OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

 private:
  friend class Control;
  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void Paint();
  // The derived form is going: windows down without calling into it.
  void Teardown();
  void DestroyWindows(bool destroy = true);
  Control* ControlOfWindow(HWND child) const;
  Control* Named(const char* name) const;
  bool PressNamed(const char* name);
  void ControlGoing(Control* c);
  // The window's outer size for the client area of the description at the form's resolution.
  SIZE WindowSize(DWORD style, DWORD ex) const;
  void DpiChanged(UINT dpi, const RECT& suggested);

  FormDesc desc_;
  // The description as the form's constructor gave it: the owner and default button it goes
  // back to at each unload.
  FormDesc designDesc_;
  bool designKept_ = false;
  HWND hwnd_ = nullptr;
  bool loading_ = false;
  bool hiddenWhileLoading_ = false;
  bool tornDown_ = false;
  bool moduleLocked_ = false;
  DWORD loadError_ = 0;
  UINT dpi_ = DefaultDpi;
  GdiObject backBrush_;
  Owned<HICON, IconTraits> smallIcon_;
  Form* opener_ = nullptr;
  HWND lastFocus_ = nullptr;
  std::vector<Control*> controls_;
};

// The form layer's part for the whole program (each module that links the layer has its own).
namespace app {
// Number of loaded forms.
int LoadedForms();
// Ends the program: unloads every form and leaves the message loop.
void End();
// True once End was called or the last form unloaded.
bool Ended();
// Runs the message loop until the program ends; returns the exit code.
int RunMessageLoop();
// Handles pending messages without waiting (tests and long loops).
void DoEvents();
// Module whose resources the forms use (icons, bitmaps): the one that holds the code.
HINSTANCE ResourceModule();
// True when the layer's code lives in a library loaded by another program (the login control).
bool InLibrary();
// Test processes start over after a program's end.
void ResetForTests();
// Whether unloading the last form ends the program. A program's forms do by default; forms of a
// library never do, whatever this says: the message loop they run in belongs to their host.
void SetEndWithLastForm(bool end);
// The module's lock count that each loaded form holds one of (a library's count of what keeps
// it loaded); none by default.
void SetModuleLock(void (*lock)(), void (*unlock)());
}  // namespace app

// Message boxes owned by the active window of the program.
int ShowMessage(const std::string& text, const char* title, UINT flags);

}  // namespace winapp
