// The trace cleaners behind the progress window: each is a thin piece of code over one Windows
// facility, and none of them shows or reports anything.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "urlcache.h"
#include "browsers.h"

class NameList;

// What one step erased, or what counting finds it would erase: items (entries, files, values),
// their bytes where they have any, and the cookies the keep-list spared.
struct Tally {
  unsigned long long items = 0, bytes = 0, kept = 0;
};

// history: empties the browser's URL history through the platform's URL history object.
// Returns the result of creating that object (0 when it was created and asked to clear).
HRESULT ClearUrlHistory();

// recDocs: empties the user's recent-documents list, shortcut files included. With `countOnly`
// the same shortcuts are only counted.
void ClearRecentDocsList(Tally* tally = nullptr, bool countOnly = false);

// autocomplete: deletes a registry key with its values; every error is ignored.
std::string DeleteRegistryKey(HKEY root, const char* path);

// The typed addresses: the key deleted (unless `countOnly`), its values counted.
void ClearTypedUrlList(Tally* tally = nullptr, bool countOnly = false);

// tmpInt: every entry of the platform's URL cache with its size (a walk of all its containers;
// the run's walk, or Analyze's reading of the same entries).
void FillCacheNames(NameList& names, winapp::CacheWalk how = winapp::CacheWalk::Probed);
// The two cache steps over one walk: the temporary files, and the cookies that the keep-list
// (`upperEntries`) does not keep. Each deletes its entries, or with `countOnly` only counts them.
void ClearTemporaryEntries(const NameList& names, Tally& tally, bool countOnly = false);
void ClearCookieEntries(const NameList& names, const std::vector<std::string>& upperEntries, Tally& tally,
                        bool countOnly = false);
// The cookie keep-list of the program folder in upper case; false when it cannot be made or read
// (then it could be protecting any cookie, and none is to be deleted). Without `make`, a missing
// list is read as the empty one a run would make, and nothing is written.
bool ReadKeepList(const std::string& folder, std::vector<std::string>& upperEntries, bool make = true);

// tmpInt: which cache entries each cache step takes.
// The temporary-files step takes every name without "Cookie" in it (letter case counts).
bool IsTemporaryFileEntry(std::string_view name);
// The cookie step's entries and the keep-list's rule (shared with the panel's list of sites).
using winapp::IsCookieEntry;
using winapp::IsExcluded;
using winapp::UpperCase;
using winapp::UpperCaseEntries;

// otherBrowsers: the run's five choices applied to today's browsers through browsers.dll in the
// program folder `folder`. Returns the line that names the browsers left alone (open, damaged or
// not cleared completely), empty when there is none.
struct BrowserFlags {
  short History, TmpInt, Cookies, Recent, URL;
};
// With `tally`, the counts of what it erased go there (tally->size is 0 when the module could not
// count); with `countOnly` as well, the module only counts, and the line names the browsers a run
// would have to leave alone.
// `outcomes` (BrowserCount of them), when given, receives each browser's outcome.
std::string ClearOtherBrowsers(const std::string& folder, const BrowserFlags& flags, BrowserTally* tally = nullptr,
                               bool countOnly = false, unsigned char* outcomes = nullptr);

// The line of result shown with "Done": "Cleared 12,345 items, 1.2 MB; 38 cookies kept".
std::string ResultLine(unsigned long long items, unsigned long long bytes, unsigned long long kept);
// 12,345
std::string Grouped(unsigned long long n);
// 0 bytes, 980 bytes, 12.5 KB, 1.2 MB, 3.0 GB
std::string ByteSize(unsigned long long bytes);
// A browser's counts added up: every row and file it erased, its bytes, its kept cookies.
Tally BrowserTotal(const BrowserCounts& counts);
// That line for one outcome per browser (browsers.h).
std::string SkippedBrowsersLine(const unsigned char* outcome);
