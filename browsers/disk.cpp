#include "disk.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>
#include <winternl.h>

#include <cwctype>
#include <memory>

#include "raii.h"

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

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

void* UserSidOf(void* process, std::vector<unsigned char>& storage) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return nullptr;
  winapp::Handle owner(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0 || size > 4096) return nullptr;
  storage.resize(size);
  if (!GetTokenInformation(token, TokenUser, storage.data(), size, &size)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(storage.data())->User.Sid;
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

bool DeleteOne(const std::wstring& path);

unsigned long long SizeOf(const WIN32_FIND_DATAW& found) {
  return (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

// A file of a walk removed, or only counted; counted once it is gone.
bool DeleteCounted(const std::wstring& path, unsigned long long size, Freed* freed) {
  if (freed && freed->countOnly) {
    ++freed->files;
    freed->bytes += size;
    return true;
  }
  if (!DeleteOne(path)) return false;
  if (freed) {
    ++freed->files;
    freed->bytes += size;
  }
  return true;
}

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

// The attributes of what a handle was opened on. GetFileInformationByHandle would tell them too,
// but it also asks for the volume's serial number, which under Wine is a call into another
// process each time: tens of milliseconds for every folder checked.
DWORD HandleAttributes(HANDLE h) {
  FILE_BASIC_INFORMATION info;
  IO_STATUS_BLOCK io;
  if (NtQueryInformationFile(h, &io, &info, sizeof info, FileBasicInformation) < 0) return INVALID_FILE_ATTRIBUTES;
  return info.FileAttributes;
}

// A folder opened as itself: a link or junction in its place is opened as the link, never
// followed. Held without letting others delete or rename it, so the path it was opened by leads
// to it until it is closed.
struct HeldFolder {
  HANDLE h = INVALID_HANDLE_VALUE;
  HeldFolder() = default;
  explicit HeldFolder(const std::wstring& path, DWORD access = FILE_READ_ATTRIBUTES)
      : h(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {}
  ~HeldFolder() { Close(); }
  void Close() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
  }
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
  // A real folder, judged by the handle (what the path named when it was opened, and held since)
  // and by the path: Wine opens a host's symbolic link as its target whatever the flags, and
  // tells it apart only by the path's attributes.
  bool Plain(const std::wstring& path) const {
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD held = HandleAttributes(h), a = GetFileAttributesW(path.c_str());
    return held != INVALID_FILE_ATTRIBUTES && (held & FILE_ATTRIBUTE_DIRECTORY) && !(held & FILE_ATTRIBUTE_REPARSE_POINT) &&
           a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT);
  }
};

// The platform's own calls for the listing and the deletes done from a folder's handle: every
// kernel since Windows NT has them. Under Wine a file opened by a name relative to a held folder
// is found without walking its whole path again.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);
constexpr NTSTATUS NotFound = static_cast<NTSTATUS>(0xC0000034), PathNotFound = static_cast<NTSTATUS>(0xC000003A);

// Opens `name` in the folder held by `folder`, as itself (a link is opened as the link).
NTSTATUS OpenInside(HANDLE folder, const wchar_t* name, size_t length, ACCESS_MASK access, ULONG share, ULONG options,
                    HANDLE& opened) {
  UNICODE_STRING text{static_cast<USHORT>(length * sizeof(wchar_t)), static_cast<USHORT>(length * sizeof(wchar_t)),
                      const_cast<wchar_t*>(name)};
  OBJECT_ATTRIBUTES object{};
  object.Length = sizeof object;
  object.RootDirectory = folder;
  object.ObjectName = &text;
  object.Attributes = OBJ_CASE_INSENSITIVE;
  IO_STATUS_BLOCK io;
  return NtOpenFile(&opened, access | SYNCHRONIZE, &object, &io, share,
                    options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT);
}

// The emptied folder held by `folder` removed through that handle, which is closed: it goes with
// the handle, as the folder that was checked, whatever its path names meanwhile.
bool RemoveEmptied(HeldFolder& folder, const std::wstring& path) {
  FILE_DISPOSITION_INFORMATION gone{TRUE};
  IO_STATUS_BLOCK io;
  bool marked = NtSetInformationFile(folder.h, &io, &gone, sizeof gone, FileDispositionInformation) >= 0;
  folder.Close();
  return marked && GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool EmptyHeld(HANDLE folder, const std::wstring& path, int depth, Freed* freed);

// A sub-folder listed in `folder`, removed with everything in it. It may have been swapped for a
// junction since it was listed: it is opened as itself and checked by its handle, and held while
// it is emptied; a junction found there is removed as a link, never entered.
bool RemoveHeldSubFolder(HANDLE folder, const wchar_t* name, size_t length, const std::wstring& path, int depth,
                         Freed* freed) {
  HeldFolder sub;
  NTSTATUS status = OpenInside(folder, name, length, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_DIRECTORY_FILE, sub.h);
  if (status == NotFound || status == PathNotFound) return true;
  if (status < 0) sub.h = INVALID_HANDLE_VALUE;
  const bool countOnly = freed && freed->countOnly;
  if (!sub.Plain(path)) {
    sub.Close();
    return countOnly || RemoveDirectoryW(path.c_str()) != 0 || DeleteOne(path);
  }
  if (countOnly) return EmptyHeld(sub.h, path, depth + 1, freed);
  return EmptyHeld(sub.h, path, depth + 1, freed) && RemoveEmptied(sub, path);
}

// Everything inside the folder held by `folder` (at `path`) removed, listed from that handle in
// large batches.
bool EmptyHeld(HANDLE folder, const std::wstring& path, int depth, Freed* freed) {
  const bool countOnly = freed && freed->countOnly;
  if (depth > 64) return false;
  constexpr ULONG BatchSize = 32 * 1024;
  std::unique_ptr<char[]> batch(new char[BatchSize]);
  bool ok = true;
  for (BOOLEAN first = TRUE;; first = FALSE) {
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, batch.get(), BatchSize,
                                           FileDirectoryInformation, FALSE, nullptr, first);
    // No more files; or, on a file system that lists no "." and "..", none at all.
    if (status != 0) {
      ULONG why = static_cast<ULONG>(status);
      return ok && (why == 0x80000006u || (first && why == 0xC000000Fu));
    }
    for (size_t at = 0;;) {
      const auto* entry = reinterpret_cast<const FILE_DIRECTORY_INFORMATION*>(batch.get() + at);
      const wchar_t* name = entry->FileName;
      size_t length = entry->FileNameLength / sizeof(wchar_t);
      bool dots = (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
      if (!dots) {
        std::wstring inside = path + L"\\" + std::wstring(name, length);
        DWORD a = entry->FileAttributes;
        if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
          // The link itself goes; what it points at is not ours (and is not counted).
          if (!countOnly)
            ok &= (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(inside.c_str()) != 0 : DeleteOne(inside);
        } else if (a & FILE_ATTRIBUTE_DIRECTORY) {
          ok &= RemoveHeldSubFolder(folder, name, length, inside, depth, freed);
        } else {
          bool gone = countOnly;
          if (!countOnly) {
            HANDLE file;
            NTSTATUS opened = OpenInside(folder, name, length, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE, file);
            if (opened >= 0) {
              CloseHandle(file);
              gone = true;
            } else if (opened != NotFound && opened != PathNotFound) {
              gone = DeleteOne(inside);  // a read-only file, say
              ok &= gone;
            }
          }
          // Counted once it is gone, or would go.
          if (gone && freed) {
            ++freed->files;
            freed->bytes += static_cast<unsigned long long>(entry->EndOfFile.QuadPart);
          }
        }
      }
      if (!entry->NextEntryOffset) break;
      at += entry->NextEntryOffset;
    }
  }
}

// A folder by its path: opened as itself and checked, then emptied from its handle.
bool EmptyTree(const std::wstring& folder, int depth, Freed* freed) {
  HeldFolder held(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES);
  if (held.h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  return held.Plain(folder) && EmptyHeld(held.h, folder, depth, freed);
}

// True when `path` lies inside `folder` (compared without letter case), giving the rest.
bool Below(const std::wstring& folder, const std::wstring& path, std::wstring& rest) {
  if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\') return false;
  if (_wcsnicmp(folder.c_str(), path.c_str(), folder.size()) != 0) return false;
  rest = path.substr(folder.size() + 1);
  return true;
}

// The user's folders, looked up once per run: each lookup asks the registry, and a run empties
// hundreds of folders (one per site in the site data). Used on the run's thread alone.
constexpr int UserFolderIds[] = {CSIDL_LOCAL_APPDATA, CSIDL_APPDATA, CSIDL_PROFILE};
std::wstring knownUserFolders[3];
bool userFoldersKnown = false;

const std::wstring* UserFolders() {
  if (!userFoldersKnown) {
    for (size_t i = 0; i < 3; ++i) {
      knownUserFolders[i] = UserFolder(UserFolderIds[i]);
      while (!knownUserFolders[i].empty() && knownUserFolders[i].back() == L'\\') knownUserFolders[i].pop_back();
    }
    userFoldersKnown = true;
  }
  return knownUserFolders;
}

// The user's folder that `path` lies in (the deepest of the local and roaming application data
// folders and the profile), and the rest of the path; false when it lies in none of them.
bool SplitAtUserFolder(const std::wstring& path, std::wstring& base, std::wstring& rest) {
  bool found = false;
  const std::wstring* folders = UserFolders();
  for (size_t i = 0; i < 3; ++i) {
    const std::wstring& folder = folders[i];
    std::wstring after;
    if (Below(folder, path, after) && (!found || folder.size() > base.size())) {
      base = folder;
      rest = after;
      found = true;
    }
  }
  return found;
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

SideFilesMade::SideFilesMade(const std::wstring& path, bool journal) : path_(path) {
  for (size_t k = 0; k < std::size(SideFileSuffixes); ++k) {
    watched_[k] = journal || k > 0;
    had_[k] = watched_[k] && IsFile(path + SideFileSuffixes[k]);
  }
}

void SideFilesMade::RemoveMade() const {
  if (path_.empty()) return;
  for (size_t k = 0; k < std::size(SideFileSuffixes); ++k)
    if (watched_[k] && !had_[k]) DeleteFileW((path_ + SideFileSuffixes[k]).c_str());
}

bool DeleteWithSideFiles(const std::wstring& path, Freed* freed) {
  // The database first: while it stands, a journal beside it may be what rolls it back, so no
  // companion goes on its own. Once it is gone its companions must go too, or a database made
  // anew under that name would take an old journal for its own.
  if (IsFolder(path)) return EmptyTree(path, 0, freed) && (freed && freed->countOnly ? true : RemoveDirectoryW(path.c_str()) != 0);
  if (!freed) {
    if (!DeleteOne(path)) return false;
    bool ok = true;
    for (const wchar_t* suffix : SideFileSuffixes) ok &= DeleteOne(path + suffix);
    return ok;
  }
  // Counted: each file that is there, with its size as it was found.
  auto one = [&](const std::wstring& file) {
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(file.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return freed->countOnly || DeleteOne(file);
    FindClose(h);
    return DeleteCounted(file, SizeOf(found), freed);
  };
  if (!one(path)) return false;
  bool ok = true;
  for (const wchar_t* suffix : SideFileSuffixes) ok &= one(path + suffix);
  return ok;
}

namespace {

// A folder inside the user's folders with every part of its path below them checked to be a real
// folder and held, so that none of them can be swapped for a junction while this lives.
struct HeldPath {
  enum State { Held, Missing, Refused } state = Refused;
  std::wstring path;
  std::vector<std::unique_ptr<HeldFolder>> parts;

  explicit HeldPath(const std::wstring& folder) : path(folder) {
    if (Attributes(folder) == INVALID_FILE_ATTRIBUTES) {
      state = Missing;
      return;
    }
    std::wstring base, rest;
    if (!SplitAtUserFolder(folder, base, rest)) return;
    std::wstring at = base;
    for (size_t start = 0; start <= rest.size();) {
      size_t end = rest.find(L'\\', start);
      if (end == std::wstring::npos) end = rest.size();
      std::wstring part = rest.substr(start, end - start);
      if (part.empty() || part == L"." || part == L"..") return;
      at += L"\\" + part;
      // The folder itself is held so that it can be listed too.
      parts.push_back(std::make_unique<HeldFolder>(at, end == rest.size() ? FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES
                                                                          : FILE_READ_ATTRIBUTES));
      if (!parts.back()->Plain(at)) return;
      start = end + 1;
    }
    state = Held;
  }
};

}  // namespace

bool EmptyFolder(const std::wstring& folder, Freed* freed) {
  HeldPath held(folder);
  return held.state == HeldPath::Missing || (held.state == HeldPath::Held && EmptyHeld(held.parts.back()->h, folder, 0, freed));
}

struct FolderRemoval::Parent : HeldPath {
  using HeldPath::HeldPath;
};

FolderRemoval::FolderRemoval() = default;
FolderRemoval::~FolderRemoval() = default;

bool FolderRemoval::Remove(const std::wstring& folder) {
  size_t cut = folder.rfind(L'\\');
  if (cut == std::wstring::npos || cut == 0) return false;
  std::wstring name = folder.substr(cut + 1);
  if (name.empty() || name == L"." || name == L"..") return false;
  if (!parent_ || parent_->path.size() != cut || folder.compare(0, cut, parent_->path) != 0) {
    parent_.reset();  // let go before holding another: it may lie inside the one held
    parent_ = std::make_unique<Parent>(folder.substr(0, cut));
  }
  if (parent_->state == HeldPath::Missing) {
    parent_.reset();
    return true;
  }
  if (parent_->state != HeldPath::Held) return false;
  HeldFolder sub(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | DELETE);
  if (sub.h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  DWORD a = HandleAttributes(sub.h);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // A link in the folder's place goes itself; what it points at is not ours.
  if (!sub.Plain(folder)) {
    sub.Close();
    return RemoveDirectoryW(folder.c_str()) != 0;
  }
  return EmptyHeld(sub.h, folder, 1, nullptr) && RemoveEmptied(sub, folder);
}

FolderReach DataFolderReach(const std::wstring& path) {
  HeldFolder link(path);
  if (link.h == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderReach::Missing : FolderReach::Foreign;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(link.h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return FolderReach::Missing;
  if (link.Plain(path)) return FolderReach::Plain;
  // A junction (a folder moved to another drive): followed only to a folder on a local fixed
  // disk that the user owns, so that nothing of another account, a share or a removable disk is
  // cleared by way of it.
  HANDLE target = CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target == INVALID_HANDLE_VALUE) return FolderReach::Foreign;
  FolderReach reach = FolderReach::Foreign;
  // The final path of a handle is known from Windows Vista on; before it, no junction is followed.
  using FinalPathOf = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto finalPathOf = reinterpret_cast<FinalPathOf>(
      reinterpret_cast<void (*)()>(kernel ? GetProcAddress(kernel, "GetFinalPathNameByHandleW") : nullptr));
  wchar_t final[MAX_PATH * 4];
  DWORD got = finalPathOf ? finalPathOf(target, final, MAX_PATH * 4, 0 /* normalised, with its drive letter */) : 0;
  BY_HANDLE_FILE_INFORMATION targetInfo;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<BYTE> own;
  PSID user = UserSidOf(GetCurrentProcess(), own);
  if (got > 0 && got < MAX_PATH * 4 && GetFileInformationByHandle(target, &targetInfo) &&
      (targetInfo.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
      !(targetInfo.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && user &&
      GetSecurityInfo(target, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) == ERROR_SUCCESS &&
      owner && EqualSid(owner, user)) {
    // "\\?\C:\..." names a drive; "\\?\UNC\..." a share, which is never local.
    std::wstring name(final, got);
    if (name.rfind(L"\\\\?\\", 0) == 0) name.erase(0, 4);
    if (name.size() >= 3 && name[1] == L':' && name[2] == L'\\') {
      wchar_t root[] = {name[0], L':', L'\\', 0};
      if (GetDriveTypeW(root) == DRIVE_FIXED) reach = FolderReach::OwnLocalJunction;
    }
  }
  if (descriptor) LocalFree(descriptor);
  CloseHandle(target);
  return reach;
}

}  // namespace browsers
