#include <windows.h>
#include <shlobj.h>

#include "cleaners.h"
#include "raii.h"

void ClearRecentDocsList() {
  SHAddToRecentDocs(SHARD_PATHA, nullptr);

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
    DeleteFileA((folder + "\\" + data.cFileName).c_str());
  } while (FindNextFileA(found.get(), &data));
}
