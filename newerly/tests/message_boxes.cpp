#include "message_boxes.h"

#include "test_util.h"

namespace newerlytest {

namespace {

using testutil::TextOf;

BOOL CALLBACK ReadChild(HWND child, LPARAM lp) {
  auto* box = reinterpret_cast<SeenBox*>(lp);
  char cls[64] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") != 0) return TRUE;
  LONG style = GetWindowLongA(child, GWL_STYLE);
  if ((style & SS_TYPEMASK) == SS_ICON) {
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
    box->icon = reinterpret_cast<HICON>(icon);
  } else if (box->text.empty()) {
    box->text = TextOf(child);
  }
  return TRUE;
}

}  // namespace

MessageBoxes::MessageBoxes(DWORD pid, std::function<int(const SeenBox&)> answer)
    : pid_(pid ? pid : GetCurrentProcessId()), answer_(std::move(answer)) {
  thread_ = std::thread([this] { Run(); });
}

MessageBoxes::~MessageBoxes() {
  stop_ = true;
  thread_.join();
}

void MessageBoxes::Run() {
  while (!stop_) {
    Look();
    Sleep(20);
  }
}

void MessageBoxes::Look() {
  for (HWND w : testutil::TopWindows("#32770", pid_, true)) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (answered_.count(w)) continue;
    }
    SeenBox box;
    box.title = TextOf(w);
    EnumChildWindows(w, ReadChild, reinterpret_cast<LPARAM>(&box));
    box.ok = GetDlgItem(w, IDOK) != nullptr;
    box.yes = GetDlgItem(w, IDYES) != nullptr;
    box.no = GetDlgItem(w, IDNO) != nullptr;
    // A box met while the system still fills it in (on a busy machine it can be seen visible with
    // no caption or text yet) is read again on the next round.
    if (box.title.empty() && box.text.empty()) continue;
    int choice = answer_ ? answer_(box) : (box.yes ? IDYES : IDOK);
    HWND button = GetDlgItem(w, choice);
    if (!button) button = GetDlgItem(w, box.ok ? IDOK : IDYES);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      answered_.insert(w);
      seen_.push_back(box);
    }
    // A click as the user makes it: the button itself is pressed.
    if (button) PostMessageA(button, BM_CLICK, 0, 0);
  }
}

std::vector<SeenBox> MessageBoxes::Seen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

size_t MessageBoxes::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_.size();
}

bool MessageBoxes::WaitFor(size_t count, int seconds) const {
  return testutil::PumpUntil([&] { return Count() >= count; }, std::chrono::seconds(seconds));
}

void MessageBoxes::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  seen_.clear();
}

HICON StopIcon() { return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_HAND)); }
HICON InformationIcon() { return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_ASTERISK)); }
HICON QuestionIcon() { return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION)); }

}  // namespace newerlytest
