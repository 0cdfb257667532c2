// Running the built programs from a test: start one in a program folder of the test's own, watch
// its windows from outside as any other process would, and wait for it to end.
#pragma once

#include <windows.h>

#include <chrono>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

namespace e2e {

// The argument the launcher and the tray pass to the programs they start.
inline constexpr const char* Token = "K4T9B3";

// A user database whose user "default" has confirmed the welcome (or not yet), protection off.
inline constexpr const char* ConfirmedDatabase =
    "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=0\r\nShowWelcome=7\r\n";
inline constexpr const char* UnconfirmedDatabase =
    "[General]\r\nVersion=2\r\n\r\n[Users]\r\ncount=1\r\n1=default\r\n\r\n[default]\r\nlogin=0\r\nShowWelcome=0\r\n";
// A settings file as the settings dialog leaves it for a user who chose a few steps.
inline constexpr const char* UserSettings =
    "; Quietrail INI File\r\n\r\n[Settings]\r\nHistory=1\r\nTmpInt=1\r\nCookies=1\r\nRecent=0\r\nURL=1\r\n"
    "Startup=0\r\nClearDialog=0\r\n\r\n[Launch]\r\nSplash=0\r\nTray=1\r\n";

// A settings file with the keys the launcher reads.
std::string LaunchSettings(const std::string& startup, const std::string& splash, const std::string& tray);

// The message of a clearing run or launcher that finds no settings file in `folder`.
std::string MissingSettingsMessage(const std::string& folder);

// Copies the built programs `names` into `folder`: empty when all are there, otherwise what
// went wrong, for the failure message.
std::string CopyPrograms(const std::string& folder, std::initializer_list<const char*> names);

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
// The recorded starts as "program arguments", once `expected` of them are there (or a short
// while has shown that none come, when none are expected).
std::vector<std::string> StartLines(const std::string& folder, size_t expected);

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
HWND WaitForWindow(Program& p, const char* form, std::chrono::milliseconds deadline = std::chrono::seconds(20));
// Waits until no window of the form shows.
bool Gone(const Program& p, const char* form, std::chrono::milliseconds deadline = std::chrono::seconds(20));

// Every form of the panel.
extern const std::vector<const char*> PanelForms;

// The forms among `forms` that show at the moment.
std::set<std::string> VisibleForms(const Program& p, const std::vector<const char*>& forms);
// Lets a starting program settle: waits until it shows one of `forms` or ends, then a moment for
// the windows that open right after; what shows then (nothing when it ended).
std::set<std::string> Settle(const Program& p, const std::vector<const char*>& forms,
                             std::chrono::milliseconds deadline = std::chrono::seconds(20));

// What a watcher outside a program saw of its windows until it ended.
struct Watch {
  bool ended = false;
  std::set<std::string> seen;  // the forms that showed (or, when not only visible ones count, existed)
};
Watch WatchToEnd(const Program& p, const std::vector<const char*>& forms,
                 std::chrono::milliseconds deadline = std::chrono::seconds(60), bool visibleOnly = true);

// The text of a message window's label, and its OK pressed.
std::string MessageOf(HWND errorForm);
void AnswerMessage(HWND errorForm);

// The nine settings flags as a reader of the settings file finds them, in the settings dialog's
// order ("-" for a key it cannot find).
std::string SettingsFlags(const std::string& file);

}  // namespace e2e
