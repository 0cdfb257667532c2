// The form layer's controls: labels, buttons, check boxes, text boxes, the list box, shapes,
// pictures, timers and pop-up menus (winapp/menu.cpp). Each is a member of its form.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control.h"

namespace winapp {

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

// A pop-up menu of the form, described by its caption and its items in order: made with the
// form's window, gone with it, and the form hands it the commands of its items (winapp/menu.cpp).
// It stands under its caption in a top-level menu of its own, which is never the window's menu
// bar: only the pop-up shows.
class PopupMenu : public Control {
 public:
  PopupMenu(Form* form, const char* name, const char* caption, std::vector<MenuItem> items);
  HMENU Handle() const { return popup_; }
  HMENU TopLevel() const { return menu_.get(); }
  const std::vector<MenuItem>& Items() const { return items_; }
  // Opens at the pointer until an item is chosen or the user clicks elsewhere (the form is
  // brought to the foreground first: otherwise a menu of a window in the background stays open).
  void Show();

 protected:
  void Create(HWND parent) override;
  void Destroyed() override;
  bool MenuCommand(int id) override;

 private:
  const char* caption_;
  std::vector<MenuItem> items_;
  Menu menu_;
  HMENU popup_ = nullptr;  // attached to menu_, which destroys it
};

}  // namespace winapp
