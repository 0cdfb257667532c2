#include "programs.h"

#include <algorithm>
#include <sstream>

#include <tlhelp32.h>

// Declared by the system headers only for newer targets than the programs are built for.
extern "C" BOOL WINAPI QueryFullProcessImageNameA(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

#include "settings.h"
#include "system.h"
#include "test_util.h"

namespace e2e {

Program::Program(const std::string& folder, const std::string& exe, const std::string& arguments) {
  std::string path = folder + "\\" + exe;
  std::string line = "\"" + path + "\"";
  if (!arguments.empty()) line += " " + arguments;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    id_ = pi.dwProcessId;
  } else {
    startError_ = GetLastError();
  }
}

std::string Program::StartError() const {
  if (process_) return {};
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, startError_, 0, text,
                 sizeof text, nullptr);
  return "error " + std::to_string(startError_) + ": " + text;
}

Program::~Program() {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
  }
  CloseHandle(process_);
}

bool Program::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Program::WaitForEnd(std::chrono::milliseconds deadline) {
  return testutil::PumpUntil([&] { return !Running(); }, deadline);
}

DWORD Program::ExitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

std::vector<HWND> Program::Windows(const char* formName) const { return testutil::TopWindows(formName, id_); }

HWND Program::Window(const char* formName) const {
  auto all = Windows(formName);
  return all.empty() ? nullptr : all.front();
}

std::string LaunchSettings(const std::string& startup, const std::string& splash, const std::string& tray) {
  return "; Quietrail INI File\r\n\r\n[Settings]\r\nHistory=0\r\nStartup=" + startup +
         "\r\nClearDialog=1\r\n\r\n[Launch]\r\nSplash=" + splash + "\r\nTray=" + tray + "\r\n";
}

std::string MissingSettingsMessage(const std::string& folder) {
  return folder + "\\quietrail.ini not found. Please run panel.exe (user interface) again from " + folder;
}

std::string CopyPrograms(const std::string& folder, std::initializer_list<const char*> names) {
  std::string built = testutil::ProgramFolder();
  if (built.empty()) return "QR_PROGRAM_DIR is not set";
  for (const char* name : names)
    if (!testutil::CopyInto(built + "\\" + name, folder)) return std::string(name) + " could not be copied";
  return {};
}

bool CopyStandIn(const std::string& folder, const std::string& name) {
  return testutil::CopyInto(winapp::ProgramFolder() + "\\standin.exe", folder, name);
}

std::vector<Start> Starts(const std::string& folder) {
  std::vector<Start> starts;
  std::istringstream lines(testutil::ReadWholeFile(folder + "\\started.txt"));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    size_t from = 0;
    for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
      fields.push_back(line.substr(from, tab - from));
    fields.push_back(line.substr(from));
    if (fields.size() != 4) continue;
    starts.push_back({fields[0], fields[1], fields[2], std::stoull(fields[3])});
  }
  std::stable_sort(starts.begin(), starts.end(), [](const Start& a, const Start& b) { return a.created < b.created; });
  return starts;
}

bool WaitForStarts(const std::string& folder, size_t count, std::chrono::milliseconds deadline) {
  return testutil::PumpUntil([&] { return Starts(folder).size() >= count; }, deadline);
}

std::vector<std::string> StartLines(const std::string& folder, size_t expected) {
  if (expected) WaitForStarts(folder, expected);
  testutil::PumpFor(std::chrono::milliseconds(200));
  std::vector<std::string> lines;
  for (const auto& s : Starts(folder)) lines.push_back(s.program + " " + s.arguments);
  return lines;
}

HWND Control(HWND form, const char* name) { return testutil::ChildNamed(form, name); }

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void Press(HWND control) {
  RECT r;
  GetClientRect(control, &r);
  LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(control, WM_LBUTTONUP, 0, at);
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string LongText(HWND window) {
  int n = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  n = static_cast<int>(SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(static_cast<size_t>(std::max(n, 0)));
  return text;
}

HWND VisibleWindow(const Program& p, const char* form) {
  for (HWND w : p.Windows(form))
    if (IsWindowVisible(w)) return w;
  return nullptr;
}

HWND WaitForWindow(Program& p, const char* form, std::chrono::milliseconds deadline) {
  HWND found = nullptr;
  testutil::PumpUntil([&] { return (found = VisibleWindow(p, form)) || !p.Running(); }, deadline);
  return found;
}

const std::vector<const char*> PanelForms = {"frmLogin",          "frmMain",     "frmAbout",    "frmError",
                                              "frmChangePassword", "frmWelcome", "frmSettings", "frmCookieExclude"};

bool Gone(const Program& p, const char* form, std::chrono::milliseconds deadline) {
  return testutil::PumpUntil([&] { return !VisibleWindow(p, form); }, deadline);
}

std::set<std::string> VisibleForms(const Program& p, const std::vector<const char*>& forms) {
  std::set<std::string> shown;
  for (const char* form : forms)
    if (VisibleWindow(p, form)) shown.insert(form);
  return shown;
}

std::set<std::string> Settle(const Program& p, const std::vector<const char*>& forms,
                             std::chrono::milliseconds deadline) {
  std::set<std::string> shown;
  testutil::PumpUntil(
      [&] {
        shown = VisibleForms(p, forms);
        return !shown.empty() || !p.Running();
      },
      deadline);
  if (!shown.empty()) {
    testutil::PumpFor(std::chrono::milliseconds(300));
    shown = VisibleForms(p, forms);
  }
  return shown;
}

Watch WatchToEnd(const Program& p, const std::vector<const char*>& forms, std::chrono::milliseconds deadline,
                 bool visibleOnly) {
  Watch watch;
  watch.ended = testutil::PumpUntil(
      [&] {
        for (const char* form : forms)
          if (visibleOnly ? VisibleWindow(p, form) != nullptr : !p.Windows(form).empty()) watch.seen.insert(form);
        return !p.Running();
      },
      deadline);
  return watch;
}

std::string MessageOf(HWND errorForm) { return testutil::TextOf(Control(errorForm, "Label1")); }

void AnswerMessage(HWND errorForm) { Click(Control(errorForm, "Command1")); }

std::string SettingsFlags(const std::string& file) {
  std::string flags;
  const std::pair<const char*, const char*> keys[] = {
      {"Settings", "History"}, {"Settings", "TmpInt"},      {"Settings", "Cookies"},
      {"Settings", "Recent"},  {"Settings", "URL"},         {"Settings", "Startup"},
      {"Settings", "ClearDialog"}, {"Launch", "Splash"},    {"Launch", "Tray"}};
  for (auto& [section, key] : keys) {
    std::string v = winapp::ReadIniValue(file, section, key);
    flags += v == file ? std::string("-") : v;
  }
  return flags;
}

std::vector<DWORD> ProcessesIn(const std::string& folder) {
  std::vector<DWORD> found;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  std::string prefix = folder + "\\";
  for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, entry.th32ProcessID);
    if (!h) continue;
    char path[MAX_PATH * 2] = {};
    DWORD size = sizeof path;
    if (QueryFullProcessImageNameA(h, 0, path, &size) && _strnicmp(path, prefix.c_str(), prefix.size()) == 0)
      found.push_back(entry.th32ProcessID);
    CloseHandle(h);
  }
  CloseHandle(snap);
  return found;
}

}  // namespace e2e
