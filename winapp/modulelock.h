// Held by a clearing run while it has the program folder's browsers.dll loaded, and by the update
// checker while it replaces that file: a run never loads a module half way through an update, and
// the checker never replaces the module under a run that uses it (a run started by the old
// clear.exe would otherwise call a module of another release).
#pragma once

#include <string>

#include "raii.h"

namespace winapp {

class BrowsersModuleLock {
 public:
  // Waits up to `waitMs` for the lock of the program folder `folder`; never longer.
  BrowsersModuleLock(const std::string& folder, unsigned long waitMs);
  ~BrowsersModuleLock();
  BrowsersModuleLock(const BrowsersModuleLock&) = delete;
  BrowsersModuleLock& operator=(const BrowsersModuleLock&) = delete;

  bool Held() const { return held_; }

 private:
  Handle mutex_;
  bool held_ = false;
};

// The name of the lock's mutex for a program folder: one per folder (letter case aside), in the
// session's own namespace.
std::string BrowsersModuleLockName(const std::string& folder);

}  // namespace winapp
