// Cleaning one browser: every database it needs locked and checked first, then each changed in
// one transaction; a browser that runs, or whose data is damaged, is left exactly as it was.
#pragma once

#include "browsers.h"
#include "profiles.h"

namespace browsers {

enum Choice : unsigned {
  ChooseHistory = 1,
  ChooseTmpInt = 2,
  ChooseCookies = 4,
  ChooseRecent = 8,
  ChooseUrl = 16,
};

struct Choices {
  unsigned chosen = 0;  // Choice bits
  BrowserKeepCookie keepCookie = nullptr;
  void* keepContext = nullptr;
  // Where the run adds up what it erased (null: not counted).
  BrowserCounts* counts = nullptr;
  // Counting only: nothing is locked, written or deleted, the databases are read into memory.
  bool countOnly = false;
};

BrowserOutcome CleanBrowser(const Browser& browser, const Choices& choices);

}  // namespace browsers
