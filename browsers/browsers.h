// The interface of browsers.dll: the clearing run hands it the user's choices and the cookie
// keep-rule, and learns per browser whether it was cleared or had to be left alone.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// The browsers the module knows, in the order a run reports them.
enum BrowserId {
  BrowserChrome,
  BrowserEdge,
  BrowserBrave,
  BrowserVivaldi,
  BrowserOpera,
  BrowserOperaGX,
  BrowserChromium,
  BrowserFirefox,
  BrowserCount
};

// What a run did with one browser.
enum BrowserOutcome {
  BrowserNotFound = 0,  // no profile of it on this machine
  BrowserCleared = 1,   // every chosen trace erased
  BrowserRunning = 2,   // in use: nothing in it was changed
  BrowserDamaged = 3,   // a database it needs is damaged: nothing in it was changed
  BrowserFailed = 4     // a change could not be made; each database is as before or cleared whole
};

// Whether the cookies of `host` are kept (the keep-list's rule); called on the run's thread.
typedef int (*BrowserKeepCookie)(void* context, const char* host);

struct BrowserRun {
  unsigned size;  // sizeof(BrowserRun), so the module can tell an older caller
  // The five choices of the settings file, each 1 to erase that kind of trace.
  int History, TmpInt, Cookies, Recent, URL;
  BrowserKeepCookie KeepCookie;  // null keeps no cookie
  void* KeepContext;
  unsigned char Outcome[BrowserCount];  // filled by the module, one BrowserOutcome a browser
};

// Clears every profile of every browser found for the current user. Returns 0 when it ran
// (whatever the outcomes), another value for a record it cannot read.
typedef int (*ClearBrowsersProc)(struct BrowserRun* run);
#define CLEAR_BROWSERS_EXPORT "ClearBrowsers"

#ifdef __cplusplus
}
#endif
