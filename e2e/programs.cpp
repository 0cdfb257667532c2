#include "programs.h"

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

HWND Control(HWND form, const char* name) { return testutil::ChildNamed(form, name); }

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

}  // namespace e2e
