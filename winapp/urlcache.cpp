#include "urlcache.h"

#include <cstring>
#include <vector>

#include "raii.h"

namespace winapp {

// The walk works on the platform's own record; on 32-bit Windows it is the 80-byte record the
// cache functions have always filled.
#ifndef _WIN64
static_assert(sizeof(INTERNET_CACHE_ENTRY_INFOA) == 80, "the 32-bit cache entry record");
#endif

namespace {

void ReadUrlCache(const std::function<void(const INTERNET_CACHE_ENTRY_INFOA&)>& each) {
  // 8-byte units keep the record's pointers aligned. Most entries fit the first 4 KB; one that
  // does not is fetched again once, into a block of the size the platform named. A platform that
  // names no larger size, or asks again, ends the walk as a failed fetch does.
  std::vector<unsigned long long> block(4096 / sizeof(unsigned long long));
  UrlCacheFind find;
  for (bool grown = false;;) {
    auto* record = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.data());
    DWORD room = static_cast<DWORD>(block.size() * sizeof block[0]), size = room;
    record->dwStructSize = size;
    // No handle yet: the first entry is still to be fetched.
    bool fetched = find ? FindNextUrlCacheEntryA(find.get(), record, &size) != FALSE
                        : (find.reset(FindFirstUrlCacheEntryA(nullptr, record, &size)), static_cast<bool>(find));
    if (fetched) {
      each(*record);
      grown = false;
      continue;
    }
    if (grown || GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= room || size > (64u << 20)) return;
    block.assign((size + sizeof block[0] - 1) / sizeof block[0], 0);
    grown = true;
  }
}

}  // namespace

void WalkUrlCache(const std::function<void(const INTERNET_CACHE_ENTRY_INFOA&)>& each, CacheWalk how) {
  if (how == CacheWalk::Read) return ReadUrlCache(each);
  // One block per entry, sized exactly by a probe and freed before the next entry is fetched.
  DWORD size = 0;
  UrlCacheFind find(FindFirstUrlCacheEntryA(nullptr, nullptr, &size));
  if (find || GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(INTERNET_CACHE_ENTRY_INFOA))
    return;
  LocalBlock block(LocalAlloc(LMEM_FIXED, size));
  if (!block) return;
  auto* record = static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.get());
  record->dwStructSize = size;
  find.reset(FindFirstUrlCacheEntryA(nullptr, record, &size));
  if (!find) return;
  for (;;) {
    INTERNET_CACHE_ENTRY_INFOA entry;
    std::memcpy(&entry, block.get(), sizeof entry);
    each(entry);
    block.reset();
    size = 0;
    FindNextUrlCacheEntryA(find.get(), nullptr, &size);
    if (size == 0) break;
    if (size < sizeof(INTERNET_CACHE_ENTRY_INFOA)) break;
    block.reset(LocalAlloc(LMEM_FIXED, size));
    if (!block) break;
    record = static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.get());
    record->dwStructSize = size;
    if (!FindNextUrlCacheEntryA(find.get(), record, &size)) break;
  }
}

bool IsCookieEntry(std::string_view name) { return name.substr(0, 6) == "Cookie"; }

std::string_view CookieEntryHost(std::string_view name) {
  if (!IsCookieEntry(name)) return {};
  size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {};
  name.remove_prefix(colon + 1);
  if (size_t at = name.find('@'); at != std::string_view::npos) name.remove_prefix(at + 1);
  return name.substr(0, name.find('/'));
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  if (!upper.empty()) CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

std::vector<std::string> UpperCaseEntries(const std::vector<std::string>& entries) {
  std::vector<std::string> upper;
  upper.reserve(entries.size());
  for (const std::string& e : entries) upper.push_back(UpperCase(e));
  return upper;
}

bool IsExcluded(std::string_view name, const std::vector<std::string>& upperEntries) {
  if (upperEntries.empty()) return false;
  std::string upperName = UpperCase(name);
  // An empty entry (a trailing comma, as the editor's own example "yahoo," has, or an empty
  // line) names no site: it would otherwise occur in every name and spare every cookie. The
  // first entry that occurs decides: the later ones cannot clear the mark.
  for (const std::string& entry : upperEntries)
    if (!entry.empty() && upperName.find(entry) != std::string::npos) return true;
  return false;
}

}  // namespace winapp
