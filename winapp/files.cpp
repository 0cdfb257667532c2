#include "files.h"

#include <windows.h>

#include <algorithm>

#include "raii.h"
#include "settings.h"
#include "text.h"

namespace winapp {

namespace {

// The largest file edited through a copy: the settings and version files are a few hundred bytes,
// but a settings file other programs have grown is still saved up to the settings limit.
constexpr size_t LargestEdited = MaxSettingsFileSize;

// Moves `from` over `to`. A program holding `to` open at that moment holds the move up (Wine
// refuses to replace an open file, Windows answers with a sharing violation): it is tried again
// for up to a second.
bool MoveOver(const std::string& from, const std::string& to) {
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED && error != ERROR_LOCK_VIOLATION) ||
        attempt >= 50)
      return false;
    Sleep(20);
  }
}

// Writes `content` to a new file at `path`, every byte checked and flushed to the disk; a file
// that could not be written whole is removed. A stale read-only copy of an earlier attempt is
// cleared first: left as it is, it would block every later write.
bool WriteNewFile(const std::string& path, std::string_view content) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  File f(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < content.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
    DWORD written = 0;
    ok = WriteFile(f.get(), content.data() + done, chunk, &written, nullptr) && written != 0;
    done += written;
  }
  ok = ok && FlushFileBuffers(f.get());
  f.reset();
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

bool MoveOverUnderLock(const std::string& from, const std::string& to) {
  SettingsFilesLock lock;
  bool moved = MoveOver(from, to);
  if (!moved) DeleteFileA(from.c_str());
  return moved;
}

}  // namespace

bool WriteFlushedFile(const std::string& path, std::string_view content) { return WriteNewFile(path, content); }
bool MoveOverFile(const std::string& from, const std::string& to) { return MoveOver(from, to); }

bool ReplaceWholeFile(const std::string& path, std::string_view content) {
  std::string copy = path + ".new";
  return WriteNewFile(copy, content) && MoveOverUnderLock(copy, path);
}

bool EditThroughCopy(const std::string& path, const std::function<bool(const std::string& copy)>& edit) {
  FileContent old = ReadWholeFile(path, LargestEdited);
  if (old.state == FileContent::Unreadable) return false;
  std::string copy = path + ".new";
  std::string room = path + ".room";
  // The profile functions read and write a file's text in the process's code page, the file keeps
  // the stored one: the copy they edit is converted on the way in and on the way out.
  const bool convert = !AnsiIsStored() && !HasByteOrderMark(old.bytes);
  if (!WriteNewFile(copy, convert ? FromStored(old.bytes) : old.bytes)) return false;
  // The profile functions do not report a write that the disk cut short: room for all an edit
  // may write (every line again with CR LF, and the keys it adds) is taken first and handed back
  // just before it writes.
  if (!WriteNewFile(room, std::string(old.bytes.size() * 2 + 1024, ' '))) {
    DeleteFileA(copy.c_str());
    return false;
  }
  DeleteFileA(room.c_str());
  if (!edit(copy)) {
    DeleteFileA(copy.c_str());
    return false;
  }
  // What the edit wrote reaches the disk before the copy takes the file's place.
  {
    File f(CreateFileA(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr));
    if (!f || !FlushFileBuffers(f.get())) {
      f.reset();
      DeleteFileA(copy.c_str());
      return false;
    }
  }
  if (convert) {
    FileContent edited = ReadWholeFile(copy, LargestEdited * 3);
    std::string stored = edited.read() ? ToStored(edited.bytes) : std::string();
    if (!edited.read() || (stored != edited.bytes && !WriteNewFile(copy, stored))) {
      DeleteFileA(copy.c_str());
      return false;
    }
  }
  if (!MoveOverUnderLock(copy, path)) return false;
  // Wine keeps the profiles this process read, and knows a file changed only by its time of
  // last write, which the copy may share with the old file when both were written within one tick
  // of the clock: what it kept of the old file goes, so the next read is of the new one.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  return true;
}

}  // namespace winapp
