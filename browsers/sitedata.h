// Cookies and other site data: what sites keep besides cookies (Local Storage, Session Storage,
// IndexedDB, service workers with their caches, storage buckets; in Firefox the per-origin storage
// folders and the older local-storage files) goes with the Cookies choice, except what belongs to a
// site the keep-list keeps (the cookies' own rule, through the same function) and what belongs to
// extensions or to the browser itself, which is never touched.
#pragma once

#include <string>
#include <string_view>

#include "browsers.h"
#include "clean.h"
#include "profiles.h"

namespace browsers {

// Before anything of the browser changes: can every site-data store of the profile be read, and is
// its layout one the module knows? BrowserCleared when it is; otherwise the outcome the browser is
// left whole with (in use: BrowserRunning; damaged: BrowserDamaged; a layout or version the module
// does not know: BrowserFailed).
BrowserOutcome CheckSiteData(const Browser& browser, const Profile& profile, const Choices& choices);
// Erases the site data of every site not kept. False when something could not be erased (each
// store is then as before or cleared as far as it went).
bool ClearSiteData(const Browser& browser, const Profile& profile, const Choices& choices);

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
