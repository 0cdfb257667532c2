// Stand-in for browsers.dll that tells whether the clearing run holds the module's lock while it
// calls in: another thread cannot take it then. 0 when it was held, 1 when it was free.
#include <windows.h>

#include <string>
#include <thread>

#include "browsers.h"
#include "modulelock.h"

extern "C" __declspec(dllexport) int ClearBrowsers(BrowserRun* run) {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ClearBrowsers), &self);
  char path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
  std::string folder(path, length);
  folder.resize(folder.find_last_of('\\'));
  bool held = false;
  std::thread probe([&] { held = !winapp::BrowsersModuleLock(folder, 0).Held(); });
  probe.join();
  for (unsigned char& outcome : run->Outcome) outcome = 0;
  return held ? 0 : 1;
}

// A module that counts: fixed counts for Chrome, the same whether it clears or only counts.
namespace {
int Counted(BrowserRun* run, BrowserTally* tally) {
  for (unsigned char& outcome : run->Outcome) outcome = BrowserNotFound;
  *tally = BrowserTally{sizeof *tally, {}};
  run->Outcome[BrowserChrome] = BrowserCleared;
  tally->Browser[BrowserChrome] = {12345, 123456, 10000, 38, 12345, 20000, 1288490189};
  tally->Sites[BrowserChrome] = {1234, 12};
  run->Outcome[BrowserFirefox] = BrowserRunning;
  return 0;
}
}  // namespace

extern "C" __declspec(dllexport) int ClearBrowsersCounted(BrowserRun* run, BrowserTally* tally) { return Counted(run, tally); }
extern "C" __declspec(dllexport) int CountBrowsers(BrowserRun* run, BrowserTally* tally) { return Counted(run, tally); }
