#include "fresh.h"

#include <windows.h>

#include <cmath>

#include "files.h"
#include "settings.h"
#include "values.h"

namespace accesskeep {

bool WriteFreshDatabase(const std::string& path) { return winapp::ReplaceWholeFile(path, ACCESSKEEP_FRESH_DATABASE); }

void EnsureUser(const std::string& path, const char* name) {
  double value = 0;
  bool counted = core::ParseNumber(winapp::ReadIniValue(path, "Users", "count"), value);
  if (counted && (value < 0 || value >= 32767)) return;
  int count = counted ? static_cast<int>(std::floor(value)) : 0;
  for (int slot = 1; slot <= count; ++slot)
    if (winapp::ReadIniValue(path, "Users", std::to_string(slot).c_str()) == name) return;
  if (!counted) WritePrivateProfileStringA("General", "Version", "2", path.c_str());
  std::string added = std::to_string(count + 1);
  WritePrivateProfileStringA("Users", added.c_str(), name, path.c_str());
  WritePrivateProfileStringA("Users", "count", added.c_str(), path.c_str());
}

}  // namespace accesskeep
