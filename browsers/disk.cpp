#include "disk.h"

#include <windows.h>
#include <shlobj.h>

namespace browsers {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring UserFolder(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, path)))
    return {};
  return path;
}

namespace {
DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

// A real folder, not a link or junction to one elsewhere.
bool IsPlainFolder(const WIN32_FIND_DATAW& found) {
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsDots(const wchar_t* name) { return !wcscmp(name, L".") || !wcscmp(name, L".."); }

struct Find {
  HANDLE h;
  explicit Find(HANDLE handle) : h(handle) {}
  ~Find() {
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
  }
  Find(const Find&) = delete;
  Find& operator=(const Find&) = delete;
};

bool DeleteOne(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return true;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  if (error == ERROR_ACCESS_DENIED) {
    // A read-only file in a cache the browser owns: its attribute is the only obstacle.
    DWORD a = Attributes(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY))
      return DeleteFileW(path.c_str()) != 0;
  }
  return false;
}

bool EmptyTree(const std::wstring& folder, int depth) {
  if (depth > 64) return false;
  WIN32_FIND_DATAW found;
  Find find(FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (find.h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  bool ok = true;
  do {
    if (IsDots(found.cFileName)) continue;
    std::wstring path = folder + L"\\" + found.cFileName;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // The link itself goes; what it points at is not ours.
      ok &= (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str()) != 0 : DeleteOne(path);
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok &= EmptyTree(path, depth + 1) && RemoveDirectoryW(path.c_str()) != 0;
    } else {
      ok &= DeleteOne(path);
    }
  } while (FindNextFileW(find.h, &found));
  return ok;
}
}  // namespace

bool IsFile(const std::wstring& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolder(const std::wstring& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::vector<std::wstring> SubFolders(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  Find find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
  if (find.h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!IsDots(found.cFileName) && IsPlainFolder(found)) names.push_back(found.cFileName);
  } while (FindNextFileW(find.h, &found));
  return names;
}

std::vector<std::wstring> Files(const std::wstring& folder, const wchar_t* pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  Find find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &found));
  if (find.h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(find.h, &found));
  return names;
}

bool InUse(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_LOCK_VIOLATION;
}

bool LockFiles::Hold(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
    h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return GetLastError() != ERROR_SHARING_VIOLATION && GetLastError() != ERROR_LOCK_VIOLATION &&
           GetLastError() != ERROR_FILE_EXISTS;
  held_.push_back(h);
  return true;
}

void LockFiles::Release() {
  for (void* h : held_) CloseHandle(h);
  held_.clear();
}

bool DeleteWithSideFiles(const std::wstring& path) {
  // The database first: while it stands, a journal beside it may be what rolls it back, so no
  // companion goes on its own. Once it is gone its companions must go too, or a database made
  // anew under that name would take an old journal for its own.
  if (IsFolder(path)) return EmptyTree(path, 0) && RemoveDirectoryW(path.c_str()) != 0;
  if (!DeleteOne(path)) return false;
  bool ok = true;
  for (const wchar_t* suffix : SideFileSuffixes) ok &= DeleteOne(path + suffix);
  return ok;
}

bool EmptyFolder(const std::wstring& folder) {
  if (!IsFolder(folder)) return Attributes(folder) == INVALID_FILE_ATTRIBUTES;
  return EmptyTree(folder, 0);
}

}  // namespace browsers
