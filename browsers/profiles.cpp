#include "profiles.h"

#include <windows.h>
#include <shlobj.h>

#include <cwctype>

#include "browserdata.h"
#include "disk.h"
#include "files.h"

namespace browsers {

namespace {

// The small files that name profiles; anything larger is not one of them.
constexpr size_t MaxListFile = 8u << 20;

// False when the profile is known already (a list names it and it lies where profiles are looked for).
bool AddProfile(Browser& b, Profile p) {
  std::wstring key = Lower(p.data);
  for (const Profile& known : b.profiles)
    if (Lower(known.data) == key) return false;
  b.profiles.push_back(std::move(p));
  return true;
}

// A Chromium-family profile folder holds its preferences or its history; another folder of the
// same name is not one, whatever a list says.
bool IsChromiumProfile(const std::wstring& folder) {
  return IsFile(folder + L"\\Preferences") || IsFile(folder + L"\\History");
}

bool IsFirefoxProfile(const std::wstring& folder) {
  return IsFile(folder + L"\\prefs.js") || IsFile(folder + L"\\places.sqlite") || IsFile(folder + L"\\cookies.sqlite");
}

// The profiles of a Chromium-family user-data folder: those its Local State lists, then Default
// and every "Profile *" folder, so a profile no list names is still found. `localRoot` is where
// their caches lie when the browser keeps them apart from the data.
void AddChromiumProfiles(Browser& b, const std::wstring& root, const std::wstring& localRoot) {
  std::vector<std::wstring> names;
  if (winapp::FileContent state = winapp::ReadWholeFile(root + L"\\Local State", MaxListFile); state.read())
    for (const std::string& name : core::ChromiumProfileNames(state.bytes)) names.push_back(Wide(name));
  names.push_back(L"Default");
  for (std::wstring& name : SubFolders(root, L"Profile *")) names.push_back(std::move(name));
  for (const std::wstring& name : names) {
    std::wstring folder = root + L"\\" + name;
    if (IsFolder(folder) && IsChromiumProfile(folder)) AddProfile(b, {folder, localRoot + L"\\" + name});
  }
}

// The caches a Chromium-family browser keeps beside its profiles, for all of them.
constexpr const wchar_t* ChromiumSharedCaches[] = {L"ShaderCache", L"GrShaderCache", L"GraphiteDawnCache",
                                                    L"GPUPersistentCache"};

// Whether the browser's data folder `root` is to be looked into: a plain folder, or a junction to a
// local folder of the user's own (a profile moved to another drive). A link anywhere else marks
// the browser found but refused, so the run names it instead of passing over it unseen.
bool Reachable(Browser& b, const std::wstring& root) {
  switch (DataFolderReach(root)) {
    case FolderReach::Plain:
    case FolderReach::OwnLocalJunction:
      return true;
    case FolderReach::Foreign:
      b.found = b.refused = true;
      return false;
    case FolderReach::Missing:
      break;
  }
  return false;
}

Browser Named(const CatalogEntry& entry) {
  Browser b;
  b.id = entry.id;
  b.family = entry.family;
  b.entry = &entry;
  return b;
}

Browser FindChromium(const CatalogEntry& entry, const std::wstring& root) {
  Browser b = Named(entry);
  if (root.empty() || !Reachable(b, root)) return b;
  b.found = true;
  b.lockFiles.push_back(root + L"\\lockfile");
  AddChromiumProfiles(b, root, root);
  for (const wchar_t* cache : ChromiumSharedCaches) b.sharedCaches.push_back(root + L"\\" + cache);
  return b;
}

// Opera keeps its data under the roaming folder and its caches under the local one, and the
// folder itself is the profile (later versions may add profiles inside it as Chrome does).
Browser FindOpera(const CatalogEntry& entry, const std::wstring& roaming, const std::wstring& local) {
  Browser b = Named(entry);
  if (roaming.empty()) return b;
  std::wstring root = roaming + L"\\" + entry.folder;
  std::wstring localRoot = local.empty() ? root : local + L"\\" + entry.folder;
  if (!Reachable(b, root)) return b;
  b.found = true;
  b.lockFiles.push_back(root + L"\\lockfile");
  if (IsChromiumProfile(root)) AddProfile(b, {root, localRoot});
  AddChromiumProfiles(b, root, localRoot);
  for (const wchar_t* cache : ChromiumSharedCaches) b.sharedCaches.push_back(root + L"\\" + cache);
  return b;
}

// One Firefox folder (`roaming` holds profiles.ini and the profiles, `local` their caches).
void AddFirefoxProfiles(Browser& b, const std::wstring& roaming, const std::wstring& local) {
  if (!Reachable(b, roaming)) return;
  b.found = true;
  std::string profilesIni = winapp::ReadWholeFile(roaming + L"\\profiles.ini", MaxListFile).bytes;
  std::string installsIni = winapp::ReadWholeFile(roaming + L"\\installs.ini", MaxListFile).bytes;
  std::vector<Profile> found;
  for (const core::FirefoxProfilePath& p : core::FirefoxProfilePaths(profilesIni, installsIni)) {
    std::wstring path = Wide(p.path);
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    if (p.relative)
      found.push_back({roaming + L"\\" + path, local + L"\\" + path});
    else
      found.push_back({path, path});
  }
  for (const std::wstring& name : SubFolders(roaming + L"\\Profiles"))
    found.push_back({roaming + L"\\Profiles\\" + name, local + L"\\Profiles\\" + name});
  for (Profile& p : found) {
    if (!IsFolder(p.data) || !IsFirefoxProfile(p.data)) continue;
    std::wstring lock = p.data + L"\\parent.lock";
    if (AddProfile(b, std::move(p))) b.lockFiles.push_back(lock);
  }
}

// Firefox and the forks that keep its layout under a folder of their own.
Browser FindMozilla(const CatalogEntry& entry, const std::wstring& roaming, const std::wstring& local) {
  Browser b = Named(entry);
  if (!roaming.empty()) AddFirefoxProfiles(b, roaming + L"\\" + entry.folder, local + L"\\" + entry.folder);
  // The Store edition of Firefox keeps both folders inside its package's own.
  if (entry.id == BrowserFirefox && !local.empty())
    for (const std::wstring& package : SubFolders(local + L"\\Packages", L"Mozilla.Firefox_*")) {
      std::wstring cache = local + L"\\Packages\\" + package + L"\\LocalCache";
      AddFirefoxProfiles(b, cache + L"\\Roaming\\Mozilla\\Firefox", cache + L"\\Local\\Mozilla\\Firefox");
    }
  return b;
}

}  // namespace

std::vector<Browser> FindBrowsers() {
  std::wstring roaming = UserFolder(CSIDL_APPDATA);
  std::wstring local = UserFolder(CSIDL_LOCAL_APPDATA);
  std::vector<Browser> browsers;
  for (const CatalogEntry& entry : Catalog) switch (entry.layout) {
      case Layout::UserData:
        browsers.push_back(FindChromium(entry, local.empty() ? std::wstring() : local + L"\\" + entry.folder));
        break;
      case Layout::Opera:
        browsers.push_back(FindOpera(entry, roaming, local));
        break;
      case Layout::Mozilla:
        browsers.push_back(FindMozilla(entry, roaming, local));
        break;
    }
  return browsers;
}

}  // namespace browsers
