#include "settings.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "files.h"
#include "raii.h"
#include "text.h"
#include "system.h"

namespace winapp {

bool SettingsFileExists(const std::string& path) {
  SettingsFilesLock lock;
  return FileExists(path);
}

std::string ReadIniValue(const std::string& file, const char* section, const char* key) {
  SettingsFilesLock lock;
  char buffer[50] = {};
  DWORD got = GetPrivateProfileStringA(section, key, file.c_str(), buffer, sizeof buffer, file.c_str());
  return core::CutProfileValue(std::string_view(buffer, got), sizeof buffer);
}

bool WriteIniFlag(const std::string& file, const char* section, const char* key, short value) {
  return WritePrivateProfileStringA(section, key, value == 1 ? "1" : "0", file.c_str()) != FALSE;
}

bool WriteIniFlags(const std::string& file, const IniFlag* flags, size_t count) {
  // One save, one lock: from the read of the old file to the move of the new one. No other save
  // can come in between and be lost, and a lock that cannot be had is waited for once.
  SettingsFilesLock lock;
  return EditThroughCopy(file, [&](const std::string& copy) {
    bool ok = true;
    for (size_t i = 0; i < count; ++i)
      ok = WritePrivateProfileStringA(flags[i].section, flags[i].key, flags[i].value == 1 ? "1" : "0",
                                      copy.c_str()) && ok;
    // Written out, and no copy kept in this process's profile cache.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
    for (size_t i = 0; ok && i < count; ++i)
      ok = ReadIniValue(copy, flags[i].section, flags[i].key) == (flags[i].value == 1 ? "1" : "0");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, copy.c_str());
    return ok;
  });
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
  SettingsFilesLock lock;
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

bool CreateFileIfMissing(const std::string& path) {
  File f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                     nullptr));
  return f || GetLastError() == ERROR_FILE_EXISTS || FileExists(path);
}

std::string ExclusionTextOf(std::string content) {
  // A list saved as Unicode (UTF-16 with its byte-order mark) or as UTF-8 with one, as a text
  // editor may save it, holds the same entries: read them in the ANSI code page. Taken byte for
  // byte, it would give entries that name no cookie, and every cookie it keeps would go.
  std::wstring wide;
  if (content.size() >= 2 && content[0] == '\xFF' && content[1] == '\xFE') {
    wide.resize((content.size() - 2) / 2);
    for (size_t i = 0; i < wide.size(); ++i)
      wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(content[2 + 2 * i]) |
                                     static_cast<unsigned char>(content[3 + 2 * i]) << 8);
    content = Ansi(wide);
  } else if (content.size() >= 3 && content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    int n = MultiByteToWideChar(CP_UTF8, 0, content.data() + 3, static_cast<int>(content.size() - 3), nullptr, 0);
    wide.resize(static_cast<size_t>(std::max(n, 0)));
    if (n > 0)
      MultiByteToWideChar(CP_UTF8, 0, content.data() + 3, static_cast<int>(content.size() - 3), wide.data(), n);
    content = Ansi(wide);
  } else {
    // Without a mark the list is in the stored code page, as the programs always wrote it.
    content = FromStored(content);
  }
  // NUL bytes are damage, not the end of the list: a run of them inside a line parts two entries
  // as a line end does, and one at the start or end of a line goes, so that the entries after it
  // keep their cookies and no empty entries are made of it.
  if (content.find('\0') == std::string::npos) return content;
  std::string text;
  text.reserve(content.size());
  for (size_t i = 0, n = content.size(); i < n;) {
    if (content[i] != '\0') {
      text += content[i++];
      continue;
    }
    size_t after = content.find_first_not_of('\0', i);
    if (after == std::string::npos) after = n;
    bool lineStart = text.empty() || text.back() == '\n' || text.back() == '\r';
    bool lineEnd = after == n || content[after] == '\r' || content[after] == '\n';
    if (!lineStart && !lineEnd) text += '\n';
    i = after;
  }
  return text;
}

std::optional<std::string> ReadExclusionText(const std::string& path) {
  SettingsFilesLock lock;
  FileContent file = ReadWholeFile(path, MaxExclusionFileSize);
  if (!file.read()) return std::nullopt;
  return JoinExclusionFields(ExclusionTextOf(std::move(file.bytes)));
}

bool WriteExclusionText(const std::string& path, std::string_view text) {
  return ReplaceWholeFile(path, ToStored(ExclusionFileContent(text)));
}

}  // namespace winapp
