#include "openbrowsers.h"

#include "browsers.h"
#include "programs.h"
#include "raii.h"

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

bool ReadyBrowsersForRun(HWND owner, const std::string& folder) {
  // The module is loaded only where the browsers may be chosen: a missing, empty or "0" value
  // leaves it out at once (the module itself reads the value as the run does).
  std::string settings = folder + "\\" + SettingsFileName;
  char browsers[8] = {};
  GetPrivateProfileStringA("Settings", "Browsers", "", browsers, sizeof browsers, settings.c_str());
  if (!browsers[0] || !lstrcmpA(browsers, "0")) return true;
  Module module(LoadLibraryExA((folder + "\\browsers.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  auto ask = Find<AskToCloseBrowsersProc>(module, ASK_TO_CLOSE_BROWSERS_EXPORT);
  return !ask || ask(settings.c_str(), owner, CloseWaitMilliseconds) == 0;
}

}  // namespace winapp
