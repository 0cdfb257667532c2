// The trace cleaners behind the progress window: each is a thin piece of code over one Windows
// facility, and none of them shows or reports anything.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "urlcache.h"

// history: empties the browser's URL history through the platform's URL history object.
// Returns the result of creating that object (0 when it was created and asked to clear).
HRESULT ClearUrlHistory();

// recDocs: empties the user's recent-documents list, shortcut files included.
void ClearRecentDocsList();

// autocomplete: deletes a registry key with its values; every error is ignored.
std::string DeleteRegistryKey(HKEY root, const char* path);

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
std::string ClearOtherBrowsers(const std::string& folder, const BrowserFlags& flags);
// That line for one outcome per browser (browsers.h).
std::string SkippedBrowsersLine(const unsigned char* outcome);
