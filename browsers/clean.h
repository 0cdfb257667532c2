// Cleaning one browser: every database it needs locked and checked first, then each changed in
// one transaction; a browser that runs, or whose data is damaged, is left exactly as it was.
#pragma once

#include <set>
#include <string>

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

// The hosts whose site data a pass found going and kept.
struct SiteHosts {
  std::set<std::string> erased, kept;
};

struct Choices {
  unsigned chosen = 0;  // Choice bits
  BrowserKeepCookie keepCookie = nullptr;
  void* keepContext = nullptr;
  // Where the run adds up what it erased (null: not counted).
  BrowserCounts* counts = nullptr;
  // Where the run adds up the sites whose site data goes and stays (null: not counted).
  BrowserSites* sites = nullptr;
  // Filled by the site data's check with every web host it judged; set by CleanBrowser.
  SiteHosts* hosts = nullptr;
  // Counting only: nothing is locked, written or deleted, the databases and stores read from
  // copies in memory.
  bool countOnly = false;
};

BrowserOutcome CleanBrowser(const Browser& browser, const Choices& choices);

}  // namespace browsers
