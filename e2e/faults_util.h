// What the concurrency and disk-fault tests share: the panel driven as a user drives it to save,
// the programs still alive in a folder, and a watcher that reads a file over and over while
// others write it.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "programs.h"

namespace faults {

// The nine settings boxes in the order the dialog saves them; a state is one '0'/'1' per box.
extern const char* const SettingsBoxes[9];

// The file the panel leaves after saving `ticks` over `before` (or over no file): the same
// profile function the panel uses, applied to a scratch copy.
std::string SettingsAfterSave(const std::string& before, const std::string& ticks);

// Outcome of a session with the panel.
struct Session {
  bool opened = false;   // the expected window showed
  bool ended = false;    // the program ended by itself after the last click
  DWORD exitCode = 0;
  std::string note;      // what went wrong, for failure messages
};

// panel.exe "SETTINGS" in `folder`: the boxes set to `ticks`, then "&OK".
Session SaveSettings(const std::string& folder, const std::string& ticks);
// panel.exe "SETTINGS" in `folder`: "Cookie &Exclusion", the list set to `text`, "&OK", then the
// settings dialog's "&Cancel". Needs Cookies=1 in the settings file.
Session SaveList(const std::string& folder, const std::string& text);
// panel.exe without arguments while the welcome is unconfirmed: the welcome window opens (and
// writes its first-run files), then it is closed from its title bar.
Session OpenWelcome(const std::string& folder);

// Processes whose program lies in `folder` (programs.h).
using e2e::ProcessesIn;

// Visible top-level windows of the process `pid`.
int VisibleWindowsOf(DWORD pid);

// Reads a file whole, again and again on a thread of its own, as a program reading settings
// opens it (shared for reading and writing), and sorts what it saw.
class Watcher {
 public:
  explicit Watcher(std::string path);
  ~Watcher();
  void Stop();
  int Reads() const { return reads_; }
  // Contents seen and how often; a read that found no file is "<missing>", one refused "<error N>".
  std::map<std::string, int> Seen() const;
  // What was seen other than `whole`, summarised for a failure message; empty when nothing.
  std::string Torn(const std::set<std::string>& whole) const;

 private:
  void Run();
  std::string path_;
  std::atomic<bool> stop_{false};
  std::atomic<int> reads_{0};
  mutable std::mutex mutex_;
  std::map<std::string, int> seen_;
  std::thread thread_;
};

// A file's bytes, shortened for a failure message.
std::string Shown(const std::string& bytes);

}  // namespace faults
