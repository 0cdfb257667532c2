// Stands in for a browser in the tests of open browsers. Copied under a browser's program name,
// it is started as `fakebrowser LOCKFILE SHOWN REPORT`: it takes LOCKFILE as a running browser
// does (open, shared with nobody), shows a window when SHOWN is 1 (a window that ignores the
// close when SHOWN is 2), and writes to REPORT what it met: "held" once it holds the lock,
// "busy" when another program held it (it then ends at once), and "saved" when it was asked to
// close and did, as a browser saves its session.
#include <windows.h>

#include <string>

namespace {

std::string report;
bool stubborn = false;

void Say(const char* what) {
  HANDLE h = CreateFileA(report.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, what, static_cast<DWORD>(strlen(what)), &written, nullptr);
  WriteFile(h, "\n", 1, &written, nullptr);
  FlushFileBuffers(h);
  CloseHandle(h);
}

LRESULT CALLBACK WindowProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_CLOSE) {
    if (stubborn) return 0;
    Say("saved");
    DestroyWindow(w);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(w, message, wp, lp);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 4) return 2;
  char text[MAX_PATH * 3];
  WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, text, sizeof text, nullptr, nullptr);
  report = text;
  HANDLE lock = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (lock == INVALID_HANDLE_VALUE) {
    Say("busy");
    return 3;
  }
  Say("held");
  int shown = _wtoi(argv[2]);
  stubborn = shown == 2;
  WNDCLASSA c{};
  c.lpfnWndProc = WindowProc;
  c.hInstance = instance;
  c.lpszClassName = "QrFakeBrowser";
  RegisterClassA(&c);
  HWND w = CreateWindowA("QrFakeBrowser", "Fake browser", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr, nullptr,
                         instance, nullptr);
  if (shown) ShowWindow(w, SW_SHOWNORMAL);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  CloseHandle(lock);
  return 0;
}
