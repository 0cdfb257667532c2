// DrawFace of a 75 x 23 button against one BitBlt of the same size, in the same run:
// prints "drawface_us=A bitblt_us=B ratio=R" (microseconds per paint, best of five rounds).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "face.h"
#include "raii.h"

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

template <class Paint>
double MicrosecondsPerPaint(int count, Paint paint) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    double start = Now();
    for (int i = 0; i < count; ++i) paint(i);
    GdiFlush();
    best = std::min(best, (Now() - start) * 1e6 / count);
  }
  return best;
}

}  // namespace

int main() {
  constexpr int W = 75, H = 23, Count = 20000;
  winapp::WindowDc screen(nullptr);
  winapp::MemDc target(CreateCompatibleDC(screen.get())), source(CreateCompatibleDC(screen.get()));
  winapp::GdiObject targetBitmap(CreateCompatibleBitmap(screen.get(), W, H));
  winapp::GdiObject sourceBitmap(CreateCompatibleBitmap(screen.get(), W, H));
  winapp::Selected keepTarget(target.get(), targetBitmap.get()), keepSource(source.get(), sourceBitmap.get());
  xpskin::SkinClip clip;
  if (!clip.dc()) return 1;
  xpskin::DrawFace(source.get(), W, H, clip.dc(), 0);
  double face = MicrosecondsPerPaint(Count, [&](int i) { xpskin::DrawFace(target.get(), W, H, clip.dc(), i % 5); });
  double blit = MicrosecondsPerPaint(Count, [&](int) { BitBlt(target.get(), 0, 0, W, H, source.get(), 0, 0, SRCCOPY); });
  std::printf("drawface_us=%.2f bitblt_us=%.2f ratio=%.2f\n", face, blit, face / blit);
  return 0;
}
