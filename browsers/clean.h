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
};

BrowserOutcome CleanBrowser(const Browser& browser, const Choices& choices);

}  // namespace browsers
