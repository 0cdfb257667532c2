// Dialog keys for forms that run in any message loop: Enter and Esc, access keys, Tab and the
// arrows, taken from the thread's queue by a hook while a form of the module is loaded.
#include <cctype>
#include <utility>

#include "form.h"
#include "layer.h"

namespace winapp {

namespace {

HHOOK g_keyHook = nullptr;

// Every message the thread takes out of its queue passes here first, whoever runs the loop: that
// is how dialog keys reach a form shown by a library inside its host's loop.
LRESULT CALLBACK KeyHook(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && wp == PM_REMOVE) {
    MSG* m = reinterpret_cast<MSG*>(lp);
    if (m->message >= WM_KEYFIRST && m->message <= WM_KEYLAST && m->hwnd) {
      Form* form = Form::FromWindow(GetAncestor(m->hwnd, GA_ROOT));
      if (form && form->DialogKey(*m)) {
        m->message = WM_NULL;
        m->wParam = m->lParam = 0;
      }
    }
  }
  return CallNextHookEx(g_keyHook, code, wp, lp);
}

}  // namespace

void layer::FormsChanged() {
  bool any = !LoadedForms().empty();
  if (any && !g_keyHook) g_keyHook = SetWindowsHookExA(WH_GETMESSAGE, KeyHook, nullptr, GetCurrentThreadId());
  if (!any && g_keyHook) UnhookWindowsHookEx(std::exchange(g_keyHook, nullptr));
}

char AccessKeyOf(std::string_view caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::toupper(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

bool Form::PressNamed(const char* name) {
  Control* c = Named(name);
  if (!c || (c->hwnd() && (!IsWindowVisible(c->hwnd()) || !IsWindowEnabled(c->hwnd())))) return false;
  return c->Press();
}

bool Form::DialogKey(MSG& m) {
  if (!hwnd_ || !IsWindowEnabled(hwnd_)) return false;
  HWND focus = GetFocus();
  if (focus && focus != hwnd_ && !IsChild(hwnd_, focus)) focus = nullptr;
  LRESULT code = focus ? SendMessageA(focus, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m)) : 0;
  auto accessKey = [&](char typed) {
    char key = static_cast<char>(std::toupper(static_cast<unsigned char>(typed)));
    for (Control* c : controls_) {
      if (!key || c->AccessKey() != key) continue;
      if (c->hwnd() && (!IsWindowVisible(c->hwnd()) || !IsWindowEnabled(c->hwnd()))) continue;
      if (c->Press()) return true;
    }
    return false;
  };
  switch (m.message) {
    case WM_KEYDOWN:
      if (m.wParam == VK_RETURN || m.wParam == VK_ESCAPE) {
        if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
        if (m.wParam == VK_ESCAPE) return PressNamed(desc_.cancelButton);
        // A focused push button is the one Enter presses, as in every dialog.
        if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))
          if (Control* c = ControlOfWindow(focus); c && c->Press()) return true;
        return PressNamed(desc_.defaultButton);
      }
      break;
    case WM_CHAR:
      if (m.wParam == '\r' || m.wParam == 27) {
        // The character of an Enter or Esc already acted on: nothing more to do with it.
        if (!(code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE | DLGC_WANTCHARS))) return true;
        return false;
      }
      if (!(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) && accessKey(static_cast<char>(m.wParam)))
        return true;
      break;
    case WM_SYSCHAR:
      if (accessKey(static_cast<char>(m.wParam))) return true;
      break;
  }
  // Tab, the arrows and the rest of the dialog manager's keys.
  return IsDialogMessageA(hwnd_, &m) != FALSE;
}

}  // namespace winapp
