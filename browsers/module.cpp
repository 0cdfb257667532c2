// browsers.dll: clears the profiles of today's browsers for a clearing run. Loaded by the run only
// when the settings ask for it, so that the database engine it carries costs nothing otherwise.
#include <windows.h>

#include <cstddef>

#include "browsers.h"
#include "clean.h"
#include "profiles.h"

extern "C" __declspec(dllexport) int ClearBrowsers(BrowserRun* run) {
  if (!run || run->size < offsetof(BrowserRun, Outcome) + sizeof run->Outcome) return 1;
  browsers::Choices choices;
  const struct {
    int BrowserRun::*flag;
    unsigned choice;
  } flags[] = {{&BrowserRun::History, browsers::ChooseHistory}, {&BrowserRun::TmpInt, browsers::ChooseTmpInt},
               {&BrowserRun::Cookies, browsers::ChooseCookies}, {&BrowserRun::Recent, browsers::ChooseRecent},
               {&BrowserRun::URL, browsers::ChooseUrl}};
  for (const auto& f : flags)
    if (run->*f.flag == 1) choices.chosen |= f.choice;
  choices.keepCookie = run->KeepCookie;
  choices.keepContext = run->KeepContext;
  for (unsigned char& outcome : run->Outcome) outcome = BrowserNotFound;
  for (const browsers::Browser& browser : browsers::FindBrowsers())
    run->Outcome[browser.id] = static_cast<unsigned char>(browsers::CleanBrowser(browser, choices));
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
