// One browser database as the cleaning sees it: opened where it lies, write-locked at once,
// checked, and changed in a single transaction or not at all.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "disk.h"

struct sqlite3;

namespace browsers {

enum class DbState { Ready, Busy, Damaged, Failed };

class Database {
 public:
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens an existing database (SQLite rolls back a hot journal itself), takes the write lock
  // with a short wait (a browser that runs holds it: Busy), checks the file (Damaged when it is
  // not sound) and makes deleted rows unreadable in free pages. A file whose schema holds
  // triggers or views is refused (Failed). `foreignKeys` lets the file's own cascades remove what
  // depends on a deleted row.
  DbState Open(const std::wstring& path, bool foreignKeys);
  // Counting: the file read without a write lock into a copy in memory, which the same checks
  // and statements then work on; nothing of it is ever written back. A -wal or -shm that reading
  // it made is taken away again at once.
  DbState OpenCopy(const std::wstring& path, bool foreignKeys);
  bool IsOpen() const { return db_ != nullptr; }
  sqlite3* Handle() const { return db_; }

  // True when every name of `needs` exists: "table" or "table.column", separated by blanks.
  bool Has(std::string_view needs);
  // Rows the last statement deleted, inserted or updated itself.
  long long Changes() const;
  // Runs one statement; false (and the transaction must be rolled back) on any error.
  bool Exec(const char* sql);
  // A temporary table of one text column `url` holding `values`.
  bool TempList(const char* table, const std::vector<std::string>& values);
  // Every value of the first column of a query.
  bool Column(const char* sql, std::vector<std::string>& values);

  // Commits and moves the log's pages into the file, so no deleted row lives on in a -wal.
  bool Commit();
  // Rolls back what is not committed. A database left uncommitted is left as it was found: no
  // checkpoint on the way out, and a -wal or -shm that opening it made is taken away again.
  void Close();

 private:
  sqlite3* db_ = nullptr;
  bool inTransaction_ = false;
  bool committed_ = false;
  std::wstring path_;
  SideFilesMade sideFiles_;  // the -wal and -shm as they were before the open
  std::map<std::string, std::set<std::string>> columns_;  // table -> its columns, looked up once
  const std::set<std::string>* Columns(const std::string& table);
  bool SchemaHasCode();
};

}  // namespace browsers
