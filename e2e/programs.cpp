#include "programs.h"

#include <algorithm>
#include <sstream>

#include "form.h"
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
  }
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

namespace {
struct WindowSearch {
  DWORD pid;
  const char* cls;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  char cls[128] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (pid == s->pid && lstrcmpA(cls, s->cls) == 0) s->found.push_back(w);
  return TRUE;
}
}  // namespace

std::vector<HWND> Program::Windows(const char* formName) const {
  WindowSearch search{id_, formName, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Program::Window(const char* formName) const {
  auto all = Windows(formName);
  return all.empty() ? nullptr : all.front();
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

HWND Control(HWND form, const char* name) { return GetDlgItem(form, winapp::ControlId(name)); }

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

}  // namespace e2e
