#include "face.h"

#include "control.h"
#include "module.h"
#include "raii.h"

namespace accesskeep {

namespace {

constexpr const wchar_t* FaceClassName = L"AccessKeep";
constexpr const char* LogoResource = "ABOUTLOGO";
constexpr int HimetricPerInch = 2540;

// The window class, shared by the control's objects on every thread of the process (the control
// is apartment-threaded: each thread of a host may hold its own). Registered for the first window
// and taken away after the last, decided under one lock over the windows made and not yet undone.
class FaceClass {
 public:
  static FaceClass& Instance() {
    static FaceClass shared;
    return shared;
  }
  bool Reserve() {
    Locked hold(lock_);
    if (!registered_) registered_ = Register();
    if (registered_) ++windows_;
    return registered_;
  }
  void Release() {
    Locked hold(lock_);
    if (windows_ > 0 && --windows_ == 0 && registered_) {
      UnregisterClassW(FaceClassName, ThisModule());
      registered_ = false;
    }
  }

 private:
  FaceClass() { InitializeCriticalSection(&lock_); }
  struct Locked {
    explicit Locked(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
    ~Locked() { LeaveCriticalSection(&cs_); }
    CRITICAL_SECTION& cs_;
  };
  static bool Register();

  CRITICAL_SECTION lock_;
  bool registered_ = false;
  int windows_ = 0;
};

winapp::GdiObject LoadLogo() {
  return winapp::GdiObject(LoadImageA(ThisModule(), LogoResource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

SIZE ScreenPixelsPerInch() {
  winapp::WindowDc screen(nullptr);
  return {GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

LRESULT CALLBACK FaceProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      winapp::PaintDc paint(window);
      RECT client;
      GetClientRect(window, &client);
      DrawFace(paint.get(), client);
      return 0;
    }
    case WM_NCDESTROY:
      if (auto* owner = reinterpret_cast<AccessKeep*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
        owner->WindowDestroyed();
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool FaceClass::Register() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FaceProc;
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.lpszClassName = FaceClassName;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

SIZE LogoSize() {
  BITMAP bitmap{};
  winapp::GdiObject logo = LoadLogo();
  if (!logo || !GetObjectW(logo.get(), sizeof bitmap, &bitmap)) return {48, 48};
  return {bitmap.bmWidth, bitmap.bmHeight};
}

bool DrawFace(HDC dc, const RECT& bounds) {
  winapp::GdiObject logo = LoadLogo();
  BITMAP bitmap{};
  if (!logo || !GetObjectW(logo.get(), sizeof bitmap, &bitmap)) return false;
  // Compatible with the screen, not with `dc`: a container may draw into a metafile.
  winapp::MemDc source(CreateCompatibleDC(nullptr));
  if (!source) return false;
  winapp::Selected picture(source.get(), logo.get());
  // Drawn at its own size, the logo stays exact; stretched, it is smoothed.
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width != bitmap.bmWidth || height != bitmap.bmHeight) {
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
  }
  return StretchBlt(dc, bounds.left, bounds.top, width, height, source.get(), 0, 0, bitmap.bmWidth, bitmap.bmHeight,
                    SRCCOPY) != FALSE;
}

HWND CreateFaceWindow(HWND parent, const RECT& place, bool visible, AccessKeep* owner) {
  if (!FaceClass::Instance().Reserve()) return nullptr;
  HWND window = CreateWindowExW(0, FaceClassName, L"AccessKeep",
                                WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0), place.left, place.top,
                                place.right - place.left, place.bottom - place.top, parent, nullptr, ThisModule(),
                                owner);
  if (!window) FaceClass::Instance().Release();
  return window;
}

void DestroyFaceWindow(HWND window) {
  if (window && IsWindow(window)) {
    // The owner asked for this; it needs no word back.
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
  }
  FaceClass::Instance().Release();
}

SIZEL PixelsToHimetric(SIZE pixels) {
  SIZE perInch = ScreenPixelsPerInch();
  return {MulDiv(pixels.cx, HimetricPerInch, perInch.cx), MulDiv(pixels.cy, HimetricPerInch, perInch.cy)};
}

}  // namespace accesskeep
