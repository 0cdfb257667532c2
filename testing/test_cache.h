// Seeding and reading the user's URL cache for tests and benchmarks, through the platform's
// own cache functions.
#pragma once

#include <string>
#include <vector>

namespace testcache {

// A content entry, as a browser stores a downloaded page or picture (with the response's
// headers, when given, in its record).
bool SeedContent(const std::string& url, const std::string& headers = {});
// A cookie entry "Cookie:user@host/path", stored with NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY.
bool SeedCookie(const std::string& name);
// Every entry name of every container (content, cookies, history), in the platform's order.
std::vector<std::string> AllEntries();
// Names of entries with the NORMAL_CACHE_ENTRY bit.
std::vector<std::string> NormalEntries();
// Deletes every entry.
void EmptyCache();

}  // namespace testcache
