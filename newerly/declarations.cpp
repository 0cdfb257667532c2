#include "declarations.h"

#include <windows.h>

#include "download.h"
#include "settings.h"
#include "system.h"
#include "updatefiles.h"

namespace declarations {

const UpdatableProgram Programs[4] = {
    {&UpdatePanel, "PanelSize", "PanelFile", "PanelBytes", "PanelHash", "PanelVer", "\\panel.exe", false},
    {&UpdateLaunch, "LaunchSize", "LaunchFile", "LaunchBytes", "LaunchHash", "LaunchVer", "\\Launch.exe", false},
    {&UpdateClear, "ClearSize", "ClearFile", "ClearBytes", "ClearHash", "ClearVer", "\\clear.exe", false},
    {&UpdateBrowsers, "BrowsersSize", "BrowsersFile", "BrowsersBytes", "BrowsersHash", "BrowsersVer", "\\browsers.dll",
     true},
};

std::string ReadVersionKey(const std::string& file, const char* key) {
  return winapp::ReadIniValue(file, VersionSection, key);
}

std::string ReadListKey(const std::string& file, const char* key) {
  winapp::SettingsFilesLock lock;
  char buffer[128] = {};
  GetPrivateProfileStringA(VersionSection, key, "", buffer, sizeof buffer, file.c_str());
  return winapp::TrimSpaces(buffer);
}

std::string ReadModuleVersion(const std::string& file) {
  winapp::SettingsFilesLock lock;
  char buffer[50] = {};
  GetPrivateProfileStringA(VersionSection, BrowsersModule.versionKey, "", buffer, sizeof buffer, file.c_str());
  return winapp::TrimSpaces(buffer);
}

std::string SizePromptText(short total) {
  return "The total size you are about to download is " + std::to_string(total) +
         " KB.\r\nDo you wish to continue?";
}

std::optional<ListedFile> ReadListedFile(const std::string& list, const UpdatableProgram& program) {
  ListedFile f;
  f.name = ReadVersionKey(list, program.fileKey);
  if (!IsServerFileName(f.name) || !core::ParseWholeNumber(ReadListKey(list, program.bytesKey), f.bytes) ||
      f.bytes > newerly::LargestProgram || !newerly::ParseDigest(ReadListKey(list, program.hashKey), f.hash))
    return std::nullopt;
  return f;
}

std::optional<long long> RecordedSerial(const std::string& library) {
  std::string text = ReadListKey(library, "Serial");
  long long serial = 0;
  if (text.empty()) return 0;
  if (!core::ParseWholeNumber(text, serial)) return std::nullopt;
  return serial;
}

std::optional<long long> SerialOf(std::string_view list) {
  std::optional<std::string> text = core::ProfileValue(list, VersionSection, "Serial");
  long long serial = 0;
  if (!text || !core::ParseWholeNumber(*text, serial)) return std::nullopt;
  return serial;
}

ListVerdict CheckList(const std::string& bytes, const std::string& signature, const newerly::UpdateKey& key,
                      long long floor) {
  if (!newerly::IsSignedBy(bytes, signature, key)) return ListVerdict::BadSignature;
  // The serial comes from the very bytes whose signature was checked, never from a file that may
  // hold more.
  std::optional<long long> serial = SerialOf(bytes);
  if (!serial) return ListVerdict::NoSerial;
  return *serial < floor ? ListVerdict::Older : ListVerdict::Accepted;
}

}  // namespace declarations
