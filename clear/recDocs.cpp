#include <windows.h>
#include <shlobj.h>

#include <utility>
#include <vector>

#include "cleaners.h"
#include "raii.h"

void ClearRecentDocsList(Tally* tally, bool countOnly) {
  // The shortcuts of the user's Recent folder are the list as the user sees it. They are listed
  // before the shell empties its list: some shells remove them with it, and they count as erased
  // all the same; the rest go here.
  std::vector<std::pair<std::string, unsigned long long>> shortcuts;
  char recent[MAX_PATH] = {};
  std::string folder;
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, recent)) && recent[0]) {
    folder = recent;
    WIN32_FIND_DATAA data;
    winapp::FindHandle found(FindFirstFileA((folder + "\\*.lnk").c_str(), &data));
    if (found) do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
          shortcuts.emplace_back(data.cFileName, (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
      } while (FindNextFileA(found.get(), &data));
  }
  if (!countOnly) SHAddToRecentDocs(SHARD_PATHA, nullptr);
  for (const auto& [name, size] : shortcuts) {
    if (!countOnly && !DeleteFileA((folder + "\\" + name).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) continue;
    if (tally) {
      ++tally->items;
      tally->bytes += size;
    }
  }
}
