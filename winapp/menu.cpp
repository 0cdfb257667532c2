// Menus as data. Kept out of form.cpp: only a program with a menu takes this code.
#include "form.h"

namespace winapp {

PopupMenu::PopupMenu(Form* form, const char* name, std::vector<MenuItem> items)
    : Control(form, name, {0, 0, 0, 0}), items_(std::move(items)) {}

void PopupMenu::Create(HWND) {
  menu_.reset(CreatePopupMenu());
  if (!menu_) {
    failed_ = true;
    return;
  }
  for (const MenuItem& item : items_) {
    auto id = static_cast<UINT_PTR>(ControlId(item.name));
    bool separator = std::string_view(item.caption) == "-";
    if (!AppendMenuA(menu_.get(), separator ? MF_SEPARATOR : MF_STRING, id, separator ? nullptr : item.caption)) {
      failed_ = true;
      return;
    }
  }
}

void PopupMenu::Destroyed() {
  Control::Destroyed();
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
  if (!menu_ || !owner) return;
  POINT at{};
  GetCursorPos(&at);
  SetForegroundWindow(owner);
  TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
  // The menu's own loop has ended; a message of the window's own lets it close cleanly.
  if (form_->hwnd()) PostMessageA(form_->hwnd(), WM_NULL, 0, 0);
}

}  // namespace winapp
