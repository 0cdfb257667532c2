#include "openbrowsers.h"

#include "browsers.h"
#include "programs.h"
#include "raii.h"
#include "values.h"

namespace winapp {

namespace {

// How long the browsers get to save their sessions and let go of their profiles.
constexpr unsigned CloseWaitMilliseconds = 10000;

// A procedure of the module, typed.
template <typename Proc>
Proc Find(const Module& module, const char* name) {
  return module ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module.get(), name))) : nullptr;
}

}  // namespace

std::string OpenBrowsersQuestion(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return "These browsers are open: " + list +
         ".\r\n\r\nClose them so that their traces can be cleared too?\r\n"
         "Yes: close them, then clear. No: clear the rest. Cancel: clear nothing.";
}

bool ReadyBrowsersForRun(HWND owner, const std::string& folder) {
  // Read without the settings lock: the tray takes nothing else of the settings kit, and a value
  // read during a save can only leave out the question, never a file.
  std::string settings = folder + "\\" + SettingsFileName;
  auto flag = [&](const char* key) {
    char value[50] = {};
    GetPrivateProfileStringA("Settings", key, "", value, sizeof value, settings.c_str());
    return core::FlagValue(core::TrimSpaces(value));
  };
  if (flag("Browsers") != 1) return true;
  BrowserRun run{};
  run.size = sizeof run;
  run.History = flag("History");
  run.TmpInt = flag("TmpInt");
  run.Cookies = flag("Cookies");
  run.Recent = flag("Recent");
  run.URL = flag("URL");

  Module module(LoadLibraryExA((folder + "\\browsers.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  auto find = Find<FindOpenBrowsersProc>(module, FIND_OPEN_BROWSERS_EXPORT);
  auto close = Find<CloseBrowsersProc>(module, CLOSE_BROWSERS_EXPORT);
  auto name = Find<BrowserNameProc>(module, BROWSER_NAME_EXPORT);
  if (!find || !close || !name || find(&run) != 0) return true;
  std::vector<std::string> names;
  for (int b = 0; b < BrowserCount; ++b) {
    const char* known = name(b);
    if (run.Outcome[b] == BrowserClosed || !known) continue;
    names.push_back(std::string(known) + (run.Outcome[b] == BrowserInBackground ? " (in the background)" : ""));
  }
  if (names.empty()) return true;
  int answer = MessageBoxA(owner, OpenBrowsersQuestion(names).c_str(), "Quietrail 2003",
                           MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
  if (answer == IDCANCEL) return false;
  // A browser still open after the wait is left to the run, which names it.
  if (answer == IDYES) close(&run, CloseWaitMilliseconds);
  return true;
}

}  // namespace winapp
