// Cookies and other site data: what sites keep besides cookies (Local Storage, Session Storage,
// IndexedDB, service workers with their caches, storage buckets; in Firefox the per-origin storage
// folders and the older local-storage files) goes with the Cookies choice, except what belongs to a
// site the keep-list keeps (the cookies' own rule, through the same function) and what belongs to
// extensions or to the browser itself, which is never touched.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browsers.h"
#include "clean.h"
#include "profiles.h"

namespace browsers {

// One profile's site data. The check comes before anything of the browser changes: can every
// site-data store be read, and is its layout one the module knows? It answers BrowserCleared when
// so, otherwise the outcome the browser is left whole with (in use: BrowserRunning; damaged:
// BrowserDamaged; a layout or version the module does not know: BrowserFailed). The shared
// LevelDB stores stay open from the check to the clearing: read once, and no browser starts on
// them in between. The clearing erases the site data of every site not kept; false when
// something could not be erased (each store is then as before or cleared as far as it went).
class SiteData {
 public:
  SiteData(const Browser& browser, const Profile& profile, const Choices& choices);
  ~SiteData();
  SiteData(SiteData&&) noexcept;
  BrowserOutcome Check();
  bool Clear();
  struct Held;

 private:
  const Browser* browser_;
  const Profile* profile_;
  const Choices* choices_;
  bool checked_ = false;
  std::vector<std::unique_ptr<Held>> held_;
};

// Whose data a stored name is.
enum class Owner {
  Web,       // a web site's (http or https): `host` is its host name
  Other,     // an extension's, the browser's own, a local file's: never touched
  Unknown,   // a name of no form the module knows
};
struct SiteOwner {
  Owner owner;
  std::string host;
};
// A serialized origin or storage key as Chromium writes it ("https://host:port", with "/" and
// "^"-parts after it for a partitioned key).
SiteOwner OwnerOfOrigin(std::string_view origin);
// A Chromium IndexedDB folder name ("https_host_0.indexeddb.leveldb", ".blob").
SiteOwner OwnerOfIndexedDbFolder(std::string_view name);
// A Firefox storage folder name ("https+++host+8080^userContextId=1").
SiteOwner OwnerOfFirefoxFolder(std::string_view name);
// Firefox's older local-storage origin key: the host reversed, then ".:scheme[:port]".
SiteOwner OwnerOfFirefoxOriginKey(std::string_view key);

}  // namespace browsers
