// Where the browsers keep their profiles for the current user.
#pragma once

#include <string>
#include <vector>

#include "browsers.h"
#include "catalog.h"

namespace browsers {

struct Profile {
  std::wstring data;   // the profile folder: databases, bookmarks, passwords, preferences
  std::wstring local;  // where its caches lie (the same folder for most Chromium browsers)
};

struct Browser {
  BrowserId id = BrowserChrome;
  Family family = Family::Chromium;
  const CatalogEntry* entry = nullptr;
  bool found = false;                    // some folder of the browser exists
  bool refused = false;                  // its data folder is a link that is not followed
  std::vector<Profile> profiles;
  std::vector<std::wstring> lockFiles;   // files the running browser holds open
  std::vector<std::wstring> sharedCaches;  // cache folders beside the profiles
};

// Every browser the module knows, each with the profiles found (none where it is not installed).
std::vector<Browser> FindBrowsers();

}  // namespace browsers
