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
