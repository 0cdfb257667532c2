// The module's few dealings with the disk, all in wide paths: the user's folders, small files
// read whole, files and folders deleted, and whether a browser holds a file open.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace browsers {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// A shell folder of the current user (CSIDL_APPDATA, CSIDL_LOCAL_APPDATA); empty when unknown.
std::wstring UserFolder(int csidl);

bool IsFile(const std::wstring& path);
bool IsFolder(const std::wstring& path);
// The names of the sub-folders of `folder` matching `pattern` (e.g. L"Profile *").
std::vector<std::wstring> SubFolders(const std::wstring& folder, const wchar_t* pattern = L"*");

// True when another program holds the file open (the platform refuses it to a reader that
// shares nothing). A missing file is not in use.
bool InUse(const std::wstring& path);

// A SQLite database file's companions, which belong to it and go with it.
constexpr const wchar_t* SideFileSuffixes[] = {L"-journal", L"-wal", L"-shm"};

// Deletes a file together with its -journal, -wal and -shm. True when none of them is left.
bool DeleteWithSideFiles(const std::wstring& path);
// Deletes everything inside a folder, keeping the folder itself. Links and junctions inside are
// removed, never followed. True when it is empty afterwards (or was not there).
bool EmptyFolder(const std::wstring& folder);

}  // namespace browsers
