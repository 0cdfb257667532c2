// browsers.dll: clears the profiles of today's browsers for a clearing run, and tells the panel
// and the tray which of them are open. Loaded only when the settings ask for the browsers, so
// that the database engine it carries costs nothing otherwise.
#include <windows.h>

#include <cstddef>
#include <string>

#include "browsers.h"
#include "catalog.h"
#include "clean.h"
#include "profiles.h"
#include "running.h"
#include "values.h"

namespace {

// How many outcomes the caller's record has room for; 0 for a record too short to hold a run.
size_t OutcomesOf(const BrowserRun* run) {
  constexpr size_t first = offsetof(BrowserRun, Outcome);
  if (!run || run->size < first + BROWSER_FIRST_COUNT) return 0;
  size_t room = run->size - first;
  return room < size_t{BrowserCount} ? room : size_t{BrowserCount};
}

browsers::Choices ChoicesOf(const BrowserRun& run) {
  browsers::Choices choices;
  const struct {
    int BrowserRun::*flag;
    unsigned choice;
  } flags[] = {{&BrowserRun::History, browsers::ChooseHistory}, {&BrowserRun::TmpInt, browsers::ChooseTmpInt},
               {&BrowserRun::Cookies, browsers::ChooseCookies}, {&BrowserRun::Recent, browsers::ChooseRecent},
               {&BrowserRun::URL, browsers::ChooseUrl}};
  for (const auto& f : flags)
    if (run.*f.flag == 1) choices.chosen |= f.choice;
  choices.keepCookie = run.KeepCookie;
  choices.keepContext = run.KeepContext;
  return choices;
}

}  // namespace

extern "C" __declspec(dllexport) int ClearBrowsers(BrowserRun* run) {
  size_t room = OutcomesOf(run);
  if (!room) return 1;
  browsers::Choices choices = ChoicesOf(*run);
  for (size_t b = 0; b < room; ++b) run->Outcome[b] = BrowserNotFound;
  for (const browsers::Browser& browser : browsers::FindBrowsers()) {
    BrowserOutcome outcome = browsers::CleanBrowser(browser, choices);
    if (static_cast<size_t>(browser.id) < room) run->Outcome[browser.id] = static_cast<unsigned char>(outcome);
  }
  return 0;
}

namespace {

// How many browsers the caller's tally has room for; 0 for a record too short for any.
size_t CountsOf(const BrowserTally* tally) {
  constexpr size_t first = offsetof(BrowserTally, Browser);
  if (!tally || tally->size < first + sizeof(BrowserCounts)) return 0;
  size_t room = (tally->size - first) / sizeof(BrowserCounts);
  return room < size_t{BrowserCount} ? room : size_t{BrowserCount};
}

int RunCounted(BrowserRun* run, BrowserTally* tally, bool countOnly) {
  size_t room = OutcomesOf(run), counted = CountsOf(tally);
  if (!room || !counted) return 1;
  browsers::Choices choices = ChoicesOf(*run);
  choices.countOnly = countOnly;
  for (size_t b = 0; b < room; ++b) run->Outcome[b] = BrowserNotFound;
  for (size_t b = 0; b < counted; ++b) tally->Browser[b] = BrowserCounts{};
  // The sites' counts follow every browser's counts: a record ending before them is an older one.
  bool sites = tally->size >= sizeof(BrowserTally);
  if (sites)
    for (BrowserSites& s : tally->Sites) s = BrowserSites{};
  for (const browsers::Browser& browser : browsers::FindBrowsers()) {
    size_t id = static_cast<size_t>(browser.id);
    BrowserCounts scratch{};
    BrowserSites scratchSites{};
    choices.counts = id < counted ? &tally->Browser[id] : &scratch;
    choices.sites = sites && id < size_t{BrowserCount} ? &tally->Sites[id] : &scratchSites;
    BrowserOutcome outcome = browsers::CleanBrowser(browser, choices);
    if (id < room) run->Outcome[id] = static_cast<unsigned char>(outcome);
    // A browser left whole erased nothing; counting, it would erase nothing either.
    if (outcome != BrowserCleared && outcome != BrowserFailed) {
      *choices.counts = BrowserCounts{};
      *choices.sites = BrowserSites{};
    }
  }
  return 0;
}

}  // namespace

extern "C" __declspec(dllexport) int ClearBrowsersCounted(BrowserRun* run, BrowserTally* tally) {
  return RunCounted(run, tally, false);
}

extern "C" __declspec(dllexport) int CountBrowsers(BrowserRun* run, BrowserTally* tally) {
  return RunCounted(run, tally, true);
}

extern "C" __declspec(dllexport) int FindOpenBrowsers(BrowserRun* run) {
  size_t room = OutcomesOf(run);
  if (!room) return 1;
  browsers::Choices choices = ChoicesOf(*run);
  for (size_t b = 0; b < room; ++b) run->Outcome[b] = BrowserClosed;
  if (!choices.chosen) return 0;
  for (const browsers::Browser& browser : browsers::FindBrowsers())
    if (static_cast<size_t>(browser.id) < room && browser.found && !browser.profiles.empty())
      run->Outcome[browser.id] = static_cast<unsigned char>(browsers::OpenStateOf(*browser.entry));
  return 0;
}

extern "C" __declspec(dllexport) int CloseBrowsers(BrowserRun* run, unsigned waitMilliseconds) {
  size_t room = OutcomesOf(run);
  if (!room) return 1;
  std::vector<browsers::Browser> closing;
  std::vector<const browsers::CatalogEntry*> entries;
  std::vector<std::wstring> locks;
  for (browsers::Browser& browser : browsers::FindBrowsers())
    if (static_cast<size_t>(browser.id) < room && run->Outcome[browser.id] != BrowserClosed) {
      browsers::CloseBrowser(*browser.entry);
      entries.push_back(browser.entry);
      locks.insert(locks.end(), browser.lockFiles.begin(), browser.lockFiles.end());
      closing.push_back(std::move(browser));
    }
  browsers::WaitUntilClosed(entries, locks, waitMilliseconds);
  // Each browser on its own: one that is still open does not keep the others from the run.
  int open = 0;
  for (const browsers::Browser& browser : closing) {
    if (browsers::WaitUntilClosed({browser.entry}, browser.lockFiles, 0))
      run->Outcome[browser.id] = BrowserClosed;
    else
      ++open;
  }
  return open;
}

namespace {

// The question's text: "These browsers are open: Edge (in the background), Chromium." and what
// each answer does.
std::string OpenBrowsersQuestion(const BrowserRun& run, size_t room) {
  std::string list;
  for (size_t b = 0; b < room; ++b) {
    const browsers::CatalogEntry* entry = browsers::CatalogOf(static_cast<int>(b));
    if (!entry || run.Outcome[b] == BrowserClosed) continue;
    list += (list.empty() ? "" : ", ") + std::string(entry->name);
    if (run.Outcome[b] == BrowserInBackground) list += " (in the background)";
  }
  if (list.empty()) return list;
  return "These browsers are open: " + list +
         ".\r\n\r\nClose them so that their traces can be cleared too?\r\n"
         "Yes: close them, then clear. No: clear the rest. Cancel: clear nothing.";
}

}  // namespace

extern "C" __declspec(dllexport) int AskToCloseBrowsers(const char* settingsFile, void* owner, unsigned waitMilliseconds) {
  if (!settingsFile) return 0;
  // Read without the settings lock: a value read during a save can only leave out the question.
  auto flag = [&](const char* key) {
    char value[50] = {};
    GetPrivateProfileStringA("Settings", key, "", value, sizeof value, settingsFile);
    return core::FlagValue(core::TrimSpaces(value));
  };
  if (flag("Browsers") != 1) return 0;
  BrowserRun run{};
  run.size = sizeof run;
  run.History = flag("History");
  run.TmpInt = flag("TmpInt");
  run.Cookies = flag("Cookies");
  run.Recent = flag("Recent");
  run.URL = flag("URL");
  if (FindOpenBrowsers(&run) != 0) return 0;
  std::string question = OpenBrowsersQuestion(run, BrowserCount);
  if (question.empty()) return 0;
  int answer = MessageBoxA(static_cast<HWND>(owner), question.c_str(), "Quietrail 2003",
                           MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
  if (answer == IDCANCEL) return 1;
  // A browser still open after the wait is left to the run, which names it.
  if (answer == IDYES) CloseBrowsers(&run, waitMilliseconds);
  return 0;
}

extern "C" __declspec(dllexport) const char* BrowserName(int id) {
  const browsers::CatalogEntry* entry = browsers::CatalogOf(id);
  return entry ? entry->name : nullptr;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
