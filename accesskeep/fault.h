// A call that cannot end in a status number (a count or stored password that is not a number, a
// count out of range) fails with an automation error instead. Inside the control such a failure
// travels as a Fault up to the method of the interface, which hands its code to the caller; it
// never leaves the control.
#pragma once

#include <windows.h>

namespace accesskeep {

struct Fault {
  HRESULT code;
};

[[noreturn]] inline void TypeMismatch() { throw Fault{DISP_E_TYPEMISMATCH}; }
[[noreturn]] inline void Overflow() { throw Fault{DISP_E_OVERFLOW}; }

}  // namespace accesskeep
