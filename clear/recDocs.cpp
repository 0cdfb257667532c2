#include <windows.h>
#include <shlobj.h>

#include "cleaners.h"
#include "raii.h"

void ClearRecentDocsList(Tally* tally, bool countOnly) {
  if (!countOnly) SHAddToRecentDocs(SHARD_PATHA, nullptr);

  // The shell empties the list, but not every shell removes the shortcuts of the user's Recent
  // folder with it; they are the list as the user sees it, so they go too.
  char recent[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, recent)) || !recent[0])
    return;
  std::string folder = recent;
  WIN32_FIND_DATAA data;
  winapp::FindHandle found(FindFirstFileA((folder + "\\*.lnk").c_str(), &data));
  if (!found) return;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (!countOnly && !DeleteFileA((folder + "\\" + data.cFileName).c_str())) continue;
    if (tally) {
      ++tally->items;
      tally->bytes += (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  } while (FindNextFileA(found.get(), &data));
}
