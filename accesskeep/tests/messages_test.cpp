// The control's message boxes, seen as the user sees them: a watcher on its own thread finds each
// box of this process titled "Kestrovane Software Login", reads its text and icon, and presses OK.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "host.h"
#include "test_util.h"

using namespace akt;

namespace {

struct Box {
  std::string text;
  HICON icon = nullptr;
};

class BoxWatcher {
 public:
  BoxWatcher() : thread_([this] { Watch(); }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  std::vector<Box> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(seen_, {});
  }

 private:
  void Watch() {
    while (!stop_) {
      HWND box = nullptr;
      EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
      if (box) Dismiss(box);
      // A polling thread, not a wait for a result: the call it watches blocks until it acts.
      Sleep(5);
    }
  }

  static BOOL CALLBACK FindBox(HWND w, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[32] = {}, title[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    GetWindowTextA(w, title, sizeof title);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) && std::string(cls) == "#32770" &&
        std::string(title) == "Kestrovane Software Login") {
      *reinterpret_cast<HWND*>(found) = w;
      return FALSE;
    }
    return TRUE;
  }

  void Dismiss(HWND box) {
    Box seen;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      char cls[32] = {};
      GetClassNameA(child, cls, sizeof cls);
      if (lstrcmpiA(cls, "Static") != 0) continue;
      if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        seen.icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
      else if (std::string text = testutil::TextOf(child); !text.empty())
        seen.text = text;
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_.push_back(seen);
    }
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    while (IsWindow(box) && !stop_) Sleep(5);
  }

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Box> seen_;
  std::thread thread_;
};

HICON Warning() { return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_EXCLAMATION)); }
HICON Information() { return LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_INFORMATION)); }

const char* const Incompatible =
    "The INI database file specified is incompatible with this version of the Login control";

struct Case {
  std::function<Outcome(const Control&, const std::wstring& db, VARIANT_BOOL notify)> call;
  long status;
  const char* text;
  bool warning;
};

TEST(Messages, EveryOutcomeWithItsTextAndIconOnlyWhenAsked) {
  winapp::ComApartment com;
  winapp::HostedObject object;
  ASSERT_EQ(winapp::HostedObject::CreateFromLibrary(ClsId, LibraryPath(), object), S_OK);
  Control c(object.get());
  testutil::TempFolder dir;
  const std::wstring db = Wide(dir / "panel.dll");
  const std::wstring missing = Wide(dir / "missing.dll");
  ASSERT_EQ(c.CreateUser(L"bob", L"Secret1", db).Status(), 0);

  using C = const Control&;
  using D = const std::wstring&;
  const Case cases[] = {
      {[](C c, D db, auto n) { return c.CreateUser(L"", L"Secret1", db, n); }, 1, "You must specify a username", true},
      {[](C c, D db, auto n) { return c.CreateUser(L"ann", L"", db, n); }, 2, "You must specify a password", true},
      {[](C c, D, auto n) { return c.CreateUser(L"ann", L"Secret1", L"", n); }, 3, "You must specify an INI file", true},
      {[](C c, D db, auto n) { return c.CreateUser(L" ", L"Secret1", db, n); }, 4,
       "Username cannot be a space character", true},
      {[](C c, D db, auto n) { return c.CreateUser(L"ann", L"Short", db, n); }, 5,
       "Password must be between 6 and 20 charcetrs in length", true},
      {[](C c, D db, auto n) { return c.CreateUser(L"bob", L"Secret1", db, n); }, 6,
       "A user already exists with the username specified", true},
      {[](C c, D db, auto n) { return c.CreateUser(L"ann", L"Secr`t1", db, n); }, 7,
       "The specified password contains illegal characters", true},
      {[](C c, D db, auto n) { return c.ValidateUser(L"bob", L"Secret1", db + L"x", n); }, 3, Incompatible, true},
      {[](C c, D db, auto n) { return c.ValidateUser(L"ann", L"Secret1", db, n); }, 1,
       "The username or password entered is incorrect", true},
      {[](C c, D db, auto n) { return c.ValidateUser(L"bob", L"secret1", db, n); }, 2,
       "The username or password entered is incorrect", true},
      {[](C c, D db, auto n) { return c.ValidateUser(L"bob", L"Secret1", db, n); }, 0, "Login Successful!", false},
      {[](C c, D, auto n) { return c.ChangePassword(L"bob", L"Secret2", L"", n); }, 6, Incompatible, true},
      {[](C c, D db, auto n) { return c.ChangePassword(L"", L"Secret2", db, n); }, 1, "You must specify a username",
       true},
      {[](C c, D db, auto n) { return c.ChangePassword(L"bob", L"", db, n); }, 2, "You must specify a new password",
       true},
      {[](C c, D db, auto n) { return c.ChangePassword(L"bob", L"Short", db, n); }, 4,
       "Password must be between 6 and 20 charcetrs in length", true},
      {[](C c, D db, auto n) { return c.ChangePassword(L"ann", L"Secret2", db, n); }, 5, "The username does not exist",
       true},
      {[](C c, D db, auto n) { return c.ChangePassword(L"bob", L"Secr`t2", db, n); }, 7,
       "The specified password contains illegal characters", true},
      {[](C c, D db, auto n) { return c.ChangePassword(L"bob", L"Secret1", db, n); }, 0,
       "bob's password has been changed.", false},
      {[](C c, D db, auto n) { return c.CreateUser(L"ann", L"Secret1", db, n); }, 0, "ann has been created!", false},
  };

  BoxWatcher watcher;
  for (size_t i = 0; i < std::size(cases); ++i) {
    // Asked: exactly one box with the outcome's text and icon.
    Outcome o = cases[i].call(c, db, VARIANT_TRUE);
    EXPECT_EQ(o.Status(), cases[i].status) << "case " << i;
    std::vector<Box> boxes = watcher.Take();
    ASSERT_EQ(boxes.size(), 1u) << "case " << i;
    EXPECT_EQ(boxes[0].text, cases[i].text) << "case " << i;
    EXPECT_EQ(boxes[0].icon, cases[i].warning ? Warning() : Information()) << "case " << i;
    // Not asked (false, or any value but -1): the same status and no box.
    if (cases[i].status == 0) continue;  // a success would differ the second time
    for (VARIANT_BOOL quiet : {VARIANT_FALSE, VARIANT_BOOL(1)}) {
      EXPECT_EQ(cases[i].call(c, db, quiet).Status(), cases[i].status) << "case " << i << ", notify " << quiet;
      EXPECT_TRUE(watcher.Take().empty()) << "case " << i << ", notify " << quiet;
    }
  }
  // Successes stay silent too when not asked.
  EXPECT_EQ(c.CreateUser(L"cy", L"Secret1", db, VARIANT_FALSE).Status(), 0);
  EXPECT_EQ(c.ValidateUser(L"cy", L"Secret1", db, VARIANT_FALSE).Status(), 0);
  EXPECT_EQ(c.ChangePassword(L"cy", L"Secret2", db, VARIANT_FALSE).Status(), 0);
  EXPECT_EQ(c.StoreSetting(L"cy", L"Pswd", L"x", db).Status(), 2);
  EXPECT_EQ(c.KillUser(L"nobody", db).Status(), 3);
  EXPECT_TRUE(watcher.Take().empty());
}

}  // namespace
