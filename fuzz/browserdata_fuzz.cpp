// The browsers' small files: any bytes read as Local State, Bookmarks or a Firefox profile list
// give only names and paths that stay inside their browser's folder, and never crash or hang.
// The first byte picks the reader; for the Firefox lists a NUL splits profiles.ini from installs.ini.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "browserdata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      for (const std::string& name : core::ChromiumProfileNames(text))
        if (!core::IsPlainFolderName(name)) std::abort();
      break;
    case 1: {
      bool ok = false;
      auto urls = core::ChromiumBookmarkUrls(text, ok);
      if (!ok && !urls.empty()) std::abort();
      break;
    }
    default: {
      size_t nul = text.find('\0');
      std::string_view profiles = text.substr(0, nul);
      std::string_view installs = nul == std::string_view::npos ? std::string_view() : text.substr(nul + 1);
      for (const auto& p : core::FirefoxProfilePaths(profiles, installs))
        if (!core::IsPlainRelativePath(p.relative ? std::string_view(p.path) : std::string_view(p.path).substr(3)))
          std::abort();
      break;
    }
  }
  return 0;
}
