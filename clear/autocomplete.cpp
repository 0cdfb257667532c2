#include <windows.h>

#include "cleaners.h"
#include "raii.h"

std::string DeleteRegistryKey(HKEY root, const char* path) {
  // Opens the root itself, deletes the key below it; a step that fails does not stop the next.
  winapp::RegKey key;
  LONG opened = RegOpenKeyExA(root, "", 0, KEY_ALL_ACCESS, key.put());
  LONG deleted = RegDeleteKeyA(key.get(), path);
  (void)opened;
  (void)deleted;
  return {};
}

void ClearTypedUrlList(Tally* tally, bool countOnly) {
  const char* path = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
  DWORD values = 0;
  {
    winapp::RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      values = 0;
  }
  if (!countOnly) {
    DeleteRegistryKey(HKEY_CURRENT_USER, path);
    // Counted only when the key is really gone.
    winapp::RegKey left;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, left.put()) == ERROR_SUCCESS) return;
  }
  if (tally) tally->items += values;
}
