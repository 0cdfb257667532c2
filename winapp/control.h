// A control of a form: its name, place in twips and window, what the form hands back to it, and
// its design (see form.h). The controls themselves are in controls.h.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "controlid.h"
#include "dpi.h"
#include "raii.h"

namespace winapp {

struct Twips {
  int left, top, width, height;
};

// The control ID that a control's name gives its child window: stable across processes.
using core::ControlId;

// The access key of a caption: the character after a single '&' ("&OK" -> 'O'), upper case; 0
// when there is none ("Fish && Chips").
char AccessKeyOf(std::string_view caption);

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
  // The window is going (its last message, or the form taking its windows down): the binding
  // and subclass go, then what belonged to the window, then the handle.
  void WindowGone();
  // The child window of either kind at the control's place, with its ID, visibility and state.
  HWND MakeChild(HWND parent, const char* windowClass, DWORD style, DWORD exStyle, const char* text,
                 void* createParam);
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

}  // namespace winapp
