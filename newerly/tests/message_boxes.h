// Message boxes seen from outside, as a user meets them: a thread of the test finds each box a
// process shows (FindWindow-style enumeration of its top-level dialogs), reads its title, text
// and buttons, and clicks the button the test chose.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace newerlytest {

struct SeenBox {
  std::string title;
  std::string text;
  HICON icon = nullptr;  // comparable with LoadIcon(nullptr, IDI_...) only inside the same process
  bool ok = false, yes = false, no = false;
};

class MessageBoxes {
 public:
  // Answers every box of process `pid` (0: this process) with the button `answer` names (IDOK,
  // IDYES, IDNO); without `answer`, OK or Yes.
  explicit MessageBoxes(DWORD pid = 0, std::function<int(const SeenBox&)> answer = {});
  ~MessageBoxes();
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  std::vector<SeenBox> Seen() const;
  size_t Count() const;
  // Waits (pumping this thread's messages) until `count` boxes were answered.
  bool WaitFor(size_t count, int seconds = 20) const;
  void Clear();

 private:
  void Run();
  void Look();

  DWORD pid_;
  std::function<int(const SeenBox&)> answer_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<SeenBox> seen_;
  std::set<HWND> answered_;
  std::thread thread_;
};

// The icons message boxes use, as loaded in this process.
HICON StopIcon();
HICON InformationIcon();
HICON QuestionIcon();

}  // namespace newerlytest
