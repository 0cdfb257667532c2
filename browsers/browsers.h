// The interface of browsers.dll: the clearing run hands it the user's choices and the cookie
// keep-rule, and learns per browser whether it was cleared or had to be left alone; the panel and
// the tray ask it which browsers to be cleared are open, and have it close them.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// The browsers the module knows. The numbers stay as they are once given: a module newer than its
// caller reports by them, so a new browser only ever gets the next number.
enum BrowserId {
  BrowserChrome,
  BrowserEdge,
  BrowserBrave,
  BrowserVivaldi,
  BrowserOpera,
  BrowserOperaGX,
  BrowserChromium,
  BrowserFirefox,
  BrowserChromeBeta,
  BrowserChromeDev,
  BrowserChromeCanary,
  BrowserEdgeBeta,
  BrowserEdgeDev,
  BrowserEdgeCanary,
  BrowserLibreWolf,
  BrowserWaterfox,
  BrowserFloorp,
  BrowserZen,
  BrowserCount
};

// The outcomes a caller built before the channel builds and forks had room for.
#define BROWSER_FIRST_COUNT 8

// What a run did with one browser.
enum BrowserOutcome {
  BrowserNotFound = 0,  // no profile of it on this machine
  BrowserCleared = 1,   // every chosen trace erased
  BrowserRunning = 2,   // in use: nothing in it was changed
  BrowserDamaged = 3,   // a database it needs is damaged: nothing in it was changed
  BrowserFailed = 4,    // a change could not be made; each database is as before or cleared whole
  BrowserRefused = 5    // its data folder leads elsewhere (a link to another's or a far folder): untouched
};

// Whether the cookies of `host` are kept (the keep-list's rule); called on the run's thread.
typedef int (*BrowserKeepCookie)(void* context, const char* host);

struct BrowserRun {
  unsigned size;  // sizeof(BrowserRun), so the module can tell an older caller
  // The five choices of the settings file, each 1 to erase that kind of trace.
  int History, TmpInt, Cookies, Recent, URL;
  BrowserKeepCookie KeepCookie;  // null keeps no cookie
  void* KeepContext;
  // Filled by the module, one BrowserOutcome a browser. A caller whose record ends after the
  // first BROWSER_FIRST_COUNT learns of those alone (the others are still cleared).
  unsigned char Outcome[BrowserCount];
};

// Clears every profile of every browser found for the current user. Returns 0 when it ran
// (whatever the outcomes), another value for a record it cannot read.
typedef int (*ClearBrowsersProc)(struct BrowserRun* run);
#define CLEAR_BROWSERS_EXPORT "ClearBrowsers"

// What a run erased in one browser, or what CountBrowsers finds a run would erase: rows of its
// databases (addresses, visits, cookies, and every other row a choice takes), files removed with
// their bytes, and the cookies the keep-list spared. Site data is counted apart (BrowserSites).
struct BrowserCounts {
  unsigned long long Pages, Visits, Cookies, CookiesKept, Rows, Files, Bytes;
};

// The sites of one browser that keep data besides cookies (Local Storage, IndexedDB, service
// workers...), counted by host name, each host once across the browser's profiles: those whose
// site data the run erases, and those whose data the keep-list keeps.
struct BrowserSites {
  unsigned long long Sites, SitesKept;
};

// Counts for every browser, beside a BrowserRun. `size` is sizeof(BrowserTally) as the caller knows
// it: a record with room for fewer browsers gets the counts of those it has room for, and one
// that ends before `Sites` (an older caller's) no count of sites.
struct BrowserTally {
  unsigned size;
  struct BrowserCounts Browser[BrowserCount];
  struct BrowserSites Sites[BrowserCount];
};

// ClearBrowsers that also counts what it erased. A module without this export clears as
// ClearBrowsers does and counts nothing. Returns 1 for a record it cannot read.
typedef int (*ClearBrowsersCountedProc)(struct BrowserRun* run, struct BrowserTally* tally);
#define CLEAR_BROWSERS_COUNTED_EXPORT "ClearBrowsersCounted"

// What ClearBrowsersCounted would do now, changing nothing: the same choices, keep rule, files and
// statements, the databases read from copies made in memory and every folder only listed. Outcome
// says per browser what the run would meet (BrowserRunning for one that is open).
typedef int (*CountBrowsersProc)(struct BrowserRun* run, struct BrowserTally* tally);
#define COUNT_BROWSERS_EXPORT "CountBrowsers"

// How a browser runs for this user in this session.
enum BrowserOpenState {
  BrowserClosed = 0,
  BrowserInWindows = 1,     // at least one of its windows is on the screen
  BrowserInBackground = 2,  // it runs with no window shown (started at sign-in, background apps)
};

// The browsers that a run with these choices would clear and that run now. The choices are read
// from a BrowserRun (KeepCookie unused); Outcome is filled with one BrowserOpenState a browser.
typedef int (*FindOpenBrowsersProc)(struct BrowserRun* run);
#define FIND_OPEN_BROWSERS_EXPORT "FindOpenBrowsers"

// Closes the browsers whose Outcome is not BrowserClosed, as FindOpenBrowsers filled it: those
// with windows get the ordinary close (WM_CLOSE to each window, after which the browser saves
// its session as at any close); those in the background have their processes ended. Then waits,
// at most `waitMilliseconds` while keeping the caller's windows painted, until each has let go
// of its profile. Outcome is left as BrowserClosed for those that have, and as they were for
// those still running. Returns 0 when every one has closed.
typedef int (*CloseBrowsersProc)(struct BrowserRun* run, unsigned waitMilliseconds);
#define CLOSE_BROWSERS_EXPORT "CloseBrowsers"

// The question before a run started from a window: reads the choices of the settings file
// `settingsFile` (quietrail.ini, section [Settings]); with `Browsers` = 1 finds the browsers that a
// run with those choices would clear and that are open, names them in one Yes/No/Cancel message
// box owned by `owner`, and on Yes closes them as CloseBrowsers does. Returns 0 when the run is to
// start (Yes, No, the browsers not chosen, nothing open), 1 when the user cancelled.
typedef int (*AskToCloseBrowsersProc)(const char* settingsFile, void* owner, unsigned waitMilliseconds);
#define ASK_TO_CLOSE_BROWSERS_EXPORT "AskToCloseBrowsers"

// One site that has cookies now: its name (lower case, leading dots and "www." dropped), how many
// cookies it has, and whether the keep-list keeps every one of them (1) or not (0).
typedef void (*CookieSiteFound)(void* context, const char* site, unsigned long cookies, int kept);
// The sites that have cookies now, for the keep-list's picker, each once and sorted by name: the
// platform's cookies (the URL cache's cookie entries, as a clearing run's cookie step takes them)
// and, with `Browsers` = 1 in `settingsFile`, every profile of every browser found, each cookie
// database only read and left byte for byte as it was. `listText` is the exclusion list's text
// as an editor holds it: a site counts as kept when a run, with that text saved, would keep all
// its cookies. The run's Outcome gets, per browser: BrowserNotFound (no cookie database),
// BrowserCleared (read whole), BrowserRunning (held by the running browser: not read),
// BrowserDamaged (unreadable, or of a layout not known), BrowserRefused (its data folder leads
// elsewhere). Returns 0 when it ran.
typedef int (*ListCookieSitesProc)(const char* settingsFile, const char* listText, struct BrowserRun* run,
                                   CookieSiteFound found, void* context);
#define LIST_COOKIE_SITES_EXPORT "ListCookieSites"

// The browser's name as the windows give it ("Chrome Beta"); null for a number it does not know.
typedef const char* (*BrowserNameProc)(int id);
#define BROWSER_NAME_EXPORT "BrowserName"

#ifdef __cplusplus
}
#endif
