#include "declarations.h"

#include <windows.h>

#include "settings.h"
#include "system.h"

namespace declarations {

std::string ReadVersionKey(const std::string& file, const char* key) {
  return winapp::ReadIniValue(file, VersionSection, key);
}

std::string SizePromptText(short total) {
  return "The total size you are about to download is " + std::to_string(total) +
         " KB.\r\nDo you wish to continue?";
}

}  // namespace declarations
