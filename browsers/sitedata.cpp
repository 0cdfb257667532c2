#include "sitedata.h"

#include <windows.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>

#include "database.h"
#include "disk.h"
#include "files.h"
#include "leveldb_store.h"

namespace browsers {

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

SiteOwner Of(std::string_view scheme, std::string_view host) {
  std::string s = Lower(scheme);
  if (s != "http" && s != "https") return {Owner::Other, {}};
  if (host.empty()) return {Owner::Unknown, {}};
  return {Owner::Web, Lower(host)};
}

// Whether the data of a site goes: a web site's that the keep-list does not keep. The keep rule is
// the cookies' own, asked through the same function.
// Every web host judged is noted for the count of sites.
bool Erased(const Choices& choices, const SiteOwner& o) {
  if (o.owner != Owner::Web) return false;
  bool erased = !(choices.keepCookie && choices.keepCookie(choices.keepContext, o.host.c_str()));
  if (choices.hosts) (erased ? choices.hosts->erased : choices.hosts->kept).insert(o.host);
  return erased;
}

// A SQLite store as the pass needs it: the clearing's own lock, or counting's copy in memory.
DbState OpenDb(const Choices& choices, Database& db, const std::wstring& file) {
  return choices.countOnly ? db.OpenCopy(file, false) : db.Open(file, false);
}

// The outcomes of one pass over a profile's stores: the check reads, the clearing changes.
struct Pass {
  const Choices& choices;
  bool clear;
  std::vector<std::unique_ptr<SiteData::Held>>& held;
  BrowserOutcome outcome = BrowserCleared;
  // Keeps the first reason a store cannot be cleared; in the clearing, any failure.
  bool Fail(BrowserOutcome why) {
    if (outcome == BrowserCleared) outcome = why;
    return false;
  }
};

BrowserOutcome OutcomeOf(StoreState s) {
  switch (s) {
    case StoreState::Ready: return BrowserCleared;
    case StoreState::Busy: return BrowserRunning;
    case StoreState::Damaged: return BrowserDamaged;
    default: return BrowserFailed;
  }
}

BrowserOutcome OutcomeOf(DbState s) {
  return s == DbState::Ready ? BrowserCleared : s == DbState::Busy ? BrowserRunning
                                              : s == DbState::Damaged ? BrowserDamaged : BrowserFailed;
}

struct Entry {
  std::wstring name;
  bool folder;
};
std::vector<Entry> Entries(const std::wstring& folder) {
  std::vector<Entry> out;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
    out.push_back({found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return out;
}

// --- The LevelDB stores: which keys go, decided key by key in the store's own order.

class KeyPlan {
 public:
  explicit KeyPlan(const Choices& choices) : choices_(choices) {}
  virtual ~KeyPlan() = default;
  // False for a key (or value) of no form the module knows.
  virtual bool See(std::string_view key, std::string_view value) = 0;
  // Once every key is seen: what else goes, and what is written.
  virtual void Finish() {}
  std::vector<std::string> doomed;
  std::vector<std::pair<std::string, std::string>> written;
  std::vector<std::wstring> folders;  // removed once the store no longer names them

 protected:
  const Choices& choices_;
  bool EraseOrigin(std::string_view origin, std::string_view key, bool& known) {
    // Keys come in order, an origin's together: its owner is asked about once.
    if (origin != lastOrigin_) {
      lastOrigin_.assign(origin);
      SiteOwner o = OwnerOfOrigin(origin);
      lastKnown_ = o.owner != Owner::Unknown;
      lastErased_ = lastKnown_ && Erased(choices_, o);
    }
    known = lastKnown_;
    if (lastErased_) doomed.emplace_back(key);
    return lastErased_;
  }

 private:
  std::string lastOrigin_ = std::string(1, '\0');
  bool lastKnown_ = false, lastErased_ = false;
};

// Local Storage: "VERSION", then per origin "META:", "METAACCESS:" and "_<origin>\0<key>".
class LocalStoragePlan : public KeyPlan {
 public:
  using KeyPlan::KeyPlan;
  bool See(std::string_view key, std::string_view value) override {
    if (key == "VERSION") return value == "1";
    std::string_view origin;
    if (StartsWith(key, "METAACCESS:"))
      origin = key.substr(11);
    else if (StartsWith(key, "META:"))
      origin = key.substr(5);
    else if (StartsWith(key, "_") && key.find('\0') != std::string_view::npos)
      origin = key.substr(1, key.find('\0') - 1);
    else
      return false;
    bool known;
    EraseOrigin(origin, key, known);
    return known;
  }
};

// Session Storage: "version", "next-map-id", "namespace-<guid>-<origin>" naming a map, and the
// maps' "map-<id>-<key>". A map goes when every namespace that names it goes (tabs cloned from one
// another share maps).
class SessionStoragePlan : public KeyPlan {
 public:
  using KeyPlan::KeyPlan;
  bool See(std::string_view key, std::string_view value) override {
    if (key == "version") return value == "1";
    if (key == "next-map-id") return true;
    if (StartsWith(key, "map-")) {
      size_t dash = key.find('-', 4);
      if (dash == std::string_view::npos) return false;
      maps_[std::string(key.substr(4, dash - 4))].emplace_back(key);
      return true;
    }
    constexpr size_t Guid = 36, Origin = 10 + Guid + 1;
    if (StartsWith(key, "namespace-") && key.size() > Origin && key[Origin - 1] == '-') {
      bool known;
      (EraseOrigin(key.substr(Origin), key, known) ? erasedMaps_ : keptMaps_).insert(std::string(value));
      return known;
    }
    return false;
  }
  void Finish() override {
    for (const std::string& id : erasedMaps_)
      if (!keptMaps_.count(id))
        if (auto m = maps_.find(id); m != maps_.end()) doomed.insert(doomed.end(), m->second.begin(), m->second.end());
  }

 private:
  std::map<std::string, std::vector<std::string>> maps_;
  std::set<std::string> erasedMaps_, keptMaps_;
};

// The File System API's origins: "LAST_PATH", and "ORIGIN:<scheme>_<host>_<port>" naming the
// origin's folder beside the store.
class FileSystemPlan : public KeyPlan {
 public:
  FileSystemPlan(const Choices& choices, std::wstring parent) : KeyPlan(choices), parent_(std::move(parent)) {}
  bool See(std::string_view key, std::string_view value) override {
    if (key == "LAST_PATH") return true;
    if (!StartsWith(key, "ORIGIN:")) return false;
    SiteOwner o = OwnerOfIndexedDbFolder(std::string(key.substr(7)) + ".indexeddb.leveldb");
    if (o.owner == Owner::Unknown || value.empty() || value.find_first_of("\\/.:") != std::string_view::npos)
      return false;
    if (Erased(choices_, o)) {
      doomed.emplace_back(key);
      folders.push_back(parent_ + L"\\" + Wide(value));
    }
    return true;
  }

 private:
  std::wstring parent_;
};

bool ReadVarint(std::string_view& s, unsigned long long& v) {
  v = 0;
  for (int shift = 0; shift < 64 && !s.empty(); shift += 7) {
    unsigned char c = static_cast<unsigned char>(s[0]);
    s.remove_prefix(1);
    v |= static_cast<unsigned long long>(c & 0x7F) << shift;
    if (!(c & 0x80)) return true;
  }
  return false;
}

// The top-level fields of a protocol-buffer message: `number` -> varint value or bytes. False when
// the bytes are no such message.
bool ProtoFields(std::string_view s, const std::function<void(unsigned, unsigned long long, std::string_view)>& field) {
  while (!s.empty()) {
    unsigned long long tag, v;
    if (!ReadVarint(s, tag)) return false;
    unsigned number = static_cast<unsigned>(tag >> 3);
    switch (tag & 7) {
      case 0:
        if (!ReadVarint(s, v)) return false;
        field(number, v, {});
        break;
      case 1:
        if (s.size() < 8) return false;
        s.remove_prefix(8);
        break;
      case 2:
        if (!ReadVarint(s, v) || v > s.size()) return false;
        field(number, 0, s.substr(0, v));
        s.remove_prefix(v);
        break;
      case 5:
        if (s.size() < 4) return false;
        s.remove_prefix(4);
        break;
      default:
        return false;
    }
  }
  return true;
}

// The service-worker database: each registration by origin ("REG:<origin>\0<id>", its id's origin,
// its user data) and the script resources of its version ("RES:<version>\0<resource>"). The
// resources of a registration that goes are handed to the browser's own purge ("PRES:"), which
// takes their scripts out of the script cache when it next starts.
class ServiceWorkerPlan : public KeyPlan {
 public:
  using KeyPlan::KeyPlan;
  bool See(std::string_view key, std::string_view value) override {
    static constexpr std::string_view Plain[] = {"INITDATA_NEXT_REGISTRATION_ID", "INITDATA_NEXT_RESOURCE_ID",
                                                 "INITDATA_NEXT_VERSION_ID", "INITDATA_DISKCACHE_MIGRATION_NOT_NEEDED",
                                                 "INITDATA_OLD_DISKCACHE_DELETION_NOT_NEEDED"};
    if (key == "INITDATA_DB_VERSION") return value == "2";
    for (std::string_view plain : Plain)
      if (key == plain) return true;
    if (StartsWith(key, "URES:") || StartsWith(key, "PRES:")) return true;
    bool known = false;
    if (StartsWith(key, "INITDATA_UNIQUE_ORIGIN:")) {
      EraseOrigin(key.substr(23), key, known);
      return known;
    }
    if (StartsWith(key, "INITDATA_FOREIGN_FETCH_ORIGIN:")) {
      EraseOrigin(key.substr(30), key, known);
      return known;
    }
    if (StartsWith(key, "REG:")) {
      size_t nul = key.find('\0');
      if (nul == std::string_view::npos) return false;
      if (!EraseOrigin(key.substr(4, nul - 4), key, known)) return known;
      erasedRegistrations_.insert(std::string(key.substr(nul + 1)));
      // The registration's message: its version is field 4.
      bool hasVersion = false;
      bool sound = ProtoFields(value, [&](unsigned n, unsigned long long v, std::string_view) {
        if (n == 4) erasedVersions_.insert(std::to_string(v)), hasVersion = true;
      });
      return sound && hasVersion;
    }
    if (StartsWith(key, "REGID_TO_ORIGIN:")) {
      regidOrigins_.emplace_back(key.substr(16), key);
      return true;
    }
    if (StartsWith(key, "RES:")) return Split(key, 4, resources_);
    if (StartsWith(key, "REG_USER_DATA:")) return Split(key, 14, userData_);
    if (StartsWith(key, "REG_HAS_USER_DATA:")) {
      size_t nul = key.find('\0');
      if (nul == std::string_view::npos) return false;
      userData_[std::string(key.substr(nul + 1))].emplace_back(key, std::string());
      return true;
    }
    return false;
  }
  void Finish() override {
    for (const auto& [id, key] : regidOrigins_)
      if (erasedRegistrations_.count(id)) doomed.push_back(key);
    for (const auto& [id, keys] : userData_)
      if (erasedRegistrations_.count(id))
        for (const auto& k : keys) doomed.push_back(k.first);
    for (const auto& [version, keys] : resources_)
      if (erasedVersions_.count(version))
        for (const auto& [key, resource] : keys) {
          doomed.push_back(key);
          written.emplace_back("PRES:" + resource, std::string());
        }
  }

 private:
  using Keyed = std::map<std::string, std::vector<std::pair<std::string, std::string>>>;
  // "<prefix><id>\0<rest>": the key filed under its id, with its rest.
  static bool Split(std::string_view key, size_t prefix, Keyed& into) {
    size_t nul = key.find('\0', prefix);
    if (nul == std::string_view::npos) return false;
    into[std::string(key.substr(prefix, nul - prefix))].emplace_back(key, key.substr(nul + 1));
    return true;
  }
  std::set<std::string> erasedRegistrations_, erasedVersions_;
  std::vector<std::pair<std::string, std::string>> regidOrigins_;
  Keyed resources_, userData_;
};

}  // namespace

// A LevelDB store from its check to its clearing: open, read once, its plan made.
struct SiteData::Held {
  std::wstring folder;
  LevelStore store;
  std::unique_ptr<KeyPlan> plan;
};

namespace {

// A LevelDB folder that holds no file of a database (a browser may make the folder, or take the
// lock, before it stores anything) has nothing to erase; one that holds some is opened, and
// LevelDB says whether it is sound.
bool HoldsDatabase(const std::wstring& folder) {
  for (const Entry& e : Entries(folder)) {
    const std::wstring& n = e.name;
    auto ends = [&](const wchar_t* suffix) {
      size_t len = wcslen(suffix);
      return n.size() > len && n.compare(n.size() - len, len, suffix) == 0;
    };
    if (!e.folder && (n == L"CURRENT" || n.rfind(L"MANIFEST-", 0) == 0 || ends(L".ldb") || ends(L".sst") || ends(L".log")))
      return true;
  }
  return false;
}

// The check opens and reads the store and keeps it open with its plan; the clearing carries the
// plan out on it.
void LevelDbStore(Pass& pass, const std::wstring& folder, const std::function<std::unique_ptr<KeyPlan>()>& makePlan) {
  if (pass.clear) {
    for (auto& held : pass.held) {
      if (held->folder != folder) continue;
      if (!held->store.Change(held->plan->doomed, held->plan->written)) pass.Fail(BrowserFailed);
      FolderRemoval removal;
      for (const std::wstring& gone : held->plan->folders)
        if (!removal.Remove(gone)) pass.Fail(BrowserFailed);
    }
    return;
  }
  if (!IsFolder(folder) || !HoldsDatabase(folder)) return;
  auto held = std::make_unique<SiteData::Held>();
  held->folder = folder;
  held->plan = makePlan();
  StoreState state = pass.choices.countOnly ? held->store.OpenCopy(folder) : held->store.Open(folder);
  bool known = true;
  if (state == StoreState::Ready)
    state = held->store.Read([&](std::string_view key, std::string_view value) { return known = held->plan->See(key, value); });
  if (state != StoreState::Ready) return void(pass.Fail(OutcomeOf(state)));
  if (!known) return void(pass.Fail(BrowserFailed));
  held->plan->Finish();
  pass.held.push_back(std::move(held));
}

// --- Folders, one per origin.

// Checks or removes the folders of `parent` whose owner goes; `owner` names a folder's owner.
void OriginFolders(Pass& pass, const std::wstring& parent, SiteOwner (*owner)(std::string_view)) {
  FolderRemoval removal;
  for (const Entry& e : Entries(parent)) {
    if (!e.folder) continue;
    SiteOwner o = owner(Utf8(e.name));
    if (o.owner == Owner::Unknown) {
      pass.Fail(BrowserFailed);
      continue;
    }
    if (!Erased(pass.choices, o)) continue;
    // A browser that runs holds its lock file: the folders of one that does not are its data at rest.
    if (pass.clear && !removal.Remove(parent + L"\\" + e.name)) pass.Fail(BrowserFailed);
  }
}

// Cache Storage: a folder per origin, named by a hash; its index names the origin.
constexpr size_t MaxIndexFile = 4u << 20;
void CacheStorage(Pass& pass, const std::wstring& parent) {
  FolderRemoval removal;
  for (const Entry& e : Entries(parent)) {
    if (!e.folder) continue;
    std::wstring path = parent + L"\\" + e.name;
    winapp::FileContent index = winapp::ReadWholeFile(path + L"\\index.txt", MaxIndexFile);
    SiteOwner o{Owner::Unknown, {}};
    bool sound = index.read() && ProtoFields(index.bytes, [&](unsigned n, unsigned long long, std::string_view s) {
      if (n == 2 && o.owner == Owner::Unknown) o = OwnerOfOrigin(s);
    });
    if (!sound || o.owner == Owner::Unknown) {
      pass.Fail(BrowserFailed);
      continue;
    }
    if (Erased(pass.choices, o) && pass.clear && !removal.Remove(path)) pass.Fail(BrowserFailed);
  }
}

// --- SQLite stores.

void EraseFunction(sqlite3_context* context, int, sqlite3_value** values) {
  auto* p = static_cast<std::pair<const Choices*, SiteOwner (*)(std::string_view)>*>(sqlite3_user_data(context));
  const unsigned char* text = sqlite3_value_text(values[0]);
  bool erase = text && Erased(*p->first, p->second(reinterpret_cast<const char*>(text)));
  sqlite3_result_int(context, erase);
}

// Runs `statements` and commits them, with qr_erase(name) telling whether the owner of a stored
// name goes.
void Erase(Pass& pass, Database& db, SiteOwner (*owner)(std::string_view), std::initializer_list<const char*> statements) {
  std::pair<const Choices*, SiteOwner (*)(std::string_view)> context{&pass.choices, owner};
  bool ok = sqlite3_create_function(db.Handle(), "qr_erase", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, &context,
                                    EraseFunction, nullptr, nullptr) == SQLITE_OK;
  for (const char* sql : statements) ok = ok && db.Exec(sql);
  if (!ok || !db.Commit()) pass.Fail(BrowserFailed);
}

// Runs `statements` on a database in one transaction, with qr_erase(name) telling whether the
// owner of a stored name goes. The check only opens (locked and checked) and looks for `needs`;
// a database without them is of a layout the module does not know, unless it is `optional`.
// `list` (a query) names the stored names the check judges.
void SqliteStore(Pass& pass, const std::wstring& file, const char* needs, SiteOwner (*owner)(std::string_view),
                 std::initializer_list<const char*> statements, const char* list, bool optional = false) {
  if (!IsFile(file)) return;
  Database db;
  DbState state = OpenDb(pass.choices, db, file);
  if (state != DbState::Ready) {
    pass.Fail(pass.clear ? BrowserFailed : OutcomeOf(state));
    return;
  }
  if (!db.Has(needs)) {
    if (!optional) pass.Fail(BrowserFailed);
    return;
  }
  if (pass.clear) return Erase(pass, db, owner, statements);
  // The check judges each stored name as the clearing will, for the count of sites; a name of no
  // known owner is kept by the clearing, as here.
  std::vector<std::string> names;
  if (list && !db.Column(list, names)) return void(pass.Fail(BrowserFailed));
  for (const std::string& name : names) Erased(pass.choices, owner(name));
}

// Storage buckets: the quota database maps each bucket's folder under WebStorage to its origin.
void Buckets(Pass& pass, const std::wstring& webStorage) {
  std::wstring quota = webStorage + L"\\QuotaManager";
  if (!IsFile(quota)) return;
  std::vector<std::string> ids;
  {
    Database db;
    DbState state = OpenDb(pass.choices, db, quota);
    if (state != DbState::Ready) {
      pass.Fail(pass.clear ? BrowserFailed : OutcomeOf(state));
      return;
    }
    std::vector<std::string> keys;
    if (!db.Has("buckets.id buckets.storage_key") ||
        !db.Column("SELECT id || ' ' || storage_key FROM buckets ORDER BY id", keys)) {
      pass.Fail(BrowserFailed);
      return;
    }
    for (const std::string& row : keys) {
      size_t blank = row.find(' ');
      SiteOwner o = OwnerOfOrigin(std::string_view(row).substr(blank + 1));
      if (o.owner == Owner::Unknown) return void(pass.Fail(BrowserFailed));
      if (Erased(pass.choices, o)) ids.push_back(row.substr(0, blank));
    }
  }
  // Every folder beside the database is a bucket's, named by its number.
  for (const Entry& e : Entries(webStorage)) {
    if (!e.folder) continue;
    bool number = !e.name.empty();
    for (wchar_t c : e.name) number &= c >= L'0' && c <= L'9';
    if (!number) pass.Fail(BrowserFailed);
  }
  if (!pass.clear || ids.empty()) return;
  {
    FolderRemoval removal;
    for (const std::string& id : ids)
      if (!removal.Remove(webStorage + L"\\" + Wide(id))) pass.Fail(BrowserFailed);
  }
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  std::string sql = "DELETE FROM buckets WHERE id IN (" + list + ")";
  SqliteStore(pass, quota, "buckets.id", OwnerOfOrigin, {sql.c_str()}, nullptr);
}

// The first `size` bytes of a file (fewer when it is shorter); empty when it cannot be read.
std::string ReadHead(const std::wstring& path, DWORD size) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string bytes(size, '\0');
  DWORD read = 0;
  if (!ReadFile(h, bytes.data(), size, &read, nullptr)) read = 0;
  CloseHandle(h);
  bytes.resize(read);
  return bytes;
}

// A database's own version, from the `meta` table Chromium's databases carry.
std::string MetaVersion(Database& db) {
  std::vector<std::string> version;
  if (!db.Has("meta.key meta.value") || !db.Column("SELECT value FROM meta WHERE key = 'version'", version) ||
      version.size() != 1)
    return {};
  return version[0];
}

// Opens a SQLite store of site data for the check or the clearing: false (the outcome noted) when
// it cannot be opened, or when its version is not `version` or it lacks the tables and columns
// `needs` names.
bool OpenStore(Pass& pass, Database& db, const std::wstring& file, const char* version, const char* needs) {
  DbState state = OpenDb(pass.choices, db, file);
  if (state != DbState::Ready) return pass.Fail(pass.clear ? BrowserFailed : OutcomeOf(state));
  if (MetaVersion(db) != version || !db.Has(needs)) return pass.Fail(BrowserFailed);
  return true;
}

// Whether each value of a column goes; false when one names no owner the module knows.
bool Owners(Database& db, const char* sql, const Choices& choices, SiteOwner (*owner)(std::string_view),
            std::vector<std::string>* erased = nullptr) {
  std::vector<std::string> names;
  if (!db.Column(sql, names)) return false;
  for (const std::string& name : names) {
    SiteOwner o = owner(name);
    if (o.owner == Owner::Unknown) return false;
    if (Erased(choices, o) && erased) erased->push_back(name);
  }
  return true;
}

// The Shared Storage API's database (version 6): values and their origins' totals by origin, the
// spent budget by site. The rows of every origin and site not kept go, in one transaction.
void SharedStorage(Pass& pass, const std::wstring& file) {
  if (!IsFile(file)) return;
  Database db;
  if (!OpenStore(pass, db, file, "6",
                 "values_mapping.context_origin per_origin_mapping.context_origin budget_mapping.context_site"))
    return;
  for (const char* sql : {"SELECT DISTINCT ifnull(context_origin, '') FROM values_mapping",
                          "SELECT ifnull(context_origin, '') FROM per_origin_mapping",
                          "SELECT DISTINCT ifnull(context_site, '') FROM budget_mapping"})
    if (!Owners(db, sql, pass.choices, OwnerOfOrigin)) return void(pass.Fail(BrowserFailed));
  if (pass.clear)
    Erase(pass, db, OwnerOfOrigin,
          {"DELETE FROM values_mapping WHERE qr_erase(context_origin)",
           "DELETE FROM per_origin_mapping WHERE qr_erase(context_origin)",
           "DELETE FROM budget_mapping WHERE qr_erase(context_site)"});
}

// Compression dictionaries: `db` (version 4) holds one row a dictionary, with the frame that
// fetched it, its top-level site and the host that served it; the dictionary's bytes are an entry
// of the simple disk cache beside it, keyed by the row's token (the two halves in upper-case hex).
// A dictionary is its serving host's data, as a cookie is its host's, unless an extension's page
// or the browser's own fetched it.
constexpr uint64_t SimpleCacheMagic = 0xfcfb6d1ba7725c30ull;
constexpr uint32_t SimpleEntryVersion = 5;
constexpr DWORD SimpleEntryHead = 24;  // magic, version, key length, key hash, padding; then the key

struct DictionaryPlan {
  std::vector<std::string> rows;      // primary keys
  std::vector<std::wstring> files;    // the cache's files of those dictionaries
};

// Finds what goes; false (the outcome noted) when something is of no form the module knows.
bool FindDictionaries(Pass& pass, Database& db, const std::wstring& cache, DictionaryPlan& plan) {
  std::vector<std::string> rows;
  if (!db.Column("SELECT primary_key || char(9) || ifnull(frame_origin, '') || char(9) || ifnull(top_frame_site, '') ||"
                 " char(9) || ifnull(host, '') || char(9) || printf('%016X%016X', token_high, token_low)"
                 " FROM dictionaries",
                 rows))
    return pass.Fail(BrowserFailed);
  std::set<std::string> tokens;
  for (const std::string& row : rows) {
    std::string_view rest = row, field[5];
    for (int i = 0; i < 5; ++i) {
      size_t tab = i < 4 ? rest.find('\t') : rest.size();
      if (tab == std::string_view::npos) return pass.Fail(BrowserFailed);
      field[i] = rest.substr(0, tab);
      rest.remove_prefix(std::min(rest.size(), tab + 1));
    }
    SiteOwner frame = OwnerOfOrigin(field[1]), top = OwnerOfOrigin(field[2]), host = OwnerOfOrigin(field[3]);
    if (frame.owner == Owner::Unknown || top.owner == Owner::Unknown || host.owner == Owner::Unknown)
      return pass.Fail(BrowserFailed);
    if (frame.owner != Owner::Web || top.owner != Owner::Web || !Erased(pass.choices, host)) continue;
    plan.rows.emplace_back(field[0]);
    tokens.emplace(field[4]);
  }
  if (tokens.empty()) return true;
  // Each entry's first file names its key; its other files share the name's hash part.
  for (const Entry& e : Entries(cache)) {
    const std::wstring& n = e.name;
    if (e.folder || n.size() != 18 || n.compare(16, 2, L"_0") != 0 ||
        n.find_first_not_of(L"0123456789abcdef") < 16)
      continue;
    std::string head = ReadHead(cache + L"\\" + n, SimpleEntryHead + 64);
    uint64_t magic = 0;
    uint32_t version = 0, keyLength = 0;
    if (head.size() >= SimpleEntryHead) {
      memcpy(&magic, head.data(), 8);
      memcpy(&version, head.data() + 8, 4);
      memcpy(&keyLength, head.data() + 12, 4);
    }
    if (magic != SimpleCacheMagic || version != SimpleEntryVersion) return pass.Fail(BrowserFailed);
    if (keyLength > head.size() - SimpleEntryHead || !tokens.count(head.substr(SimpleEntryHead, keyLength))) continue;
    for (const wchar_t* stream : {L"_0", L"_1", L"_s"})
      if (std::wstring file = cache + L"\\" + n.substr(0, 16) + stream; IsFile(file)) plan.files.push_back(file);
  }
  return true;
}

void SharedDictionaries(Pass& pass, const std::wstring& folder) {
  std::wstring file = folder + L"\\db";
  if (!IsFile(file)) return;
  Database db;
  if (!OpenStore(pass, db, file, "4",
                 "dictionaries.primary_key dictionaries.frame_origin dictionaries.top_frame_site dictionaries.host "
                 "dictionaries.token_high dictionaries.token_low dictionaries.size"))
    return;
  DictionaryPlan plan;
  if (!FindDictionaries(pass, db, folder + L"\\cache", plan) || !pass.clear || plan.rows.empty()) return;
  // The bytes first: a row whose entry is gone is a dictionary the browser drops when it looks for it.
  for (const std::wstring& gone : plan.files)
    if (!DeleteFileW(gone.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) pass.Fail(BrowserFailed);
  std::string list;
  for (const std::string& id : plan.rows) list += (list.empty() ? "" : ",") + id;
  std::string remove = "DELETE FROM dictionaries WHERE primary_key IN (" + list + ")";
  bool ok = db.Exec(remove.c_str()) &&
            db.Exec("UPDATE meta SET value = (SELECT ifnull(sum(size), 0) FROM dictionaries) WHERE key = 'total_dict_size'");
  if (!ok || !db.Commit()) pass.Fail(BrowserFailed);
}

// WebSQL, which Chromium no longer makes: `Databases.db` (version 2) lists each database under
// its origin's name ("https_host_0"), the files of which lie in a folder of that name.
SiteOwner OwnerOfStorageName(std::string_view name) {
  return OwnerOfIndexedDbFolder(std::string(name) + ".indexeddb.leveldb");
}

void WebSql(Pass& pass, const std::wstring& folder) {
  std::wstring file = folder + L"\\Databases.db";
  std::vector<std::string> rows;
  Database db;
  if (IsFile(file)) {
    if (!OpenStore(pass, db, file, "2", "Databases.origin")) return;
    if (!Owners(db, "SELECT DISTINCT ifnull(origin, '') FROM Databases", pass.choices, OwnerOfStorageName, &rows))
      return void(pass.Fail(BrowserFailed));
  }
  std::vector<std::wstring> folders;
  for (const Entry& e : Entries(folder)) {
    if (!e.folder) continue;
    SiteOwner o = OwnerOfStorageName(Utf8(e.name));
    if (o.owner == Owner::Unknown) return void(pass.Fail(BrowserFailed));
    if (Erased(pass.choices, o)) folders.push_back(folder + L"\\" + e.name);
  }
  if (!pass.clear) return;
  {
    FolderRemoval removal;
    for (const std::wstring& gone : folders)
      if (!removal.Remove(gone)) pass.Fail(BrowserFailed);
  }
  if (!rows.empty()) Erase(pass, db, OwnerOfStorageName, {"DELETE FROM Databases WHERE qr_erase(origin)"});
}

// Firefox's service-worker registrations: a version line, then one block a registration, its
// lines ending with "#"; a block's second line is its scope.
constexpr size_t MaxRegistrationsFile = 16u << 20;
void FirefoxServiceWorkers(Pass& pass, const std::wstring& file) {
  if (!IsFile(file)) return;
  winapp::FileContent text = winapp::ReadWholeFile(file, MaxRegistrationsFile);
  if (!text.read()) return void(pass.Fail(BrowserFailed));
  std::string_view rest = text.bytes;
  size_t eol = rest.find('\n');
  if (eol == std::string_view::npos || rest.substr(0, eol) != "12") return void(pass.Fail(BrowserFailed));
  std::string kept(rest.substr(0, eol + 1));
  rest.remove_prefix(eol + 1);
  bool dropped = false;
  while (!rest.empty()) {
    size_t end = rest.find("\n#\n");
    if (end == std::string_view::npos) return void(pass.Fail(BrowserFailed));
    std::string_view block = rest.substr(0, end + 3);
    rest.remove_prefix(end + 3);
    size_t first = block.find('\n');
    size_t second = block.find('\n', first + 1);
    SiteOwner o = OwnerOfOrigin(block.substr(first + 1, second - first - 1));
    if (o.owner == Owner::Unknown) return void(pass.Fail(BrowserFailed));
    if (Erased(pass.choices, o))
      dropped = true;
    else
      kept += block;
  }
  if (!pass.clear || !dropped) return;
  // Written beside it and moved over it: never half a file.
  std::wstring fresh = file + L".qr-new";
  HANDLE h = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, kept.data(), static_cast<DWORD>(kept.size()), &written, nullptr) &&
            written == kept.size() && FlushFileBuffers(h);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  ok = ok && MoveFileExW(fresh.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) {
    DeleteFileW(fresh.c_str());
    pass.Fail(BrowserFailed);
  }
}

// Firefox's quota cache names the origins whose folders it counted: theirs go, and the cache is
// marked stale so the browser counts the folders again. Versions without the cache count them at
// every start.
SiteOwner OwnerOfFirefoxCachedOrigin(std::string_view origin) { return OwnerOfOrigin(origin); }

void Chromium(Pass& pass, const Profile& profile) {
  const std::wstring& d = profile.data;
  const Choices& c = pass.choices;
  LevelDbStore(pass, d + L"\\Local Storage\\leveldb", [&] { return std::make_unique<LocalStoragePlan>(c); });
  LevelDbStore(pass, d + L"\\Session Storage", [&] { return std::make_unique<SessionStoragePlan>(c); });
  LevelDbStore(pass, d + L"\\Service Worker\\Database", [&] { return std::make_unique<ServiceWorkerPlan>(c); });
  CacheStorage(pass, d + L"\\Service Worker\\CacheStorage");
  LevelDbStore(pass, d + L"\\File System\\Origins",
               [&] { return std::make_unique<FileSystemPlan>(c, d + L"\\File System"); });
  OriginFolders(pass, d + L"\\IndexedDB", OwnerOfIndexedDbFolder);
  Buckets(pass, d + L"\\WebStorage");
  SharedStorage(pass, d + L"\\SharedStorage");
  SharedDictionaries(pass, d + L"\\Shared Dictionary");
  WebSql(pass, d + L"\\databases");
}

void Firefox(Pass& pass, const Profile& profile) {
  const std::wstring& d = profile.data;
  for (const wchar_t* kind : {L"\\storage\\default", L"\\storage\\temporary"})
    OriginFolders(pass, d + kind, OwnerOfFirefoxFolder);
  SqliteStore(pass, d + L"\\storage.sqlite", "origin.origin cache.valid", OwnerOfFirefoxCachedOrigin,
              {"DELETE FROM origin WHERE qr_erase(origin)", "UPDATE cache SET valid = 0"},
              "SELECT DISTINCT origin FROM origin WHERE origin IS NOT NULL", true);
  for (const wchar_t* file : {L"\\webappsstore.sqlite", L"\\storage\\ls-archive.sqlite"})
    SqliteStore(pass, d + file, "webappsstore2.originKey", OwnerOfFirefoxOriginKey,
                {"DELETE FROM webappsstore2 WHERE qr_erase(originKey)"},
                "SELECT DISTINCT originKey FROM webappsstore2 WHERE originKey IS NOT NULL");
  FirefoxServiceWorkers(pass, d + L"\\serviceworker.txt");
}

BrowserOutcome Run(const Browser& browser, const Profile& profile, const Choices& choices, bool clear,
                   std::vector<std::unique_ptr<SiteData::Held>>& held) {
  if (!(choices.chosen & ChooseCookies)) return BrowserCleared;
  Pass pass{choices, clear, held};
  if (browser.family == Family::Chromium)
    Chromium(pass, profile);
  else
    Firefox(pass, profile);
  return pass.outcome;
}

}  // namespace

SiteOwner OwnerOfOrigin(std::string_view origin) {
  size_t scheme = origin.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return {Owner::Unknown, {}};
  std::string_view rest = origin.substr(scheme + 3);
  size_t end = rest.find_first_of("/^?#");
  std::string_view authority = rest.substr(0, end);
  if (authority.find('@') != std::string_view::npos) return {Owner::Unknown, {}};
  std::string_view host = authority;
  if (StartsWith(host, "[")) {
    size_t close = host.find(']');
    if (close == std::string_view::npos) return {Owner::Unknown, {}};
    host = host.substr(0, close + 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  return Of(origin.substr(0, scheme), host);
}

SiteOwner OwnerOfIndexedDbFolder(std::string_view name) {
  for (std::string_view suffix : {".indexeddb.leveldb", ".indexeddb.blob"}) {
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) continue;
    std::string_view id = name.substr(0, name.size() - suffix.size());
    size_t first = id.find('_'), last = id.rfind('_');
    if (first == std::string_view::npos || last <= first) return {Owner::Unknown, {}};
    for (char c : id.substr(last + 1))
      if (!std::isdigit(static_cast<unsigned char>(c))) return {Owner::Unknown, {}};
    return Of(id.substr(0, first), id.substr(first + 1, last - first - 1));
  }
  return {Owner::Unknown, {}};
}

SiteOwner OwnerOfFirefoxFolder(std::string_view name) {
  std::string_view origin = name.substr(0, name.find('^'));
  size_t scheme = origin.find("+++");
  if (scheme == std::string_view::npos) {
    // "about+home", "chrome", "indexeddb+...": the browser's own.
    return {origin.empty() ? Owner::Unknown : Owner::Other, {}};
  }
  std::string_view host = origin.substr(scheme + 3);
  if (StartsWith(host, "[")) {
    size_t close = host.find(']');
    if (close == std::string_view::npos) return {Owner::Unknown, {}};
    host = host.substr(0, close + 1);
  } else if (size_t plus = host.rfind('+'); plus != std::string_view::npos) {
    for (char c : host.substr(plus + 1))
      if (!std::isdigit(static_cast<unsigned char>(c))) return {Owner::Unknown, {}};
    host = host.substr(0, plus);
  }
  return Of(origin.substr(0, scheme), host);
}

SiteOwner OwnerOfFirefoxOriginKey(std::string_view key) {
  size_t colon = key.find(':');
  if (colon == std::string_view::npos || colon == 0 || key[colon - 1] != '.') return {Owner::Unknown, {}};
  std::string host(key.substr(0, colon - 1));
  host.assign(host.rbegin(), host.rend());
  std::string_view scheme = key.substr(colon + 1);
  scheme = scheme.substr(0, scheme.find(':'));
  return Of(scheme, host);
}

SiteData::SiteData(const Browser& browser, const Profile& profile, const Choices& choices)
    : browser_(&browser), profile_(&profile), choices_(&choices) {}
SiteData::~SiteData() = default;
SiteData::SiteData(SiteData&&) noexcept = default;

BrowserOutcome SiteData::Check() {
  held_.clear();
  BrowserOutcome outcome = Run(*browser_, *profile_, *choices_, false, held_);
  checked_ = outcome == BrowserCleared;
  if (!checked_) held_.clear();
  return outcome;
}

bool SiteData::Clear() {
  if (!checked_) return false;
  checked_ = false;
  bool cleared = Run(*browser_, *profile_, *choices_, true, held_) == BrowserCleared;
  held_.clear();
  return cleared;
}

}  // namespace browsers
