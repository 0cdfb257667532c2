#include "faults_util.h"

#include <sstream>

#include "programs.h"
#include "settings.h"
#include "test_util.h"


namespace faults {

using std::chrono::seconds;

const char* const SettingsBoxes[9] = {"chkHistory", "chkTmpInt",         "chkCookies", "chkRecent", "chkURL",
                                      "chkStartup", "chkClearingDialog", "chkSplash",  "chkTray"};

namespace {

const char* const Sections[9] = {"Settings", "Settings", "Settings", "Settings", "Settings",
                                 "Settings", "Settings", "Launch",   "Launch"};
const char* const Keys[9] = {"History", "TmpInt", "Cookies", "Recent", "URL", "Startup", "ClearDialog", "Splash", "Tray"};

HWND VisibleWindow(e2e::Program& p, const char* form, seconds deadline = seconds(30)) {
  return e2e::WaitForWindow(p, form, deadline);
}

using e2e::Checked;
using e2e::Press;

void SetBox(HWND form, const char* name, bool on) {
  HWND box = e2e::Control(form, name);
  if (Checked(box) != on) SendMessageA(box, BM_CLICK, 0, 0);
}

// The panel's window of `form` once it shows; null, with a note of what did not show, otherwise.
HWND Shown(e2e::Program& p, const char* form, const char* what, Session& s) {
  HWND w = VisibleWindow(p, form);
  if (!w) s.note += std::string("no ") + what + "; ";
  return w;
}

void Finish(e2e::Program& p, Session& s) {
  s.ended = p.WaitForEnd(seconds(30));
  s.exitCode = p.ExitCode();
  if (!s.ended) s.note += "the panel did not end; ";
}

}  // namespace

std::string SettingsAfterSave(const std::string& before, const std::string& ticks) {
  testutil::TempFolder scratch;
  std::string file = scratch / "quietrail.ini";
  if (!before.empty()) testutil::WriteWholeFile(file, before);
  for (int i = 0; i < 9; ++i) WritePrivateProfileStringA(Sections[i], Keys[i], ticks[i] == '1' ? "1" : "0", file.c_str());
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
  return testutil::ReadWholeFile(file);
}

Session SaveSettings(const std::string& folder, const std::string& ticks) {
  Session s;
  e2e::Program p(folder, "panel.exe", "SETTINGS");
  HWND settings = Shown(p, "frmSettings", "settings dialog", s);
  if (!settings) return s;
  s.opened = true;
  // Splash and Tray can be changed only while Startup is ticked.
  SetBox(settings, "chkStartup", true);
  for (int i = 0; i < 9; ++i)
    if (i != 5) SetBox(settings, SettingsBoxes[i], ticks[i] == '1');
  SetBox(settings, "chkStartup", ticks[5] == '1');
  for (int i = 0; i < 9; ++i)
    if (Checked(e2e::Control(settings, SettingsBoxes[i])) != (ticks[i] == '1')) s.note += std::string(SettingsBoxes[i]) + " not set; ";
  Press(e2e::Control(settings, "Command1"));
  Finish(p, s);
  return s;
}

Session SaveList(const std::string& folder, const std::string& text) {
  Session s;
  e2e::Program p(folder, "panel.exe", "SETTINGS");
  HWND settings = Shown(p, "frmSettings", "settings dialog", s);
  if (!settings) return s;
  Press(e2e::Control(settings, "CmdCookie"));
  HWND editor = Shown(p, "frmCookieExclude", "exclusion editor", s);
  if (!editor) return s;
  s.opened = true;
  SetWindowTextA(e2e::Control(editor, "txtExclude"), text.c_str());
  Press(e2e::Control(editor, "Command1"));
  if (!testutil::PumpUntil([&] { return !IsWindowVisible(editor) && IsWindowEnabled(settings); }, seconds(30)))
    s.note += "the editor did not close; ";
  Press(e2e::Control(settings, "Command2"));
  Finish(p, s);
  return s;
}

Session OpenWelcome(const std::string& folder) {
  Session s;
  e2e::Program p(folder, "panel.exe", "");
  HWND welcome = Shown(p, "frmWelcome", "welcome window", s);
  if (!welcome) return s;
  s.opened = true;
  PostMessageA(welcome, WM_CLOSE, 0, 0);
  Finish(p, s);
  return s;
}

int VisibleWindowsOf(DWORD pid) {
  int n = 0;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && IsWindowVisible(w)) ++n;
  }
  return n;
}

Watcher::Watcher(std::string path) : path_(std::move(path)), thread_([this] { Run(); }) {}

Watcher::~Watcher() { Stop(); }

void Watcher::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void Watcher::Run() {
  while (!stop_) {
    std::string seen;
    // Read as the programs read: not in the middle of a replacement.
    winapp::SettingsFilesLock lock;
    HANDLE f = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      seen = error == ERROR_FILE_NOT_FOUND ? "<missing>" : "<error " + std::to_string(error) + ">";
    } else {
      char buffer[65536];
      DWORD got = 0;
      while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) seen.append(buffer, got);
      CloseHandle(f);
    }
    ++reads_;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++seen_[seen];
    }
    Sleep(1);
  }
}

std::map<std::string, int> Watcher::Seen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

std::string Watcher::Torn(const std::set<std::string>& whole) const {
  std::ostringstream out;
  for (const auto& [content, times] : Seen())
    if (!whole.count(content)) out << times << "x [" << Shown(content) << "] ";
  return out.str();
}

std::string Shown(const std::string& bytes) {
  std::string out;
  for (char c : bytes.substr(0, 160)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) out += '?';
    else out += c;
  }
  if (bytes.size() > 160) out += "...(" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

}  // namespace faults
