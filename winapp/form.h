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
//
// The layer by idea: dpi.h (twips, resolution, fonts, pictures), control.h (the base of every
// control), controls.h (the controls), this file (forms), app.h (the program's part); the
// keyboard in keys.cpp. A program includes this file and has them all.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app.h"
#include "control.h"
#include "controls.h"
#include "dpi.h"
#include "raii.h"

namespace winapp {

// The background colour the windows of the system share.
constexpr COLORREF CommonBackColour = RGB(123, 191, 253);

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

// A window that is only there to run the program and is never seen: borderless, a pixel in
// size, far off the screen, without a taskbar button.
constexpr FormDesc HiddenFormDesc(const char* name, const char* caption, const char* icon = "APPICON") {
  return {.name = name,
          .caption = caption,
          .client = {1, 1},
          .border = Border::NoBorder,
          .centred = false,
          .showInTaskbar = false,
          .offScreen = true,
          .icon = icon};
}

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
  Icon smallIcon_;
  Form* opener_ = nullptr;
  HWND lastFocus_ = nullptr;
  std::vector<Control*> controls_;
};

}  // namespace winapp
