// Running the built programs from a test: start one in a program folder of the test's own, watch
// its windows from outside as any other process would, and wait for it to end.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace e2e {

class Program {
 public:
  // Starts folder\exe with the raw argument text (appended after the quoted program path).
  Program(const std::string& folder, const std::string& exe, const std::string& arguments);
  ~Program();  // a program still running at the end of a test is killed
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return process_ != nullptr; }
  // Why the start failed: the system's error code and its text; empty when it started.
  std::string StartError() const;
  DWORD Id() const { return id_; }
  bool Running() const;
  // Waits for the end, pumping this thread's messages; false when the deadline passed.
  bool WaitForEnd(std::chrono::milliseconds deadline = std::chrono::seconds(60));
  DWORD ExitCode() const;

  // Top-level windows of the program with this window class (the form's name).
  std::vector<HWND> Windows(const char* formName) const;
  HWND Window(const char* formName) const;

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
  DWORD startError_ = 0;
};

// What the recording stand-in (standin.exe) wrote when started under a program's name.
struct Start {
  std::string program;    // its file name
  std::string arguments;  // its argument text
  std::string directory;  // its working directory
  unsigned long long created = 0;
};

// Copies the stand-in into `folder` under `name`.
bool CopyStandIn(const std::string& folder, const std::string& name);
// The starts recorded in `folder`, in the order the processes were created.
std::vector<Start> Starts(const std::string& folder);
// Waits, pumping messages, until `count` starts are recorded.
bool WaitForStarts(const std::string& folder, size_t count,
                   std::chrono::milliseconds deadline = std::chrono::seconds(20));

// Processes whose program lies in `folder`.
std::vector<DWORD> ProcessesIn(const std::string& folder);

// A control of a window, by its name.
HWND Control(HWND form, const char* name);

// Clicks a button as a user would, through the message the button answers.
void Click(HWND button);

// A press of the left mouse button in the middle of a control, as the pointer would deliver it.
void Press(HWND control);
bool Checked(HWND box);
// The whole text of a window, however long.
std::string LongText(HWND window);

// The program's visible window of a form: now, or once it shows (null when the program ended
// first or the deadline passed).
HWND VisibleWindow(const Program& p, const char* form);
HWND WaitForWindow(Program& p, const char* form, std::chrono::milliseconds deadline);

// The nine settings flags as a reader of the settings file finds them, in the settings dialog's
// order ("-" for a key it cannot find).
std::string SettingsFlags(const std::string& file);

}  // namespace e2e
