// What every window of the panel shares: its push button, its login control, and the dialog
// behaviour of the keyboard and the title bar.
#pragma once

#include <optional>
#include <string>

#include "client.h"
#include "form.h"
#include "xpcmdbutton.h"

// Every push button of the panel is the skinned button.
using CmdButton = xpcmdbutton;

// The login control as the panel places it on a window: created with its window, released with
// it, and always asked about the user "default" in the program folder's user database.
class LoginControl {
 public:
  explicit LoginControl(const std::string& folder) : folder_(folder) {}

  // The registered control, or accesskeep.ocx of the program folder.
  bool Create();
  void Release() { client_.Release(); }
  bool Created() const { return client_.Created(); }

  std::string DatabasePath() const { return folder_ + "\\panel.dll"; }

  // The stored text of a setting of "default"; nothing when the call itself failed (no control,
  // or one that cannot answer), which is not the same as an answer of no password.
  std::optional<std::string> RetrieveSetting(const char* setting);
  // The control's status; a call that fails outright answers its error code.
  long StoreSetting(const char* setting, const char* value);
  long ValidateUser(const std::string& password);
  long ChangePassword(const std::string& password);

 private:
  std::string folder_;
  accesskeep::AccessKeepClient client_;
};

// A window of the panel. Enter and Esc press its default and cancel buttons (named in its
// description), and the title bar's close button presses its cancel button, or its default one
// where it has no cancel: closing a dialog that way runs its button's steps, so that no window
// it disabled is ever left behind disabled.
class PanelForm : public winapp::Form {
 public:
  using Form::Form;

 protected:
  void Form_Close() override;
  // Focus given to the window itself (the error window's OK gives it back so) goes on to its
  // first control, where the user types next: typed letters must not reach the access keys.
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

// The multi-line box of a list edited as one text. Its lines wrap at its width while the text is
// short; a long text stands on one line with a horizontal scroll bar instead, since the edit
// control takes time growing with the square of a long paragraph's length to wrap it (seconds
// at a few thousand entries, minutes beyond).
class ListTextBox : public winapp::TextControl {
 public:
  using TextControl::TextControl;
  static constexpr size_t LongestWrapped = 4096;
  void SetText(std::string_view text);
  bool Wraps() const { return wrap_; }
  static std::string Showable(std::string_view text);

 protected:
  void Create(HWND parent) override;
  // A reloaded box wraps again, as designed, until a long text is put into it.
  void BackToDesign() override {
    TextControl::BackToDesign();
    wrap_ = true;
  }
  // Esc closes the window as in any dialog, although the box keeps every other key.
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  bool wrap_ = true;
  HWND parent_ = nullptr;
};

// A framed group of controls with its heading in the frame.
class Frame : public winapp::TextControl {
 public:
  using TextControl::TextControl;
  char AccessKey() const override { return 0; }

 protected:
  void Create(HWND parent) override;
};
