#include "settings.h"

#include <windows.h>

#include <cmath>

#include "raii.h"
#include "system.h"

namespace winapp {

std::string ReadIniValue(const std::string& file, const char* section, const char* key) {
  char buffer[50] = {};
  GetPrivateProfileStringA(section, key, file.c_str(), buffer, sizeof buffer, file.c_str());
  buffer[sizeof buffer - 1] = '\0';
  return TrimSpaces(buffer);
}

short FlagValue(std::string_view text) {
  double value;
  if (!ParseNumber(text, value)) return 0;
  value = std::floor(value);
  if (value < -32768.0 || value > 32767.0) return 0;
  return static_cast<short>(value);
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

std::string JoinExclusionFields(std::string_view in) {
  std::string joined;
  size_t i = 0, n = in.size();
  auto line_end = [&](size_t at) { return in[at] == '\r' || in[at] == '\n'; };
  // Steps over one line end (CR LF, a lone CR or a lone LF).
  auto skip_line_end = [&] {
    if (in[i] == '\r' && i + 1 < n && in[i + 1] == '\n') ++i;
    ++i;
  };
  while (i < n) {
    while (i < n && in[i] == ' ') ++i;
    std::string_view field;
    if (i < n && in[i] == '"') {
      // A quoted field runs to its closing quote; an unbalanced one ends at the line end. What
      // follows a closing quote up to the next comma or line end is not part of any field.
      size_t start = ++i;
      while (i < n && in[i] != '"' && !line_end(i)) ++i;
      field = in.substr(start, i - start);
      if (i < n && in[i] == '"') ++i;
      while (i < n && in[i] != ',' && !line_end(i)) ++i;
    } else {
      size_t start = i;
      while (i < n && in[i] != ',' && !line_end(i)) ++i;
      field = in.substr(start, i - start);
    }
    if (!joined.empty()) joined += ',';
    joined += field;
    if (i < n) {
      if (in[i] == ',') {
        ++i;
        // A comma at the very end of a line or of the file leaves one more, empty field.
        if (i >= n) {
          if (!joined.empty()) joined += ',';
        } else if (line_end(i)) {
          if (!joined.empty()) joined += ',';
          skip_line_end();
        }
      } else {
        skip_line_end();
      }
    }
  }
  return joined;
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
  // A NUL ends the text, as it ends the file for the text reader.
  if (auto nul = content.find('\0'); nul != std::string::npos) content.resize(nul);
  return JoinExclusionFields(content);
}

std::vector<std::string> SplitAtCommas(std::string_view text) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    pieces.emplace_back(text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return pieces;
}

bool WriteExclusionText(const std::string& path, std::string_view text) {
  std::string content;
  content.reserve(text.size() + text.size() / 4 + 2);
  for (const std::string& entry : SplitAtCommas(text)) {
    content += entry;
    content += "\r\n";
  }
  return ReplaceWholeFile(path, content);
}

}  // namespace winapp
