// The sites that have cookies now, for the keep-list's picker: read by browsers.dll of the program
// folder (the platform's cookies, and the browsers' when the settings ask for them), which the
// panel loads only for this.
#pragma once

#include <string>
#include <vector>

struct CookieSite {
  std::string name;  // lower case, without leading dots and "www."
  unsigned long cookies = 0;
  bool kept = false;  // every cookie of it is kept by the list as it stands
};

struct CookieSites {
  std::vector<CookieSite> sites;  // sorted by name
  bool read = false;              // false: browsers.dll could not list them
  std::string leftOut;            // what is not listed, and why; or empty
};

// `listText` is the exclusion list's text as the editor holds it.
CookieSites ReadCookieSites(const std::string& folder, const std::string& listText);

// Adds `name` to the editor's text as an entry after the last one.
void AddEntry(std::string& listText, const std::string& name);
