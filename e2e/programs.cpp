#include "programs.h"

#include <algorithm>
#include <sstream>

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

std::vector<HWND> Program::Windows(const char* formName) const { return testutil::TopWindows(formName, id_); }

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

HWND Control(HWND form, const char* name) { return testutil::ChildNamed(form, name); }

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

}  // namespace e2e
