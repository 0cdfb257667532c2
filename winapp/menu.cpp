// Menus as data. Kept out of form.cpp: only a program with a menu takes this code.
#include "form.h"

namespace winapp {

PopupMenu::PopupMenu(Form* form, const char* name, const char* caption, std::vector<MenuItem> items)
    : Control(form, name, {0, 0, 0, 0}), caption_(caption), items_(std::move(items)) {}

void PopupMenu::Create(HWND) {
  menu_.reset(CreateMenu());
  Menu popup(CreatePopupMenu());
  if (!menu_ || !popup ||
      !AppendMenuA(menu_.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup.get()), caption_)) {
    failed_ = true;
    return;
  }
  popup_ = popup.release();
  for (const MenuItem& item : items_) {
    auto id = static_cast<UINT_PTR>(ControlId(item.name));
    bool separator = std::string_view(item.caption) == "-";
    if (!AppendMenuA(popup_, separator ? MF_SEPARATOR : MF_STRING, id, separator ? nullptr : item.caption)) {
      failed_ = true;
      return;
    }
  }
}

void PopupMenu::Destroyed() {
  Control::Destroyed();
  popup_ = nullptr;
  menu_.reset();
}

bool PopupMenu::MenuCommand(int id) {
  for (const MenuItem& item : items_)
    if (item.onClick && ControlId(item.name) == id) {
      item.onClick();
      return true;
    }
  return false;
}

void PopupMenu::Show() {
  HWND owner = form_ ? form_->hwnd() : nullptr;
  if (!popup_ || !owner) return;
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(owner);
  TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
  // The menu's own loop has ended; a message of the window's own lets it close cleanly.
  if (form_->hwnd()) PostMessageA(form_->hwnd(), WM_NULL, 0, 0);
}

}  // namespace winapp
