#include "declarations.h"

#include <windows.h>

#include "download.h"
#include "settings.h"
#include "system.h"

namespace declarations {

const UpdatableProgram Programs[3] = {
    {&UpdatePanel, "PanelSize", "PanelFile", "PanelBytes", "PanelHash", "PanelVer", "\\panel.exe"},
    {&UpdateLaunch, "LaunchSize", "LaunchFile", "LaunchBytes", "LaunchHash", "LaunchVer", "\\Launch.exe"},
    {&UpdateClear, "ClearSize", "ClearFile", "ClearBytes", "ClearHash", "ClearVer", "\\clear.exe"},
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

ListVerdict CheckList(const std::string& file, const std::string& bytes, const std::string& signature,
                      const newerly::UpdateKey& key, long long lastSerial) {
  if (!newerly::IsSignedBy(bytes, signature, key)) return ListVerdict::BadSignature;
  // The serial is read as every other key of the list is, by the profile functions.
  long long serial = 0;
  bool numbered = core::ParseWholeNumber(ReadListKey(file, "Serial"), serial);
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
  if (!numbered) return ListVerdict::NoSerial;
  return serial < lastSerial ? ListVerdict::Older : ListVerdict::Accepted;
}

}  // namespace declarations
