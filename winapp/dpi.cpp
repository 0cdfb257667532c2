#include "dpi.h"

#include <string_view>
#include <utility>

#include "app.h"

namespace winapp {

namespace {

// Calls of newer systems, looked up once: null where the system has none.
template <class F>
F User32Call(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}
using DpiForSystem = UINT(WINAPI*)();
using DpiForWindow = UINT(WINAPI*)(HWND);
using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
bool g_dpiCallsLooked = false;
DpiForSystem g_dpiForSystem = nullptr;
DpiForWindow g_dpiForWindow = nullptr;
AdjustForDpi g_adjustForDpi = nullptr;
void LookUpDpiCalls() {
  if (std::exchange(g_dpiCallsLooked, true)) return;
  g_dpiForSystem = User32Call<DpiForSystem>("GetDpiForSystem");
  g_dpiForWindow = User32Call<DpiForWindow>("GetDpiForWindow");
  g_adjustForDpi = User32Call<AdjustForDpi>("AdjustWindowRectExForDpi");
}

// The dialog font at each resolution met so far: a process meets one or two.
struct DpiFont {
  UINT dpi;
  HFONT font;
};
DpiFont g_dialogFonts[4];

}  // namespace

UINT SystemDpi() {
  LookUpDpiCalls();
  if (g_dpiForSystem) return g_dpiForSystem();
  WindowDc screen(nullptr);
  int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

UINT WindowDpi(HWND w) {
  LookUpDpiCalls();
  UINT dpi = g_dpiForWindow && w ? g_dpiForWindow(w) : 0;
  return dpi ? dpi : SystemDpi();
}

SIZE WindowSizeAt(SIZE client, DWORD style, DWORD ex, UINT dpi) {
  RECT r{0, 0, client.cx, client.cy};
  // The frame at the window's own resolution where it is not the one the process sees.
  if (dpi != SystemDpi() && g_adjustForDpi) g_adjustForDpi(&r, style, FALSE, ex, dpi);
  else AdjustWindowRectEx(&r, style, FALSE, ex);
  return {r.right - r.left, r.bottom - r.top};
}

bool FontSpec::operator==(const FontSpec& o) const {
  std::string_view a = face ? face : "", b = o.face ? o.face : "";
  return a == b && points == o.points && bold == o.bold;
}

HFONT DialogFont(UINT dpi) {
  for (DpiFont& f : g_dialogFonts) {
    if (!f.font) f = {dpi, static_cast<HFONT>(MakeFont({}, dpi).release())};
    if (f.dpi == dpi) return f.font;
  }
  // A fifth resolution in one run (monitors of four others met before) takes the last one's.
  return g_dialogFonts[3].font;
}

GdiObject MakeFont(const FontSpec& spec, UINT dpi) {
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(spec.points, static_cast<int>(dpi), 72);
  lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, spec.face ? spec.face : "MS Sans Serif", LF_FACESIZE);
  return GdiObject(CreateFontIndirectA(&lf));
}

GdiObject LoadBitmapAt(const char* resource, UINT dpi) {
  // The pictures are drawn for 96 dots an inch: elsewhere they keep their size in inches.
  HINSTANCE module = app::ResourceModule();
  GdiObject drawn(LoadImageA(module, resource, IMAGE_BITMAP, 0, 0, 0));
  BITMAP bm{};
  if (!drawn || dpi == DefaultDpi || !GetObjectA(drawn.get(), sizeof bm, &bm)) return drawn;
  int d = static_cast<int>(dpi);
  GdiObject scaled(LoadImageA(module, resource, IMAGE_BITMAP, MulDiv(bm.bmWidth, d, DefaultDpi),
                              MulDiv(bm.bmHeight, d, DefaultDpi), 0));
  return scaled ? std::move(scaled) : std::move(drawn);
}

}  // namespace winapp
