#include "leveldb_store.h"

#include <windows.h>

#include <leveldb/db.h>
#include <leveldb/env.h>
#include <leveldb/write_batch.h>

#include <mutex>
#include <thread>

#include "disk.h"
#include "files.h"

namespace leveldb {
Env* NewMemEnv(Env* base);  // helpers/memenv
}

namespace browsers {

namespace {

// LevelDB runs its compactions on a thread of its own. The module is unloaded when the run ends,
// so no thread of it may outlive the database: each compaction runs on a thread that is joined
// once the database is closed.
class JoinedEnv : public leveldb::EnvWrapper {
 public:
  JoinedEnv() : EnvWrapper(leveldb::Env::Default()) {}
  void Schedule(void (*work)(void*), void* arg) override {
    std::lock_guard<std::mutex> hold(lock_);
    threads_.emplace_back(work, arg);
  }
  void StartThread(void (*work)(void*), void* arg) override { Schedule(work, arg); }
  // A compaction may schedule the next before it ends: joined until none is left.
  void JoinAll() {
    for (;;) {
      std::vector<std::thread> threads;
      {
        std::lock_guard<std::mutex> hold(lock_);
        threads.swap(threads_);
      }
      if (threads.empty()) return;
      for (std::thread& t : threads) t.join();
    }
  }

 private:
  std::mutex lock_;
  std::vector<std::thread> threads_;
};

JoinedEnv& Env() {
  static JoinedEnv env;
  return env;
}

// The browser's own log of the database stays as the browser wrote it: nothing is logged.
class Silent : public leveldb::Logger {
 public:
  void Logv(const char*, std::va_list) override {}
};

StoreState StateOf(const leveldb::Status& s, const std::wstring& folder) {
  if (s.ok()) return StoreState::Ready;
  if (s.IsCorruption()) return StoreState::Damaged;
  // A browser that runs holds the lock and its log open.
  if (InUse(folder + L"\\LOCK") || s.ToString().find("lock") != std::string::npos) return StoreState::Busy;
  return StoreState::Failed;
}

}  // namespace

LevelStore::LevelStore() = default;
LevelStore::~LevelStore() { Close(); }

StoreState LevelStore::OpenWith(bool reuseLogs) {
  static Silent silent;
  leveldb::Options options;
  options.create_if_missing = false;
  options.paranoid_checks = true;
  options.reuse_logs = reuseLogs;
  options.info_log = &silent;
  options.env = copy_ ? copy_.get() : &Env();
  options.max_open_files = 64;
  leveldb::Status s = leveldb::DB::Open(options, Utf8(folder_), &db_);
  if (!s.ok()) {
    db_ = nullptr;
    Env().JoinAll();
  }
  return StateOf(s, folder_);
}

StoreState LevelStore::Prepare(const std::wstring& folder, leveldb::Env* copy) {
  Close();
  copy_.reset(copy);
  folder_ = folder;
  if (!IsFile(folder + L"\\CURRENT")) return StoreState::Damaged;
  if (InUse(folder + L"\\LOCK")) return StoreState::Busy;
  return StoreState::Ready;
}

StoreState LevelStore::Open(const std::wstring& folder) {
  StoreState state = Prepare(folder, nullptr);
  return state == StoreState::Ready ? OpenWith(true) : state;
}

// A store's files are the browser's own, of any size it gave them; a copy is refused beyond this.
constexpr size_t MaxCopiedFile = 512u << 20;

StoreState LevelStore::OpenCopy(const std::wstring& folder) {
  if (StoreState state = Prepare(folder, leveldb::NewMemEnv(&Env())); state != StoreState::Ready) return state;
  std::string name = Utf8(folder);
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return StoreState::Failed;
  bool ok = true;
  do {
    // LevelDB's own log of what it did, and the lock, are not the database.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !lstrcmpiW(found.cFileName, L"LOG") ||
        !lstrcmpiW(found.cFileName, L"LOG.old") || !lstrcmpiW(found.cFileName, L"LOCK"))
      continue;
    winapp::FileContent bytes = winapp::ReadWholeFile(folder + L"\\" + found.cFileName, MaxCopiedFile);
    leveldb::WritableFile* file = nullptr;
    ok = bytes.read() && copy_->NewWritableFile(name + "/" + Utf8(found.cFileName), &file).ok();
    if (ok) ok = file->Append(bytes.bytes).ok() && file->Close().ok();
    delete file;
  } while (ok && FindNextFileW(h, &found));
  FindClose(h);
  // A file held by a browser that runs cannot be read.
  if (!ok) return InUse(folder + L"\\LOCK") ? StoreState::Busy : StoreState::Failed;
  return OpenWith(true);
}

StoreState LevelStore::Read(const std::function<bool(std::string_view, std::string_view)>& visit) {
  if (!db_) return StoreState::Failed;
  leveldb::ReadOptions read;
  read.verify_checksums = true;
  read.fill_cache = false;
  std::unique_ptr<leveldb::Iterator> it(db_->NewIterator(read));
  for (it->SeekToFirst(); it->Valid(); it->Next())
    if (!visit(std::string_view(it->key().data(), it->key().size()),
               std::string_view(it->value().data(), it->value().size())))
      break;
  return StateOf(it->status(), folder_);
}

bool LevelStore::Change(const std::vector<std::string>& doomed,
                        const std::vector<std::pair<std::string, std::string>>& written) {
  if (!db_) return false;
  if (doomed.empty() && written.empty()) return true;
  // The records the log holds go into tables first. A table written from the log lands on the
  // deepest level when nothing overlaps it, and LevelDB never rewrites its deepest level by
  // itself: a value and its deletion written into one such table would both stay. Written after,
  // the deletions land above the tables that hold their values, and the compaction below takes
  // each down onto its value, where both are dropped.
  db_->CompactRange(nullptr, nullptr);
  leveldb::WriteBatch batch;
  for (const std::string& key : doomed) batch.Delete(key);
  for (const auto& [key, value] : written) batch.Put(key, value);
  leveldb::WriteOptions write;
  write.sync = true;
  if (!db_->Write(write, &batch).ok()) return false;
  // Every level rewritten from the first key to the last, and the files that held the deleted
  // records, the log among them, removed.
  db_->CompactRange(nullptr, nullptr);
  Close();
  // Opened once more without taking up the old manifest, which still names the keys at the edges
  // of the tables it has dropped: a new one is written and the old removed.
  if (OpenWith(false) != StoreState::Ready) return false;
  Close();
  return true;
}

void LevelStore::Close() {
  delete db_;
  db_ = nullptr;
  Env().JoinAll();
}

}  // namespace browsers
