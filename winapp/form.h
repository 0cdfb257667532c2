// The thin form layer: a window described by its caption, size and controls in twips, with its
// handlers. Each control is a member of its form and is created with the form's window; controls
// that show text are child windows whose window text is what they show, and every child carries
// the control ID of its name (ControlId), so that tests and screen readers find it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace winapp {

constexpr int TwipsPerPixel = 15;
constexpr int Pixels(double twips) { return static_cast<int>(twips / TwipsPerPixel + 0.5); }

// The background colour the windows of the system share.
constexpr COLORREF CommonBackColour = RGB(123, 191, 253);

struct Twips {
  int left, top, width, height;
};

// The control ID that a control's name gives its child window: stable across processes.
int ControlId(std::string_view name);

class Form;

class Control {
 public:
  Control(Form* form, const char* name, Twips place);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  const char* Name() const { return name_; }
  HWND hwnd() const { return hwnd_; }
  const Twips& Place() const { return place_; }

  bool Visible() const;
  void SetVisible(bool visible);
  bool Enabled() const;
  void SetEnabled(bool enabled);

 protected:
  friend class Form;
  // Creates the child window (or nothing, for a windowless control) under the form's window.
  virtual void Create(HWND parent) = 0;
  virtual void Destroyed() { hwnd_ = nullptr; }
  // WM_COMMAND or WM_NOTIFY for this control's ID.
  virtual void Command(WORD /*code*/) {}
  // Windowless controls paint themselves onto the form.
  virtual void PaintOnForm(HDC) {}
  HWND CreateChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle,
                   const char* text);

  Form* form_;
  const char* name_;
  Twips place_;
  HWND hwnd_ = nullptr;
  bool visible_ = true;
  bool enabled_ = true;
};

// Text-carrying child windows: labels, buttons, check boxes, text boxes.
class TextControl : public Control {
 public:
  TextControl(Form* form, const char* name, Twips place, std::string text)
      : Control(form, name, place), text_(std::move(text)) {}
  std::string Text() const;
  void SetText(std::string_view text);

 protected:
  std::string text_;
};

enum class Align { Left, Centre, Right };

// How a label treats text longer than its width.
enum class Fit { Wrap, GrowHeight };

struct FontSpec {
  const char* face = nullptr;  // null: the default dialog font
  int points = 8;
  bool bold = false;
};

class Label : public TextControl {
 public:
  Label(Form* form, const char* name, Twips place, std::string text, Align align = Align::Left,
        FontSpec font = {}, COLORREF colour = RGB(0, 0, 0), Fit fit = Fit::Wrap)
      : TextControl(form, name, place, std::move(text)), align_(align), font_(font),
        colour_(colour), fit_(fit) {}
  COLORREF Colour() const { return colour_; }
  void SetText(std::string_view text);

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;

 private:
  // A GrowHeight label wraps its text within its width and grows downwards to show it whole.
  void FitHeight();
  Align align_;
  FontSpec font_;
  COLORREF colour_;
  Fit fit_;
  HFONT ownFont_ = nullptr;
};

class Button : public TextControl {
 public:
  Button(Form* form, const char* name, Twips place, std::string caption,
         std::function<void()> onClick)
      : TextControl(form, name, place, std::move(caption)), onClick_(std::move(onClick)) {}
  void Click() {
    if (onClick_) onClick_();
  }

 protected:
  void Create(HWND parent) override;
  void Command(WORD code) override;

 private:
  std::function<void()> onClick_;
};

class CheckBox : public TextControl {
 public:
  CheckBox(Form* form, const char* name, Twips place, std::string caption,
           std::function<void()> onClick = {})
      : TextControl(form, name, place, std::move(caption)), onClick_(std::move(onClick)) {}
  // 0 unticked, 1 ticked.
  int Value() const;
  void SetValue(int value);

 protected:
  void Create(HWND parent) override;
  void Command(WORD code) override;

 private:
  int value_ = 0;
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
  TextBox(Form* form, const char* name, Twips place, std::string text = {}, TextBoxStyle style = {})
      : TextControl(form, name, place, std::move(text)), style_(style) {}

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

 private:
  COLORREF fill_;
  float width_;
};

// A bitmap resource shown in a child window.
class Picture : public Control {
 public:
  Picture(Form* form, const char* name, Twips place, const char* bitmapResource)
      : Control(form, name, place), resource_(bitmapResource) {}

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;

 private:
  const char* resource_;
  HBITMAP bitmap_ = nullptr;
};

// A timer of the form's window, ticking while it is enabled and the form is loaded.
class Timer : public Control {
 public:
  Timer(Form* form, const char* name, UINT interval, bool enabled, std::function<void()> onTick);
  bool TimerEnabled() const { return on_; }
  void SetTimerEnabled(bool on);
  UINT Interval() const { return interval_; }
  void Tick() {
    if (onTick_) onTick_();
  }

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;

 private:
  void Arm();
  UINT interval_;
  bool on_;
  std::function<void()> onTick_;
  HWND owner_ = nullptr;
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
  bool showInTaskbar = true;
  COLORREF back = CommonBackColour;
  const char* icon = "APPICON";  // icon resource of the module that holds the form's code
};

class Form {
 public:
  explicit Form(FormDesc desc);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  // Creates the window and its controls, hidden, and runs Form_Load. Nothing when loaded.
  void Load();
  // Loads when needed, then shows the window (never modally).
  void Show();
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

  // A control by name, for hosts and tests; null when there is none.
  Control* Find(std::string_view name) const;

  // Repaints the form's own drawing (its shapes).
  void Redraw();

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

  FormDesc desc_;
  HWND hwnd_ = nullptr;
  bool loading_ = false;
  bool hiddenWhileLoading_ = false;
  HBRUSH backBrush_ = nullptr;
  std::vector<Control*> controls_;
};

// The form layer's process-wide part.
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
// Test processes start over after a program's end.
void ResetForTests();
// Whether unloading the last form ends the program (the default). Forms that live in a library
// loaded by another program (the login control's about box) turn this off: the message loop they
// run in belongs to their host.
void SetEndWithLastForm(bool end);
}  // namespace app

// Message boxes owned by the active window of the program.
int ShowMessage(const std::string& text, const char* title, UINT flags);

}  // namespace winapp
