#include "test_cache.h"

#include <windows.h>
#include <wininet.h>

namespace testcache {

namespace {

bool Seed(const std::string& url, const char* extension, DWORD type, const std::string& body,
          const std::string& headers = {}) {
  char file[MAX_PATH] = {};
  if (!CreateUrlCacheEntryA(url.c_str(), 0, extension, file, 0)) return false;
  HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &put, nullptr);
  CloseHandle(h);
  FILETIME none{};
  return CommitUrlCacheEntryA(url.c_str(), file, none, none, type,
                              headers.empty() ? nullptr : reinterpret_cast<BYTE*>(const_cast<char*>(headers.data())),
                              static_cast<DWORD>(headers.size()), nullptr, nullptr) != FALSE;
}

template <class Keep>
std::vector<std::string> Walk(Keep keep) {
  std::vector<std::string> names;
  std::vector<char> buffer(64 * 1024);
  DWORD size = static_cast<DWORD>(buffer.size());
  auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
  HANDLE find = FindFirstUrlCacheEntryA(nullptr, info, &size);
  if (!find) return names;
  do {
    if (keep(*info)) names.emplace_back(info->lpszSourceUrlName);
    size = static_cast<DWORD>(buffer.size());
  } while (FindNextUrlCacheEntryA(find, info, &size));
  FindCloseUrlCache(find);
  return names;
}

}  // namespace

bool SeedContent(const std::string& url, const std::string& headers) {
  return Seed(url, "htm", NORMAL_CACHE_ENTRY, "<html>cached</html>", headers);
}

bool SeedCookie(const std::string& name) {
  return Seed(name, "txt", NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, "id\n42\nexample.com/\n0\n");
}

std::vector<std::string> AllEntries() {
  return Walk([](const INTERNET_CACHE_ENTRY_INFOA&) { return true; });
}

std::vector<std::string> NormalEntries() {
  return Walk([](const INTERNET_CACHE_ENTRY_INFOA& e) { return (e.CacheEntryType & NORMAL_CACHE_ENTRY) != 0; });
}

void EmptyCache() {
  for (const std::string& name : AllEntries()) DeleteUrlCacheEntryA(name.c_str());
}

}  // namespace testcache
