#include "modulelock.h"

#include <windows.h>

#include <cstdint>

namespace winapp {

std::string BrowsersModuleLockName(const std::string& folder) {
  // A mutex name holds no backslash and is short: the folder goes in as a hash of its name.
  std::uint64_t hash = 14695981039346656037ULL;
  for (char c : folder) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  }
  // Sixteen hex digits, written out by hand: the formatted-print family would bring its whole
  // implementation into each program.
  char text[17];
  for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = "0123456789abcdef"[hash & 15];
  text[16] = '\0';
  return std::string("Local\\QuietrailBrowsersModule-") + text;
}

BrowsersModuleLock::BrowsersModuleLock(const std::string& folder, unsigned long waitMs)
    : mutex_(CreateMutexA(nullptr, FALSE, BrowsersModuleLockName(folder).c_str())) {
  if (!mutex_) return;
  DWORD waited = WaitForSingleObject(mutex_.get(), waitMs);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

BrowsersModuleLock::~BrowsersModuleLock() {
  if (held_) ReleaseMutex(mutex_.get());
}

}  // namespace winapp
