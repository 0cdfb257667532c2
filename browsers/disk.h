// The module's few dealings with the disk, all in wide paths: the user's folders, small files
// read whole, files and folders deleted, and whether a browser holds a file open.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace browsers {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// `s` in lower case, for comparing paths and names without letter case.
std::wstring Lower(std::wstring s);

// The SID of the user a process runs as (its token's), kept in `storage`; null when it cannot be
// read (another user's process, or one that is gone).
void* UserSidOf(void* process, std::vector<unsigned char>& storage);

// A shell folder of the current user (CSIDL_APPDATA, CSIDL_LOCAL_APPDATA); empty when unknown.
std::wstring UserFolder(int csidl);

bool IsFile(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// The names of the sub-folders of `folder` matching `pattern` (e.g. L"Profile *").
std::vector<std::wstring> SubFolders(const std::wstring& folder, const wchar_t* pattern = L"*");
// The names of the files (not folders) of `folder` matching `pattern`.
std::vector<std::wstring> Files(const std::wstring& folder, const wchar_t* pattern);

// True when another program holds the file open (the platform refuses it to a reader that
// shares nothing). A missing file is not in use.
bool InUse(const std::wstring& path);

// The lock files of a browser, held open and shared with nobody while its profile is being
// cleaned: a browser started meanwhile finds its profile in use, as if another copy of it ran,
// instead of meeting databases in the middle of a change. A lock file that is not there is made
// for the time being and goes when let go.
class LockFiles {
 public:
  LockFiles() = default;
  ~LockFiles() { Release(); }
  LockFiles(const LockFiles&) = delete;
  LockFiles& operator=(const LockFiles&) = delete;
  // False when another program holds `path` (the browser runs). A lock file that cannot be opened
  // or made for another reason (a folder the user may not write) is gone on without.
  bool Hold(const std::wstring& path);
  void Release();

 private:
  std::vector<void*> held_;
};

// What removing files freed: the files (links and folders not counted) and their bytes. With
// `countOnly` the same walk only counts what it would remove, and removes nothing.
struct Freed {
  bool countOnly = false;
  unsigned long long files = 0, bytes = 0;
};

// A SQLite database file's companions, which belong to it and go with it.
constexpr const wchar_t* SideFileSuffixes[] = {L"-journal", L"-wal", L"-shm"};

// The companions a reading of a database may make, noted before it: RemoveMade() takes away those
// that were not there (one still held by someone else stays: the platform refuses to delete it).
// Without `journal` only the -wal and -shm are looked after.
class SideFilesMade {
 public:
  SideFilesMade() = default;
  SideFilesMade(const std::wstring& path, bool journal);
  void RemoveMade() const;

 private:
  std::wstring path_;
  bool watched_[3] = {}, had_[3] = {};
};

// Deletes a file together with its -journal, -wal and -shm (a folder of that name goes with
// everything in it). True when none of them is left.
bool DeleteWithSideFiles(const std::wstring& path, Freed* freed = nullptr);
// Deletes everything inside a folder, keeping the folder itself. Links and junctions inside are
// removed, never followed, also one that replaces a sub-folder while it is being emptied (each
// is opened as itself and checked by its handle). Every part of the path below the user's folder
// (application data, local or roaming, or the profile) must be a real folder, held while the
// folder is emptied; a path outside them, or with a link on the way, is left alone (false).
// True when it is empty afterwards (or was not there).
bool EmptyFolder(const std::wstring& folder, Freed* freed = nullptr);

// Removes folders with everything in them, checked as EmptyFolder checks: a link in a folder's
// place or inside it is removed, never followed, and every part of the path below the user's
// folder must be a real folder. Folders removed one after another from the same parent (one per
// site) have the parent's path checked once, and held until a folder of another parent comes or
// this ends: keep one only while its folders are being removed.
class FolderRemoval {
 public:
  FolderRemoval();
  ~FolderRemoval();
  FolderRemoval(const FolderRemoval&) = delete;
  FolderRemoval& operator=(const FolderRemoval&) = delete;
  // True when `folder` is gone (or was not there); a file in its place is left, false.
  bool Remove(const std::wstring& folder);

 private:
  struct Parent;
  std::unique_ptr<Parent> parent_;
};

// What a browser's data folder is: missing, a real folder, a junction (a folder moved to another
// drive) to a real folder on a local fixed disk owned by the user, or anything else (a junction
// to a share, a removable disk, another account's folder, a target that cannot be opened or
// judged). Only the first kinds are to be cleared; the last is named, not taken for missing.
enum class FolderReach { Missing, Plain, OwnLocalJunction, Foreign };
FolderReach DataFolderReach(const std::wstring& path);

}  // namespace browsers
