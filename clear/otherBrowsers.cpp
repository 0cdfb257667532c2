// The other browsers' step of a clearing run: the run's choices and its cookie keep-list handed to
// browsers.dll, which is loaded only here, from the program folder, by its full path.
#include <windows.h>

#include <algorithm>

#include "browsers.h"
#include "catalog.h"
#include "cleaners.h"
#include "modulelock.h"
#include "settings.h"

namespace {

int KeepCookie(void* upperEntries, const char* host) {
  return IsExcluded(host, *static_cast<const std::vector<std::string>*>(upperEntries)) ? 1 : 0;
}

}  // namespace

std::string SkippedBrowsersLine(const unsigned char* outcome) {
  struct Reason {
    unsigned char outcome;
    const char* text;
  };
  static const Reason reasons[] = {{BrowserRunning, "Not cleared while open: "},
                                   {BrowserDamaged, "Not cleared, data damaged: "},
                                   {BrowserFailed, "Not cleared completely: "},
                                   {BrowserRefused, "Not cleared: "}};
  std::string line;
  for (const Reason& reason : reasons) {
    std::string names;
    for (const browsers::CatalogEntry& b : browsers::Catalog)
      if (outcome[b.id] == reason.outcome) names += (names.empty() ? "" : ", ") + std::string(b.name);
    if (names.empty()) continue;
    line += (line.empty() ? "" : "; ") + std::string(reason.text) + names;
  }
  return line;
}

std::string ClearOtherBrowsers(const std::string& folder, const BrowserFlags& flags, BrowserTally* tally, bool countOnly,
                               unsigned char* outcomes) {
  BrowserRun run{};
  run.size = sizeof run;
  run.History = flags.History;
  run.TmpInt = flags.TmpInt;
  run.Cookies = flags.Cookies;
  run.Recent = flags.Recent;
  run.URL = flags.URL;
  // The same keep-list and the same rule as the platform's cookies; a list that cannot be made
  // or read could be protecting any cookie, so then no browser cookie is deleted either.
  std::vector<std::string> entries;
  if (run.Cookies == 1 && !ReadKeepList(folder, entries, !countOnly)) run.Cookies = 0;
  run.KeepCookie = KeepCookie;
  run.KeepContext = &entries;
  if (tally) {
    *tally = BrowserTally{};
    tally->size = sizeof *tally;
  }

  std::string module = folder + "\\browsers.dll";
  // The update checker replaces the module only while no run holds this lock. A run that cannot
  // have it within a few seconds goes on without it rather than hang: the replacement is one
  // move, so it still loads either the old module or the new one whole.
  winapp::BrowsersModuleLock moduleLock(folder, 10000);
  HMODULE library = LoadLibraryExA(module.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  auto proc = [&](const char* name) {
    return library ? reinterpret_cast<void*>(GetProcAddress(library, name)) : nullptr;
  };
  auto clear = reinterpret_cast<ClearBrowsersProc>(proc(CLEAR_BROWSERS_EXPORT));
  auto counted = reinterpret_cast<ClearBrowsersCountedProc>(proc(countOnly ? COUNT_BROWSERS_EXPORT : CLEAR_BROWSERS_COUNTED_EXPORT));
  int result = 1;
  if (tally && counted) {
    result = counted(&run, tally);
  } else {
    // A module from before the counts clears uncounted; one that cannot count is not asked to
    // clear when only counting was wanted.
    if (tally) tally->size = 0;
    if (clear && !countOnly) result = clear(&run);
  }
  std::string line;
  if (result != 0) {
    if (tally) tally->size = 0;
    if (!countOnly)
      line = "browsers.dll not found: other browsers not cleared";
    else
      line = clear ? "browsers.dll cannot count: other browsers not counted" : "browsers.dll not found: other browsers not counted";
  } else {
    line = SkippedBrowsersLine(run.Outcome);
    if (outcomes) std::copy(std::begin(run.Outcome), std::end(run.Outcome), outcomes);
  }
  if (library) FreeLibrary(library);
  return line;
}
