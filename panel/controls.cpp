#include "controls.h"

#include <commctrl.h>

#include "../accesskeep/accesskeep_ids.h"
#include "text.h"

using namespace winapp;

namespace {
constexpr const char* User = "default";
}

bool LoginControl::Create() {
  if (client_.Created()) return true;
  return SUCCEEDED(client_.Create(folder_ + "\\" + accesskeep::LibraryFile));
}

std::optional<std::string> LoginControl::RetrieveSetting(const char* setting) {
  std::string value;
  if (FAILED(client_.RetrieveSetting(User, setting, DatabasePath(), &value))) return std::nullopt;
  return value;
}

long LoginControl::StoreSetting(const char* setting, const char* value) {
  long status = -1;
  HRESULT hr = client_.StoreSetting(User, setting, value, DatabasePath(), &status);
  return FAILED(hr) ? static_cast<long>(hr) : status;
}

long LoginControl::ValidateUser(const std::string& password) {
  long status = -1;
  HRESULT hr = client_.ValidateUser(User, password, DatabasePath(), false, &status);
  return FAILED(hr) ? static_cast<long>(hr) : status;
}

long LoginControl::ChangePassword(const std::string& password) {
  long status = -1;
  HRESULT hr = client_.ChangePassword(User, password, DatabasePath(), false, &status);
  return FAILED(hr) ? static_cast<long>(hr) : status;
}

void PanelForm::Form_Close() {
  const char* name = Desc().cancelButton ? Desc().cancelButton : Desc().defaultButton;
  if (winapp::Control* button = name ? Find(name) : nullptr) button->Press();
}

bool PanelForm::OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) {
  if (msg != WM_SETFOCUS) return false;
  HWND first = GetNextDlgTabItem(hwnd(), nullptr, FALSE);
  if (!first || first == hwnd()) return false;
  ::SetFocus(first);
  result = 0;
  return true;
}

bool ListTextBox::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg != WM_GETDLGCODE) return false;
  result = DefSubclassProc(hwnd_, msg, wp, lp);
  auto* key = reinterpret_cast<const MSG*>(lp);
  if (key && key->message == WM_KEYDOWN && key->wParam == VK_ESCAPE) result &= ~(DLGC_WANTALLKEYS | DLGC_WANTMESSAGE);
  return true;
}

void Frame::Create(HWND parent) { CreateChild(parent, "BUTTON", BS_GROUPBOX, WS_EX_TRANSPARENT, text_.c_str()); }

void ListTextBox::Create(HWND parent) {
  parent_ = parent;
  DWORD style = WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
  if (!wrap_) style |= WS_HSCROLL | ES_AUTOHSCROLL;
  CreateChild(parent, "EDIT", style, WS_EX_CLIENTEDGE, text_.c_str());
  // No limit but memory: the edit control's own (about 32K) would cut long lists.
  if (hwnd_) SendMessageA(hwnd_, EM_LIMITTEXT, 0x7FFFFFFE, 0);
}

namespace {

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace

std::string ListTextBox::Showable(std::string_view text) {
  std::string shown(text);
  // Wine's edit control crashes on a small tilde (U+02DC, 0x98 in code page 1252) that begins the
  // text, a line or a comma-separated piece. No cookie name holds one; under Wine it is shown
  // as the plain tilde so that a damaged list still opens. Judged on the wide text: in the
  // UTF-8 code page the byte 0x98 is part of other characters.
  if (UnderWine() && !IsAscii(shown)) {
    std::wstring wide = Wide(shown);
    if (wide.find(L'\x02DC') != std::wstring::npos) {
      for (wchar_t& c : wide)
        if (c == L'\x02DC') c = L'~';
      shown = Ansi(wide);
    }
  }
  return shown;
}

void ListTextBox::SetText(std::string_view original) {
  std::string text = Showable(original);
  bool wrap = text.size() <= LongestWrapped;
  if (hwnd_ && wrap != wrap_) {
    // The wrapping is fixed when the edit control is made: a new one takes the old one's place
    // in the tab order.
    HWND before = GetWindow(hwnd_, GW_HWNDPREV);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    wrap_ = wrap;
    text_.clear();
    Create(parent_);
    if (hwnd_) SetWindowPos(hwnd_, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  wrap_ = wrap;
  TextControl::SetText(text);
}
