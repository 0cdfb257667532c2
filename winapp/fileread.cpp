// The file kit's reader, on its own so that a module that only reads (browsers.dll) takes it
// without the settings lock the writers need.
#include <windows.h>

#include <algorithm>

#include "files.h"
#include "raii.h"

namespace winapp {

namespace {

FileContent ReadOpened(HANDLE opened, size_t limit) {
  FileContent result;
  File f(opened);
  if (!f) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) result.state = FileContent::Missing;
    return result;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > limit)
    return result;
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    DWORD got = 0;
    if (!ReadFile(f.get(), bytes.data() + done, chunk, &got, nullptr)) return result;
    if (got == 0) break;
    done += got;
  }
  bytes.resize(done);
  result.state = FileContent::Read;
  result.bytes = std::move(bytes);
  return result;
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

FileContent ReadWholeFile(const std::string& path, size_t limit) {
  return ReadOpened(CreateFileA(path.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr),
                    limit);
}

FileContent ReadWholeFile(const std::wstring& path, size_t limit) {
  return ReadOpened(CreateFileW(path.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr),
                    limit);
}

}  // namespace winapp
