#include "settings.h"

#include <windows.h>

#include <cmath>

#include "raii.h"
#include "system.h"

namespace winapp {

std::string ReadIniValue(const std::string& file, const char* section, const char* key) {
  char buffer[50] = {};
  DWORD got = GetPrivateProfileStringA(section, key, file.c_str(), buffer, sizeof buffer, file.c_str());
  return core::CutProfileValue(std::string_view(buffer, got), sizeof buffer);
}

bool WriteIniFlag(const std::string& file, const char* section, const char* key, short value) {
  return WritePrivateProfileStringA(section, key, value == 1 ? "1" : "0", file.c_str()) != FALSE;
}

std::string FirstRunSettingsText() {
  static const char* const lines[] = {
      "; Quietrail INI File", "", "[Settings]", "History=0", "TmpInt=0", "Cookies=0", "Recent=0",
      "URL=0", "Startup=1", "ClearDialog=1", "", "[Launch]", "Splash=1", "Tray=1"};
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void WriteFirstRunFiles(const std::string& folder) {
  std::string settings = folder + "\\" + SettingsFileName;
  DeleteFileA(settings.c_str());
  ReplaceWholeFile(settings, FirstRunSettingsText());
  CreateEmptyFile(folder + "\\" + ExcludeFileName);
}

bool CreateEmptyFile(const std::string& path) {
  File f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(f);
}

bool ReplaceWholeFile(const std::string& path, std::string_view content) {
  std::string temp = path + ".new";
  {
    File f(CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    size_t done = 0;
    while (done < content.size()) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1u << 20));
      DWORD written = 0;
      if (!WriteFile(f.get(), content.data() + done, chunk, &written, nullptr) || written == 0) {
        f.reset();
        DeleteFileA(temp.c_str());
        return false;
      }
      done += written;
    }
    if (!FlushFileBuffers(f.get())) {
      f.reset();
      DeleteFileA(temp.c_str());
      return false;
    }
  }
  if (!MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> ReadExclusionText(const std::string& path) {
  File f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > static_cast<LONGLONG>(MaxExclusionFileSize))
    return std::nullopt;
  std::string content(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < content.size()) {
    DWORD got = 0;
    if (!ReadFile(f.get(), content.data() + done, static_cast<DWORD>(content.size() - done), &got,
                  nullptr))
      return std::nullopt;
    if (got == 0) break;
    done += got;
  }
  content.resize(done);
  return JoinExclusionFields(content);
}

bool WriteExclusionText(const std::string& path, std::string_view text) {
  return ReplaceWholeFile(path, ExclusionFileContent(text));
}

}  // namespace winapp
