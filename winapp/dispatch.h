// Calling an automation object by dispatch identifier, as any automation host does.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "raii.h"

namespace winapp {

struct DispatchOutcome {
  HRESULT hr = E_FAIL;      // what Invoke returned (DISP_E_EXCEPTION when the object raised one)
  SCODE scode = 0;          // the exception's code, when there was one
  std::wstring description; // the exception's description
  Variant result;
  // The object's error: the exception's code when it raised one, otherwise hr.
  HRESULT Error() const { return hr == DISP_E_EXCEPTION ? (scode ? scode : E_FAIL) : hr; }
};

// Calls method `id` with the arguments in their natural order (the call passes them last first).
DispatchOutcome CallMethod(IDispatch* object, DISPID id, std::vector<Variant> args, WORD flags = DISPATCH_METHOD);

}  // namespace winapp
