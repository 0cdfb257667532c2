#include <windows.h>
#include <wininet.h>

#include "cleaners.h"
#include "nameList.h"
#include "raii.h"
#include "settings.h"

bool IsTemporaryFileEntry(std::string_view name) { return name.find("Cookie") == std::string_view::npos; }

void FillCacheNames(NameList& names, winapp::CacheWalk how) {
  names.Clear();
  winapp::WalkUrlCache([&names](const INTERNET_CACHE_ENTRY_INFOA& entry) {
    if ((entry.CacheEntryType & NORMAL_CACHE_ENTRY) && entry.lpszSourceUrlName)
      names.AddItem(entry.lpszSourceUrlName, (static_cast<unsigned long long>(entry.dwSizeHigh) << 32) | entry.dwSizeLow);
  }, how);
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
