// One LevelDB database of a browser (Chromium's Local Storage, Session Storage, service-worker
// registrations), read and changed through the real LevelDB library: every record read with its
// checksum, the deletions written in one batch, then the whole database compacted so that no
// deleted value stays behind in its log or table files.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace leveldb {
class DB;
class Env;
}

namespace browsers {

enum class StoreState { Ready, Busy, Damaged, Failed };

class LevelStore {
 public:
  LevelStore();
  ~LevelStore();
  LevelStore(const LevelStore&) = delete;
  LevelStore& operator=(const LevelStore&) = delete;

  // Opens an existing database in `folder` (a browser that runs holds it: Busy; a database LevelDB
  // finds unsound: Damaged). Opening leaves the files as they are: the log is taken up as it lies.
  StoreState Open(const std::wstring& folder);
  // Counting: the same store read from a copy of its files in memory. LevelDB may write on
  // opening (a new log or manifest, a compaction, the LOCK file), and the files must stay as
  // the browser left them.
  StoreState OpenCopy(const std::wstring& folder);
  // Every record in key order, each checked against its checksum; `visit` returns false to stop.
  // Damaged when a record is not sound.
  StoreState Read(const std::function<bool(std::string_view key, std::string_view value)>& visit);
  // Deletes `doomed` and writes `written` in one write batch, then compacts the database and
  // writes its manifest anew, so that neither the values nor the keys deleted stay in its files.
  bool Change(const std::vector<std::string>& doomed, const std::vector<std::pair<std::string, std::string>>& written);
  void Close();

 private:
  std::wstring folder_;
  leveldb::DB* db_ = nullptr;
  std::unique_ptr<leveldb::Env> copy_;  // the files in memory, when counting
  // Closes what was open, takes `copy` (null: the files themselves) and checks that `folder`
  // holds a store no one holds: Ready, Damaged or Busy.
  StoreState Prepare(const std::wstring& folder, leveldb::Env* copy);
  StoreState OpenWith(bool reuseLogs);
};

}  // namespace browsers
