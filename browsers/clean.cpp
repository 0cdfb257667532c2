#include "clean.h"

#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "browserdata.h"
#include "database.h"
#include "disk.h"
#include "files.h"
#include "sitedata.h"

namespace browsers {

namespace {

constexpr unsigned H = ChooseHistory, T = ChooseTmpInt, C = ChooseCookies, R = ChooseRecent, U = ChooseUrl;

// One statement of a database: the choices it serves, the tables and columns it names (a
// statement whose names a version of the browser lacks is left out, never guessed at) and its
// text. Every "not in" is written as NOT EXISTS: a NOT IN over a column that holds a NULL matches
// nothing, and would quietly keep every row.
struct Step {
  unsigned choices;
  const char* needs;
  const char* sql;
};

// What a database needs before its steps: the addresses to keep in temp.kept_urls (and their
// origins in temp.kept_origins).
enum class Kept { None, Bookmarks, FirefoxPages };

struct DatabaseKind {
  Family family;
  const wchar_t* file;  // relative to the profile folder
  bool foreignKeys;
  Kept kept;
  bool tellsPages;  // its moz_places, once cleaned, are the pages whose icons stay
  const Step* steps;
  size_t count;
};

// Chromium's History: visits, downloads, search terms, segments, clusters and annotations go;
// an address stays only while it is bookmarked, with its counts emptied.
const Step ChromiumHistory[] = {
    {H, "visits", "DELETE FROM visits"},
    {H, "visit_source", "DELETE FROM visit_source"},
    {H | U, "keyword_search_terms", "DELETE FROM keyword_search_terms"},
    {H, "segment_usage", "DELETE FROM segment_usage"},
    {H, "segments", "DELETE FROM segments"},
    {H, "downloads_url_chains", "DELETE FROM downloads_url_chains"},
    {H, "downloads_slices", "DELETE FROM downloads_slices"},
    {H, "downloads_reroute_info", "DELETE FROM downloads_reroute_info"},
    {H, "downloads", "DELETE FROM downloads"},
    {H, "visited_links", "DELETE FROM visited_links"},
    {H, "clusters_and_visits", "DELETE FROM clusters_and_visits"},
    {H, "cluster_keywords", "DELETE FROM cluster_keywords"},
    {H, "cluster_visit_duplicates", "DELETE FROM cluster_visit_duplicates"},
    {H, "clusters", "DELETE FROM clusters"},
    {H, "content_annotations", "DELETE FROM content_annotations"},
    {H, "context_annotations", "DELETE FROM context_annotations"},
    {H, "journey_history_entries", "DELETE FROM journey_history_entries"},
    {H, "journey_continuation_queries", "DELETE FROM journey_continuation_queries"},
    {H, "journeys", "DELETE FROM journeys"},
    {H, "urls.url", "DELETE FROM urls WHERE NOT EXISTS (SELECT 1 FROM temp.kept_urls k WHERE k.url = urls.url)"},
    {H, "urls.visit_count urls.last_visit_time", "UPDATE urls SET visit_count = 0, last_visit_time = 0"},
    {U, "urls.typed_count", "UPDATE urls SET typed_count = 0"},
};

// Chromium's Favicons: the icons of pages that are no longer in the history.
const Step ChromiumFavicons[] = {
    {H, "icon_mapping.page_url",
     "DELETE FROM icon_mapping WHERE NOT EXISTS (SELECT 1 FROM temp.kept_urls k WHERE k.url = icon_mapping.page_url)"},
    {H, "favicons.id icon_mapping.icon_id",
     "DELETE FROM favicons WHERE NOT EXISTS (SELECT 1 FROM icon_mapping m WHERE m.icon_id = favicons.id)"},
    {H, "favicon_bitmaps.icon_id favicons.id",
     "DELETE FROM favicon_bitmaps WHERE NOT EXISTS (SELECT 1 FROM favicons f WHERE f.id = favicon_bitmaps.icon_id)"},
};

// Chromium's Web Data: the entries forms offer again (the older table and today's), nothing else
// of the file: saved addresses, payment cards and search engines stay.
const Step ChromiumWebData[] = {
    {H, "autofill.name autofill.value", "DELETE FROM autofill"},
    {H, "autocomplete.name autocomplete.value", "DELETE FROM autocomplete"},
};

const Step ChromiumCookies[] = {
    {C, "cookies.host_key", "DELETE FROM cookies WHERE NOT qr_keep(host_key)"},
};

// Firefox's places.sqlite: visits and every page that is neither bookmarked nor named by a
// keyword (foreign_count counts both); the file's cascades take the rows that hang on them.
const Step FirefoxPlaces[] = {
    {H, "moz_historyvisits", "DELETE FROM moz_historyvisits"},
    {H | U, "moz_inputhistory", "DELETE FROM moz_inputhistory"},
    {H, "moz_places_metadata", "DELETE FROM moz_places_metadata"},
    {H, "moz_places_metadata_search_queries", "DELETE FROM moz_places_metadata_search_queries"},
    {H, "moz_previews_tombstones", "DELETE FROM moz_previews_tombstones"},
    {H, "moz_places.id moz_places.foreign_count moz_bookmarks.fk",
     "DELETE FROM moz_places WHERE foreign_count = 0 AND "
     "NOT EXISTS (SELECT 1 FROM moz_bookmarks b WHERE b.fk = moz_places.id)"},
    {H, "moz_annos.place_id moz_places.id",
     "DELETE FROM moz_annos WHERE NOT EXISTS (SELECT 1 FROM moz_places p WHERE p.id = moz_annos.place_id)"},
    {H, "moz_places.visit_count moz_places.last_visit_date",
     "UPDATE moz_places SET visit_count = 0, last_visit_date = NULL"},
    {H, "moz_origins.id moz_places.origin_id",
     "DELETE FROM moz_origins WHERE NOT EXISTS (SELECT 1 FROM moz_places p WHERE p.origin_id = moz_origins.id)"},
    // How often and how lately a page was visited lives on in its frecency: the pages and sites
    // that stay are marked to be worked out anew from what is left, as the browser's own clearing does.
    {H, "moz_places.frecency", "UPDATE moz_places SET frecency = -1"},
    {H, "moz_places.recalc_frecency moz_places.alt_frecency moz_places.recalc_alt_frecency",
     "UPDATE moz_places SET recalc_frecency = 1, alt_frecency = NULL, recalc_alt_frecency = 1"},
    {H, "moz_origins.frecency", "UPDATE moz_origins SET frecency = 0"},
    {H, "moz_origins.recalc_frecency moz_origins.alt_frecency moz_origins.recalc_alt_frecency",
     "UPDATE moz_origins SET recalc_frecency = 1, alt_frecency = NULL, recalc_alt_frecency = 1"},
    {U, "moz_places.typed", "UPDATE moz_places SET typed = 0"},
};

// Firefox's favicons.sqlite: pages no longer in places, then icons no page uses; a site's root
// icon stays while a kept page of that site does.
const Step FirefoxFavicons[] = {
    {H, "moz_pages_w_icons.page_url",
     "DELETE FROM moz_pages_w_icons WHERE NOT EXISTS "
     "(SELECT 1 FROM temp.kept_urls k WHERE k.url = moz_pages_w_icons.page_url)"},
    {H, "moz_icons_to_pages.page_id moz_pages_w_icons.id",
     "DELETE FROM moz_icons_to_pages WHERE NOT EXISTS "
     "(SELECT 1 FROM moz_pages_w_icons p WHERE p.id = moz_icons_to_pages.page_id)"},
    {H, "moz_icons.id moz_icons.root moz_icons.icon_url moz_icons_to_pages.icon_id",
     "DELETE FROM moz_icons WHERE NOT EXISTS (SELECT 1 FROM moz_icons_to_pages t WHERE t.icon_id = moz_icons.id) "
     "AND (root = 0 OR NOT EXISTS (SELECT 1 FROM temp.kept_origins o "
     "WHERE substr(moz_icons.icon_url, 1, length(o.url) + 1) = o.url || '/'))"},
};

const Step FirefoxCookies[] = {
    {C, "moz_cookies.host", "DELETE FROM moz_cookies WHERE NOT qr_keep(host)"},
};

// Form history: every saved entry with the history (the browser's own history clearing takes them
// too), and what the search bar remembers of typing with the typed addresses.
const Step FirefoxForms[] = {
    {H, "moz_formhistory", "DELETE FROM moz_formhistory"},
    {H, "moz_sources.id moz_history_to_sources.source_id",
     "DELETE FROM moz_sources WHERE NOT EXISTS (SELECT 1 FROM moz_history_to_sources h WHERE h.source_id = moz_sources.id)"},
    {U, "moz_formhistory.fieldname", "DELETE FROM moz_formhistory WHERE fieldname = 'searchbar-history'"},
};

#define KIND(family, file, fk, kept, tells, steps) {family, file, fk, kept, tells, steps, sizeof steps / sizeof steps[0]}
// In this order: Firefox's favicons need the pages that places.sqlite keeps.
const DatabaseKind Kinds[] = {
    KIND(Family::Chromium, L"History", false, Kept::Bookmarks, false, ChromiumHistory),
    KIND(Family::Chromium, L"Favicons", false, Kept::Bookmarks, false, ChromiumFavicons),
    KIND(Family::Chromium, L"Web Data", false, Kept::None, false, ChromiumWebData),
    KIND(Family::Chromium, L"Network\\Cookies", false, Kept::None, false, ChromiumCookies),
    KIND(Family::Chromium, L"Cookies", false, Kept::None, false, ChromiumCookies),
    KIND(Family::Firefox, L"places.sqlite", true, Kept::None, true, FirefoxPlaces),
    KIND(Family::Firefox, L"favicons.sqlite", true, Kept::FirefoxPages, false, FirefoxFavicons),
    KIND(Family::Firefox, L"cookies.sqlite", false, Kept::None, false, FirefoxCookies),
    KIND(Family::Firefox, L"formhistory.sqlite", true, Kept::None, false, FirefoxForms),
};
#undef KIND

// A file or folder a choice removes. Files go whole with their -journal, -wal and -shm; a name
// with a '*' stands for every file it matches; caches are emptied and the folder kept.
enum class Removal { File, Cache };
struct Rule {
  Family family;
  unsigned choices;
  Removal removal;
  const wchar_t* name;  // a file in the profile folder, or a cache folder in its local folder
};
const Rule Rules[] = {
    {Family::Chromium, H, Removal::File, L"Visited Links"},
    {Family::Chromium, H, Removal::File, L"Top Sites"},
    {Family::Chromium, H | U, Removal::File, L"Shortcuts"},
    {Family::Chromium, H | U, Removal::File, L"Network Action Predictor"},
    {Family::Chromium, H, Removal::File, L"History Provider Cache"},
    {Family::Chromium, H, Removal::File, L"DIPS"},
    {Family::Chromium, H, Removal::File, L"Reporting and NEL"},
    {Family::Chromium, H, Removal::File, L"MediaDeviceSalts"},
    {Family::Chromium, H, Removal::File, L"HistoryEmbeddings"},
    {Family::Chromium, H, Removal::File, L"Archived History"},
    {Family::Chromium, H, Removal::File, L"History Index *"},
    {Family::Chromium, H, Removal::File, L"DownloadMetadata"},
    {Family::Chromium, T, Removal::Cache, L"Cache"},
    {Family::Chromium, T, Removal::Cache, L"Code Cache"},
    {Family::Chromium, T, Removal::Cache, L"GPUCache"},
    {Family::Chromium, T, Removal::Cache, L"DawnCache"},
    {Family::Chromium, T, Removal::Cache, L"DawnWebGPUCache"},
    {Family::Chromium, T, Removal::Cache, L"DawnGraphiteCache"},
    {Family::Chromium, T, Removal::Cache, L"Media Cache"},
    {Family::Chromium, R, Removal::Cache, L"JumpListIcons"},
    {Family::Chromium, R, Removal::Cache, L"JumpListIconsOld"},
    {Family::Chromium, R, Removal::Cache, L"JumpListIconsMostVisited"},
    {Family::Chromium, R, Removal::Cache, L"JumpListIconsRecentClosed"},
    {Family::Firefox, H, Removal::File, L"bounce-tracking-protection.sqlite"},
    {Family::Firefox, H, Removal::File, L"AlternateServices.*"},
    {Family::Firefox, T, Removal::Cache, L"cache2"},
    {Family::Firefox, H, Removal::Cache, L"thumbnails"},
    {Family::Firefox, R, Removal::Cache, L"jumpListCache"},
};

// The paths a rule names in a profile: the file itself, or every file its pattern matches.
std::vector<std::wstring> PathsOf(const Rule& rule, const Profile& profile) {
  if (rule.removal == Removal::Cache) return {profile.local + L"\\" + rule.name};
  if (!wcschr(rule.name, L'*')) return {profile.data + L"\\" + rule.name};
  std::vector<std::wstring> paths;
  for (const std::wstring& name : Files(profile.data, rule.name)) paths.push_back(profile.data + L"\\" + name);
  return paths;
}

bool Applies(const Rule& rule, const Browser& browser, const Choices& choices) {
  return rule.family == browser.family && (rule.choices & choices.chosen);
}

// Bookmarks files beyond this size are not read: their addresses cannot be known.
constexpr size_t MaxBookmarksFile = 64u << 20;

void KeepCookieFunction(sqlite3_context* context, int, sqlite3_value** values) {
  const Choices* choices = static_cast<const Choices*>(sqlite3_user_data(context));
  const unsigned char* host = sqlite3_value_text(values[0]);
  int keep = host && choices->keepCookie ? choices->keepCookie(choices->keepContext, reinterpret_cast<const char*>(host)) : 0;
  sqlite3_result_int(context, keep != 0);
}

struct OpenDatabase {
  const DatabaseKind* kind;
  const Profile* profile;
  size_t profileIndex;
  std::unique_ptr<Database> db;
};

BrowserOutcome OutcomeOf(DbState state) {
  return state == DbState::Busy ? BrowserRunning : state == DbState::Damaged ? BrowserDamaged : BrowserFailed;
}

std::string OriginOf(const std::string& url) {
  size_t scheme = url.find("://");
  if (scheme == std::string::npos) return {};
  size_t slash = url.find('/', scheme + 3);
  return url.substr(0, slash);
}

// What a statement that deletes took, by the table it deletes from; the cookies left are the kept.
bool Count(Database& db, const char* sql, BrowserCounts& counts) {
  std::string_view text(sql);
  constexpr std::string_view Delete = "DELETE FROM ";
  if (text.substr(0, Delete.size()) != Delete) return true;
  text.remove_prefix(Delete.size());
  std::string table(text.substr(0, text.find(' ')));
  auto changed = static_cast<unsigned long long>(db.Changes());
  if (table == "urls" || table == "moz_places") {
    counts.Pages += changed;
  } else if (table == "visits" || table == "moz_historyvisits") {
    counts.Visits += changed;
  } else if (table == "cookies" || table == "moz_cookies") {
    counts.Cookies += changed;
    std::vector<std::string> left;
    if (!db.Column(("SELECT count(*) FROM " + table).c_str(), left) || left.size() != 1) return false;
    counts.CookiesKept += std::strtoull(left[0].c_str(), nullptr, 10);
  } else {
    counts.Rows += changed;
  }
  return true;
}

}  // namespace

namespace {

bool InUseWithSideFiles(const std::wstring& path) {
  if (InUse(path)) return true;
  for (const wchar_t* suffix : SideFileSuffixes)
    if (InUse(path + suffix)) return true;
  return false;
}

// A browser that runs holds its lock files and keeps its databases open. Its lock files are taken
// here and held until the cleaning is over; then every file the run would change is looked at
// before anything is opened, so no file of a browser that runs is touched.
bool TakeProfiles(const Browser& browser, const Choices& choices, LockFiles& locks) {
  // Counting holds nothing: a lock file that another program holds is enough to know.
  for (const std::wstring& lock : browser.lockFiles)
    if (choices.countOnly ? InUse(lock) : !locks.Hold(lock)) return false;
  for (const Profile& profile : browser.profiles) {
    for (const DatabaseKind& kind : Kinds)
      if (kind.family == browser.family && InUseWithSideFiles(profile.data + L"\\" + kind.file)) return false;
    for (const Rule& rule : Rules)
      if (Applies(rule, browser, choices) && rule.removal == Removal::File)
        for (const std::wstring& path : PathsOf(rule, profile))
          if (InUseWithSideFiles(path)) return false;
  }
  return true;
}

// Every database of every profile that a choice changes, locked and checked: one that is busy or
// damaged leaves the whole browser as it was. Chromium's bookmarks are read first: without them
// no address can be told kept, and none is deleted by guesswork.
BrowserOutcome OpenAndCheck(const Browser& browser, const Choices& choices, std::vector<OpenDatabase>& open,
                            std::vector<std::vector<std::string>>& bookmarks) {
  bookmarks.assign(browser.profiles.size(), {});
  for (size_t i = 0; i < browser.profiles.size(); ++i) {
    const Profile& profile = browser.profiles[i];
    if (browser.family == Family::Chromium && (choices.chosen & H)) {
      std::wstring file = profile.data + L"\\Bookmarks";
      if (IsFile(file)) {
        winapp::FileContent text = winapp::ReadWholeFile(file, MaxBookmarksFile);
        bool ok = false;
        if (text.read()) bookmarks[i] = core::ChromiumBookmarkUrls(text.bytes, ok);
        if (!ok) return BrowserDamaged;
      }
    }
    for (const DatabaseKind& kind : Kinds) {
      if (kind.family != browser.family) continue;
      bool wanted = false;
      for (size_t s = 0; s < kind.count; ++s) wanted |= (kind.steps[s].choices & choices.chosen) != 0;
      std::wstring path = profile.data + L"\\" + kind.file;
      if (!wanted || !IsFile(path)) continue;
      auto db = std::make_unique<Database>();
      DbState state = choices.countOnly ? db->OpenCopy(path, kind.foreignKeys) : db->Open(path, kind.foreignKeys);
      if (state != DbState::Ready) return OutcomeOf(state);
      open.push_back({&kind, &profile, i, std::move(db)});
    }
  }
  return BrowserCleared;
}

// Each database changes in one transaction, or not at all.
BrowserOutcome ApplyStatements(const Browser& browser, const Choices& choices, std::vector<OpenDatabase>& open,
                               const std::vector<std::vector<std::string>>& bookmarks) {
  BrowserOutcome outcome = BrowserCleared;
  std::vector<std::vector<std::string>> keptPages(browser.profiles.size());
  std::vector<bool> pagesKnown(browser.profiles.size(), false);
  for (OpenDatabase& o : open) {
    Database& db = *o.db;
    bool ok = sqlite3_create_function(db.Handle(), "qr_keep", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY,
                                      const_cast<Choices*>(&choices), KeepCookieFunction, nullptr, nullptr) == SQLITE_OK;
    if (ok && o.kind->kept == Kept::Bookmarks) ok = db.TempList("kept_urls", bookmarks[o.profileIndex]);
    if (ok && o.kind->kept == Kept::FirefoxPages) {
      // Only once places.sqlite has said which pages stay can their icons be told apart.
      if (!pagesKnown[o.profileIndex]) {
        db.Close();
        continue;
      }
      std::vector<std::string> origins;
      for (const std::string& url : keptPages[o.profileIndex])
        if (std::string origin = OriginOf(url); !origin.empty()) origins.push_back(origin);
      ok = db.TempList("kept_urls", keptPages[o.profileIndex]) && db.TempList("kept_origins", origins);
    }
    for (size_t s = 0; ok && s < o.kind->count; ++s) {
      const Step& step = o.kind->steps[s];
      if ((step.choices & choices.chosen) && db.Has(step.needs)) {
        ok = db.Exec(step.sql);
        if (ok && choices.counts) ok = Count(db, step.sql, *choices.counts);
      }
    }
    if (ok && o.kind->tellsPages && (choices.chosen & H)) {
      ok = db.Has("moz_places.url") && db.Column("SELECT url FROM moz_places WHERE url IS NOT NULL", keptPages[o.profileIndex]);
      pagesKnown[o.profileIndex] = ok;
    }
    if (!ok || (!choices.countOnly && !db.Commit())) outcome = BrowserFailed;
    db.Close();
  }
  return outcome;
}

// Files deleted whole, and the caches emptied.
BrowserOutcome RemoveFiles(const Browser& browser, const Choices& choices) {
  BrowserOutcome outcome = BrowserCleared;
  Freed counted{choices.countOnly};
  Freed* freed = choices.counts || choices.countOnly ? &counted : nullptr;
  for (const Profile& profile : browser.profiles)
    for (const Rule& rule : Rules)
      if (Applies(rule, browser, choices))
        for (const std::wstring& path : PathsOf(rule, profile))
          if (!(rule.removal == Removal::File ? DeleteWithSideFiles(path, freed) : EmptyFolder(path, freed))) outcome = BrowserFailed;
  if (choices.chosen & T)
    for (const std::wstring& cache : browser.sharedCaches)
      if (!EmptyFolder(cache, freed)) outcome = BrowserFailed;
  if (choices.counts) {
    choices.counts->Files += counted.files;
    choices.counts->Bytes += counted.bytes;
  }
  return outcome;
}

}  // namespace

BrowserOutcome CleanBrowser(const Browser& browser, const Choices& choices) {
  if (!browser.found) return BrowserNotFound;
  if (browser.refused) return BrowserRefused;
  if (!choices.chosen) return BrowserCleared;
  LockFiles locks;
  if (!TakeProfiles(browser, choices, locks)) return BrowserRunning;
  std::vector<OpenDatabase> open;
  std::vector<std::vector<std::string>> bookmarks;
  if (BrowserOutcome checked = OpenAndCheck(browser, choices, open, bookmarks); checked != BrowserCleared)
    return checked;
  // The site data's stores, each read and judged before anything changes; counting reads them
  // from copies and stops there.
  SiteHosts hosts;
  Choices own = choices;
  own.hosts = choices.sites ? &hosts : nullptr;
  std::vector<SiteData> siteData;
  for (const Profile& profile : browser.profiles)
    if (BrowserOutcome site = siteData.emplace_back(browser, profile, own).Check(); site != BrowserCleared) return site;
  BrowserOutcome applied = ApplyStatements(browser, choices, open, bookmarks);
  if (!choices.countOnly)
    for (SiteData& site : siteData)
      if (!site.Clear()) applied = BrowserFailed;
  if (choices.sites) {
    choices.sites->Sites += hosts.erased.size();
    choices.sites->SitesKept += hosts.kept.size();
  }
  BrowserOutcome removed = RemoveFiles(browser, choices);
  return applied != BrowserCleared ? applied : removed;
}

}  // namespace browsers
