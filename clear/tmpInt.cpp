#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "cleaners.h"
#include "nameList.h"
#include "raii.h"
#include "settings.h"

bool IsTemporaryFileEntry(std::string_view name) { return name.find("Cookie") == std::string_view::npos; }

bool IsCookieEntry(std::string_view name) { return name.substr(0, 6) == "Cookie"; }

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

// The cache walk works on the platform's own record; on 32-bit Windows it is the 80-byte record
// the cache functions have always filled.
#ifndef _WIN64
static_assert(sizeof(INTERNET_CACHE_ENTRY_INFOA) == 80, "the 32-bit cache entry record");
#endif

void FillCacheNames(NameList& names) {
  names.Clear();
  // One block per entry, sized exactly by a probe and freed before the next entry is fetched.
  DWORD size = 0;
  winapp::UrlCacheFind find(FindFirstUrlCacheEntryA(nullptr, nullptr, &size));
  if (find || GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(INTERNET_CACHE_ENTRY_INFOA))
    return;
  winapp::LocalBlock block(LocalAlloc(LMEM_FIXED, size));
  if (!block) return;
  auto* record = static_cast<INTERNET_CACHE_ENTRY_INFOA*>(block.get());
  record->dwStructSize = size;
  find.reset(FindFirstUrlCacheEntryA(nullptr, record, &size));
  if (!find) return;
  for (;;) {
    INTERNET_CACHE_ENTRY_INFOA entry;
    std::memcpy(&entry, block.get(), sizeof entry);
    if ((entry.CacheEntryType & NORMAL_CACHE_ENTRY) && entry.lpszSourceUrlName)
      names.AddItem(entry.lpszSourceUrlName, (static_cast<unsigned long long>(entry.dwSizeHigh) << 32) | entry.dwSizeLow);
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

namespace {

// An entry deleted, or only counted; counted once it is gone.
void Take(const NameList& names, int i, Tally& tally, bool countOnly) {
  if (!countOnly && !DeleteUrlCacheEntryA(names.List(i).data())) return;
  ++tally.items;
  tally.bytes += names.Size(i);
}

}  // namespace

void ClearTemporaryEntries(const NameList& names, Tally& tally, bool countOnly) {
  for (int i = 0, count = names.ListCount(); i < count; ++i)
    if (IsTemporaryFileEntry(names.List(i))) Take(names, i, tally, countOnly);
}

void ClearCookieEntries(const NameList& names, const std::vector<std::string>& upperEntries, Tally& tally,
                        bool countOnly) {
  for (int i = 0, count = names.ListCount(); i < count; ++i) {
    std::string_view name = names.List(i);
    if (!IsCookieEntry(name)) continue;
    if (IsExcluded(name, upperEntries))
      ++tally.kept;
    else
      Take(names, i, tally, countOnly);
  }
}

bool ReadKeepList(const std::string& folder, std::vector<std::string>& upperEntries, bool make) {
  std::string path = folder + "\\" + winapp::ExcludeFileName;
  upperEntries.clear();
  if (!make && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
    return true;
  // Made only where there is none: a list the panel saves at this moment is never emptied.
  if (make && !winapp::CreateFileIfMissing(path)) return false;
  auto text = winapp::ReadExclusionText(path);
  if (!text) return false;
  upperEntries = UpperCaseEntries(winapp::SplitAtCommas(*text));
  return true;
}
