// What the form layer's own files share and no program uses: the module's list of loaded forms,
// the properties that bind windows to their objects, the window classes of its own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace winapp {

class Form;

namespace layer {

// The loaded forms of this module, and the call after each change of the list (the keyboard
// hook stands while there is one).
std::vector<Form*>& LoadedForms();
void FormsChanged();
// The last form unloaded: a program (never a library) ends with it, once.
void LastFormGone();

// Window properties that bind a window to its form or control object, named per module.
const char* FormProperty();
const char* ControlProperty();

// A window class of this module with `proc` as its procedure, registered on first use; one of
// the same name left behind with another procedure (an earlier load of the library) is made
// anew. 0, or the system's error code.
DWORD RegisterClassOnce(const char* name, WNDPROC proc, UINT style, const char* icon);

// The lock a library's loaded form holds on the library (app::SetModuleLock).
void LockModule();
void UnlockModule();

std::string WindowText(HWND w);

}  // namespace layer
}  // namespace winapp
