// The form layer's part for the whole program (each module that links the layer has its own).
#pragma once

#include <windows.h>

#include <string>

namespace winapp {

namespace app {
// Number of loaded forms.
int LoadedForms();
// Ends the program: unloads every form and leaves the message loop.
void End();
// True once End was called or the last form unloaded.
bool Ended();
// Runs the message loop until the program ends; returns the exit code.
int RunMessageLoop();
// Module whose resources the forms use (icons, bitmaps): the one that holds the code.
HINSTANCE ResourceModule();
// True when the layer's code lives in a library loaded by another program (the login control).
bool InLibrary();
// Test processes start over after a program's end.
void ResetForTests();
// The module's lock count that each loaded form holds one of (a library's count of what keeps
// it loaded); none by default.
void SetModuleLock(void (*lock)(), void (*unlock)());
}  // namespace app

// Message boxes owned by the active window of the program.
int ShowMessage(const std::string& text, const char* title, UINT flags);

}  // namespace winapp
