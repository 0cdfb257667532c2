// Whole files, read and replaced so that no program of the system ever meets one half written:
// a read that tells a missing file from one it cannot use, a replacement made through a flushed
// copy moved over the old file, and an edit made on such a copy. Every program's shared files go
// through here (settings, exclusion list, version record, downloaded programs).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace winapp {

// What reading a whole file gave.
struct FileContent {
  enum State { Read, Missing, Unreadable };
  State state = Unreadable;
  std::string bytes;  // the file's bytes when Read, empty otherwise
  bool read() const { return state == Read; }
};

// Reads the whole file at `path`. Missing: no file (or no folder) of that name. Unreadable: it
// cannot be opened or read to its end, is a folder, or is larger than `limit` bytes.
FileContent ReadWholeFile(const std::string& path, size_t limit);
// The same by a wide path, for files in folders whose names the ANSI code page cannot spell
// (profiles of other programs under the user's folder).
FileContent ReadWholeFile(const std::wstring& path, size_t limit);

// Replaces the file at `path` whole with `content`: written to a copy beside it (path + ".new"),
// flushed to the disk, then moved over it under the settings lock. A failure on the way leaves
// the old file byte for byte and no copy behind. The new file has no attributes of the old one.
bool ReplaceWholeFile(const std::string& path, std::string_view content);

// The two steps of a replacement, for a caller that replaces several files together: writes
// `content` to a new file at `path`, every byte checked and flushed to the disk (a file that
// could not be written whole is removed); and moves `from` over `to` through to the disk, tried
// again for up to a second while another program holds `to` open.
bool WriteFlushedFile(const std::string& path, std::string_view content);
bool MoveOverFile(const std::string& from, const std::string& to);

// Edits the file at `path` through a copy: the copy starts with the file's bytes (empty when
// there is no file), room for the edit's growth (the file's size again and a little more) is
// taken on the disk first, `edit` changes the copy by its path and says whether all went well,
// and the copy then replaces the file whole under the settings lock. Otherwise the file keeps
// its bytes and the copy goes. An unreadable file is not edited.
bool EditThroughCopy(const std::string& path, const std::function<bool(const std::string& copy)>& edit);

}  // namespace winapp
