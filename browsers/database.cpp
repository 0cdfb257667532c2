#include "database.h"

#include <windows.h>
#include <sqlite3.h>

#include "disk.h"

namespace browsers {

namespace {

// How long a database may be busy before its browser counts as running: a browser that runs
// holds its lock for as long as it runs, so waiting longer only delays the run.
constexpr int BusyMilliseconds = 300;

DbState StateOf(int code) {
  switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return DbState::Busy;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return DbState::Damaged;
    default:
      return DbState::Failed;
  }
}

struct Statement {
  sqlite3_stmt* s = nullptr;
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) s = nullptr;
  }
  ~Statement() { sqlite3_finalize(s); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
};

// The file's own check: one row "ok" for a sound database.
DbState QuickCheck(sqlite3* db) {
  Statement check(db, "PRAGMA quick_check");
  int rc = check.s ? sqlite3_step(check.s) : sqlite3_errcode(db);
  if (rc != SQLITE_ROW) {
    DbState state = StateOf(rc);
    return state == DbState::Failed ? DbState::Damaged : state;
  }
  const unsigned char* verdict = sqlite3_column_text(check.s, 0);
  bool sound = verdict && std::string_view(reinterpret_cast<const char*>(verdict)) == "ok" &&
               sqlite3_step(check.s) == SQLITE_DONE;
  return sound ? DbState::Ready : DbState::Damaged;
}

}  // namespace

Database::~Database() { Close(); }

DbState Database::Open(const std::wstring& path, bool foreignKeys) {
  Close();
  path_ = path;
  sideFiles_ = SideFilesMade(path, false);
  std::string name = Utf8(path);
  int rc = sqlite3_open_v2(name.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    Close();
    return StateOf(rc);
  }
  sqlite3_extended_result_codes(db_, 1);
  // Until a commit, closing must not checkpoint: a browser found busy or damaged further on
  // leaves this file exactly as it was.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  sqlite3_busy_timeout(db_, BusyMilliseconds);
  // The files are another program's and could have been made by anyone who could write into the
  // user's folder: no write to the schema or its shadow tables through SQL, and no function of
  // ours (the keep test included) run from a view, trigger or index the file brings along.
  if (sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK ||
      sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) != SQLITE_OK) {
    Close();
    return DbState::Failed;
  }
  // Outside a transaction only: the setting is ignored inside one.
  if (foreignKeys && !Exec("PRAGMA foreign_keys = ON")) {
    int code = sqlite3_errcode(db_);
    Close();
    return StateOf(code);
  }
  rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    Close();
    return StateOf(rc);
  }
  inTransaction_ = true;
  if (DbState state = QuickCheck(db_); state != DbState::Ready) {
    Close();
    return state;
  }
  // None of the databases the module changes holds a trigger or a view in the browsers' own
  // layouts. One that does is a layout of someone else's making, whose code would run with our
  // statements (a trigger can keep a row from being deleted, or copy it elsewhere, while the
  // cleaning reports it done): it is left alone, as any layout the module does not know.
  if (!Exec("PRAGMA secure_delete = ON") || SchemaHasCode()) {
    Close();
    return DbState::Failed;
  }
  return DbState::Ready;
}

bool Database::SchemaHasCode() {
  Statement code(db_, "SELECT 1 FROM sqlite_master WHERE type IN ('trigger', 'view') LIMIT 1");
  // A schema that cannot be asked is judged as one with code.
  return !code.s || sqlite3_step(code.s) != SQLITE_DONE;
}

DbState Database::OpenCopy(const std::wstring& path, bool foreignKeys) {
  Close();
  SideFilesMade sideFiles(path, false);
  sqlite3* source = nullptr;
  int rc = sqlite3_open_v2(Utf8(path).c_str(), &source, SQLITE_OPEN_READONLY, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(source, BusyMilliseconds);
    sqlite3_backup* copy = sqlite3_backup_init(db_, "main", source, "main");
    rc = copy ? sqlite3_backup_step(copy, -1) : sqlite3_errcode(db_);
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
    int finished = copy ? sqlite3_backup_finish(copy) : SQLITE_OK;
    if (rc == SQLITE_OK) rc = finished;
    // A copy of a damaged file says so when it is read, as the file would.
    if (rc != SQLITE_OK && (sqlite3_errcode(source) & 0xFF) != SQLITE_OK) rc = sqlite3_errcode(source);
  }
  sqlite3_close_v2(source);
  sideFiles.RemoveMade();
  if (rc != SQLITE_OK) {
    Close();
    return StateOf(rc);
  }
  sqlite3_extended_result_codes(db_, 1);
  if (sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK ||
      sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) != SQLITE_OK ||
      (foreignKeys && !Exec("PRAGMA foreign_keys = ON")) || !Exec("BEGIN")) {
    Close();
    return DbState::Failed;
  }
  inTransaction_ = true;
  if (DbState state = QuickCheck(db_); state != DbState::Ready) {
    Close();
    return state;
  }
  // Judged as the run judges the file itself, so that a count never promises what the run leaves.
  if (SchemaHasCode()) {
    Close();
    return DbState::Failed;
  }
  return DbState::Ready;
}

long long Database::Changes() const { return db_ ? sqlite3_changes(db_) : 0; }

const std::set<std::string>* Database::Columns(const std::string& table) {
  auto known = columns_.find(table);
  if (known != columns_.end()) return known->second.empty() ? nullptr : &known->second;
  std::set<std::string>& columns = columns_[table];
  Statement info(db_, "SELECT name FROM pragma_table_info(?1)");
  if (info.s) {
    sqlite3_bind_text(info.s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(info.s) == SQLITE_ROW)
      if (const unsigned char* c = sqlite3_column_text(info.s, 0)) columns.insert(reinterpret_cast<const char*>(c));
  }
  return columns.empty() ? nullptr : &columns;
}

bool Database::Has(std::string_view needs) {
  size_t at = 0;
  while (at < needs.size()) {
    size_t end = needs.find(' ', at);
    if (end == std::string_view::npos) end = needs.size();
    std::string_view name = needs.substr(at, end - at);
    at = end + 1;
    if (name.empty()) continue;
    size_t dot = name.find('.');
    const std::set<std::string>* columns = Columns(std::string(name.substr(0, dot)));
    if (!columns) return false;
    if (dot != std::string_view::npos && !columns->count(std::string(name.substr(dot + 1)))) return false;
  }
  return true;
}

bool Database::Exec(const char* sql) {
  return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool Database::TempList(const char* table, const std::vector<std::string>& values) {
  std::string create = std::string("CREATE TEMP TABLE IF NOT EXISTS ") + table + "(url TEXT PRIMARY KEY NOT NULL)";
  if (!Exec(create.c_str())) return false;
  std::string insert = std::string("INSERT OR IGNORE INTO temp.") + table + "(url) VALUES (?1)";
  Statement add(db_, insert.c_str());
  if (!add.s) return false;
  for (const std::string& v : values) {
    sqlite3_bind_text(add.s, 1, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    if (sqlite3_step(add.s) != SQLITE_DONE) return false;
    sqlite3_reset(add.s);
  }
  return true;
}

bool Database::Column(const char* sql, std::vector<std::string>& values) {
  Statement query(db_, sql);
  if (!query.s) return false;
  int rc;
  while ((rc = sqlite3_step(query.s)) == SQLITE_ROW)
    if (const unsigned char* v = sqlite3_column_text(query.s, 0))
      values.emplace_back(reinterpret_cast<const char*>(v), static_cast<size_t>(sqlite3_column_bytes(query.s, 0)));
  return rc == SQLITE_DONE;
}

bool Database::Commit() {
  if (!db_ || !inTransaction_) return false;
  if (!Exec("COMMIT")) return false;
  inTransaction_ = false;
  committed_ = true;
  // A file in rollback-journal mode has no log: the checkpoint does nothing there. Closing then
  // checkpoints too, and takes the emptied log away.
  Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
  return true;
}

void Database::Close() {
  if (!db_) return;
  if (inTransaction_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  inTransaction_ = false;
  // Closes once the last statement is finalized, never leaving the file open behind it.
  sqlite3_close_v2(db_);
  db_ = nullptr;
  columns_.clear();
  // Only what this open made, and only while no one else has it open (the platform refuses to
  // delete a mapped -shm).
  if (!committed_ && !path_.empty()) sideFiles_.RemoveMade();
  committed_ = false;
  path_.clear();
}

}  // namespace browsers
