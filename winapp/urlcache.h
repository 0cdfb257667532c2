// The user's URL cache, walked once for every step that needs its entries: the clearing run's
// temporary-files and cookie steps, and the panel's list of sites with cookies.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace winapp {

// How a walk fetches the entries. `Probed`, the clearing run's: each entry's size asked first, then
// the entry fetched into a block of exactly that size, freed before the next. `Read`, for walks
// that only look (Analyze, the list of sites): one block kept for the whole walk and grown when an
// entry does not fit, so that an entry costs one call instead of two; the entries are the same.
enum class CacheWalk { Probed, Read };

// Calls `each` with every entry of every container (content, cookies, history) in the platform's
// order; the record and its strings live only during the call.
void WalkUrlCache(const std::function<void(const INTERNET_CACHE_ENTRY_INFOA&)>& each,
                  CacheWalk how = CacheWalk::Probed);

// The cookie step takes names that begin with "Cookie" (letter case counts).
bool IsCookieEntry(std::string_view name);
// The host of a cookie entry "Cookie:user@host/path" (the part after the '@' and before the
// path); empty for a name that is not one.
std::string_view CookieEntryHost(std::string_view name);

// The keep-list's rule, one for the platform's cookies and the browsers': a name is kept when any
// entry occurs in it, letter case ignored; an empty entry keeps nothing.
std::string UpperCase(std::string_view text);
// Exclusion entries in upper case, ready for matching.
std::vector<std::string> UpperCaseEntries(const std::vector<std::string>& entries);
// True when any entry occurs in the name. `upperEntries` come from UpperCaseEntries.
bool IsExcluded(std::string_view name, const std::vector<std::string>& upperEntries);

}  // namespace winapp
