#include "cookieSites.h"

#include <windows.h>

#include "browsers.h"
#include "programs.h"
#include "raii.h"

using namespace winapp;

namespace {

void SiteFound(void* context, const char* site, unsigned long cookies, int kept) {
  static_cast<CookieSites*>(context)->sites.push_back({site, cookies, kept != 0});
}

template <typename Proc>
Proc Find(const Module& module, const char* name) {
  return module ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module.get(), name))) : nullptr;
}

}  // namespace

CookieSites ReadCookieSites(const std::string& folder, const std::string& listText) {
  CookieSites result;
  // Loaded as the question before a run loads it: for the time of one call, without the update
  // lock (a module in use is not replaced: the update moves its new file in only once it can).
  Module module(LoadLibraryExA((folder + "\\browsers.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  auto list = Find<ListCookieSitesProc>(module, LIST_COOKIE_SITES_EXPORT);
  auto name = Find<BrowserNameProc>(module, BROWSER_NAME_EXPORT);
  BrowserRun run{};
  run.size = sizeof run;
  std::string settings = folder + "\\" + SettingsFileName;
  if (!list || !name || list(settings.c_str(), listText.c_str(), &run, SiteFound, &result) != 0) {
    result.leftOut = "browsers.dll not found: the sites cannot be listed";
    return result;
  }
  result.read = true;
  const struct {
    unsigned char outcome;
    const char* text;
  } reasons[] = {{BrowserRunning, "Not listed while open: "},
                 {BrowserDamaged, "Not listed, cookies unreadable: "},
                 {BrowserRefused, "Not listed: "}};
  for (const auto& reason : reasons) {
    std::string names;
    for (int b = 0; b < BrowserCount; ++b)
      if (run.Outcome[b] == reason.outcome && name(b)) names += (names.empty() ? "" : ", ") + std::string(name(b));
    if (!names.empty()) result.leftOut += (result.leftOut.empty() ? "" : "; ") + std::string(reason.text) + names;
  }
  return result;
}

void AddEntry(std::string& listText, const std::string& name) {
  // After a final comma (the empty entry the labels' example leaves) the name takes its place.
  if (!listText.empty() && listText.back() != ',') listText += ',';
  listText += name;
}
