// The layer's state for the module that links it, and the program's end.
#include "app.h"

#include <algorithm>
#include <cstdint>

#include "form.h"
#include "layer.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace winapp {

namespace {

// The layer's state belongs to the module that links it: a program and a library loaded into it
// each keep their own forms and never look at the other's. (Plain module-level objects: the
// layer runs on one thread and needs no guarded statics.)
std::vector<Form*> g_loaded;
bool g_ended = false;
void (*g_lockModule)() = nullptr;
void (*g_unlockModule)() = nullptr;

// Named per module: a window made by another module's copy of the layer is none of ours.
const char* PropertyName(char kind) {
  static char names[2][40];
  char* name = names[kind == 'F' ? 0 : 1];
  if (!*name) {
    const char prefix[] = "winapp.?.";
    char* p = name;
    for (const char* q = prefix; *q; ++q) *p++ = *q == '?' ? kind : *q;
    auto address = reinterpret_cast<uintptr_t>(app::ResourceModule());
    for (int shift = static_cast<int>(sizeof address) * 8 - 4; shift >= 0; shift -= 4)
      *p++ = "0123456789ABCDEF"[(address >> shift) & 0xF];
    *p = 0;
  }
  return name;
}

}  // namespace

namespace layer {

std::vector<Form*>& LoadedForms() { return g_loaded; }

void LastFormGone() {
  if (!g_loaded.empty() || g_ended || app::InLibrary()) return;
  g_ended = true;
  PostQuitMessage(0);
}

const char* FormProperty() { return PropertyName('F'); }
const char* ControlProperty() { return PropertyName('C'); }

DWORD RegisterClassOnce(const char* name, WNDPROC proc, UINT style, const char* icon) {
  HINSTANCE module = app::ResourceModule();
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  // A class of that name left behind by an earlier load of the library, whose windows went from
  // outside the layer, is made anew: its procedure may be one no longer there.
  if (GetClassInfoExA(module, name, &wc) && wc.lpfnWndProc != proc) UnregisterClassA(name, module);
  if (GetClassInfoExA(module, name, &wc)) return 0;
  wc = WNDCLASSEXA{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hIcon = icon ? LoadIconA(module, icon) : nullptr;
  wc.lpszClassName = name;
  return RegisterClassExA(&wc) ? 0 : GetLastError();
}

void LockModule() {
  if (g_lockModule) g_lockModule();
}

void UnlockModule() {
  if (g_unlockModule) g_unlockModule();
}

}  // namespace layer

namespace app {

int LoadedForms() { return static_cast<int>(g_loaded.size()); }

bool Ended() { return g_ended; }

void End() {
  g_ended = true;
  auto forms = g_loaded;
  for (Form* f : forms) f->Discard();
  if (!InLibrary()) PostQuitMessage(0);
}

int RunMessageLoop() {
  // Dialog keys are taken care of on the way out of the queue (see the keyboard hook, keys.cpp).
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

HINSTANCE ResourceModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

bool InLibrary() { return ResourceModule() != GetModuleHandleA(nullptr); }

void ResetForTests() { g_ended = false; }

void SetModuleLock(void (*lock)(), void (*unlock)()) {
  g_lockModule = lock;
  g_unlockModule = unlock;
}

}  // namespace app

int ShowMessage(const std::string& text, const char* title, UINT flags) {
  return MessageBoxA(GetActiveWindow(), text.c_str(), title, flags);
}

}  // namespace winapp
