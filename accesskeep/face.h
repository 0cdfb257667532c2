// The control's face: its logo, drawn into whatever rectangle a container gives, and the window
// that holds the control's place on its host's form while the control is active in place.
#pragma once

#include <windows.h>

namespace accesskeep {

class AccessKeep;

// The logo's own size in pixels: the size of a newly placed control.
SIZE LogoSize();
// The logo stretched over `bounds`; false when the logo cannot be had.
bool DrawFace(HDC dc, const RECT& bounds);

// The control's window, a child of `parent` at `place`; shown only while the host's form is being
// designed. `owner` learns through WindowDestroyed when the window goes with its parent.
HWND CreateFaceWindow(HWND parent, const RECT& place, bool visible, AccessKeep* owner);
// Undoes one CreateFaceWindow that succeeded: destroys the window unless it went with its parent.
// A window class outliving the library would point into unloaded code, so the class goes with
// the last window.
void DestroyFaceWindow(HWND window);

// A size in pixels of the screen in HIMETRIC (0.01 mm), the unit of OLE extents.
SIZEL PixelsToHimetric(SIZE pixels);

}  // namespace accesskeep
