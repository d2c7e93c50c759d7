#include "platform/DigestStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "platform/LongPath.h"
#include "platform/QuillonError.h"

namespace {

constexpr int kApplicationId = 0x51444331;  // marks a file as this program's digest store
constexpr int kSchemaVersion = 1;
constexpr const char* kAnotherKind = "it is a database of another kind, and is left as it is";
// One thread uses a connection: SQLite need not lock it for every call.
constexpr int kOpenFlags = SQLITE_OPEN_NOMUTEX;

std::uint64_t Mix(std::uint64_t value) {
  value += 0x9e3779b97f4a7c15ULL;
  value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
  value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
  return value ^ (value >> 31);
}

// A check value over everything a reused digest rests on, so that damage
// inside a row's values is found rather than believed.
std::int64_t CheckValue(const FileStamp& stamp, const Md5Bytes& digest, std::int64_t readStartNs) {
  std::uint64_t halves[2];
  std::memcpy(halves, digest.data(), sizeof halves);
  std::uint64_t hash = 0x51444331;
  for (std::uint64_t value : {stamp.Device, stamp.Inode, stamp.Size, static_cast<std::uint64_t>(stamp.ModifiedNs),
                              static_cast<std::uint64_t>(stamp.ChangedNs), halves[0], halves[1],
                              static_cast<std::uint64_t>(readStartNs)})
    hash = Mix(hash ^ value);
  return static_cast<std::int64_t>(hash);
}

std::int64_t AsColumn(std::uint64_t value) { return static_cast<std::int64_t>(value); }

// SQLite's own file layer, but taking each path as it is given. The store is
// named through /proc/self/fd/N of the folder the checks were made on, and
// resolving that link to its text, as SQLite does with links, would let a
// folder swapped in meanwhile take its place.
int PathAsGiven(sqlite3_vfs*, const char* path, int size, char* out) {
  const std::size_t length = std::strlen(path);
  if (length >= static_cast<std::size_t>(size)) return SQLITE_CANTOPEN;
  std::memcpy(out, path, length + 1);
  return SQLITE_OK;
}

const char* BoundFileLayer() {
  static const char* const name = []() -> const char* {
    const sqlite3_vfs* native = sqlite3_vfs_find("unix");
    if (native == nullptr) return nullptr;  // SQLite's default, which resolves the link
    static sqlite3_vfs bound = *native;
    bound.zName = "quillon-bound";
    bound.pNext = nullptr;
    bound.xFullPathname = PathAsGiven;
    sqlite3_vfs_register(&bound, 0);
    return bound.zName;
  }();
  return name;
}

// A path as the path of a file: URI, with every byte that could mean more
// than itself given as %XX.
std::string UriPath(const std::string& path) {
  std::string uri;
  for (const unsigned char c : path) {
    if (std::isalnum(c) != 0 || c == '/' || c == '.' || c == '-' || c == '_') {
      uri += static_cast<char>(c);
    } else {
      constexpr const char* kHex = "0123456789ABCDEF";
      uri += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return uri;
}

// Only the user or root may own the store and its folder, and no one else write them.
void CheckOwner(const struct stat& st, const std::string& which) {
  if (st.st_uid != geteuid() && st.st_uid != 0) throw QuillonError(which + " belongs to another user");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) throw QuillonError("others may write " + which);
}


}  // namespace

std::int64_t DigestStore::KeyOf(std::uint64_t device, std::uint64_t inode, std::string_view folder) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : folder) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  return static_cast<std::int64_t>(((Mix(device ^ hash) << 32) | (inode & 0xFFFFFFFFULL)) & 0x7FFFFFFFFFFFFFFFULL);
}

DigestStore::DigestStore(const std::string& path) : path_(path) {
  try {
    Open(path);
  } catch (...) {
    for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
    sqlite3_close(db_);
    throw;
  }
}

DigestStore::~DigestStore() {
  EndRead();
  for (sqlite3_stmt* statement : statements_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

bool DigestStore::Available() { return true; }

std::string DigestStore::DefaultPath() {
  // A relative XDG_CACHE_HOME is to be ignored.
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  std::string base;
  if (cacheHome != nullptr && cacheHome[0] == '/') {
    base = cacheHome;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
      const passwd* user = getpwuid(getuid());
      home = user != nullptr ? user->pw_dir : "/";
    }
    base = std::string(home) + "/.cache";
  }
  return base + "/quillon/digests.sqlite";
}

void DigestStore::Fail(const std::string& what) const { throw QuillonError(what); }

void DigestStore::Open(const std::string& path) {
  // The store is reached as a save is, with links followed only where the
  // planted-link rule allows, and opened through the folder reached.
  std::optional<WalkedPath> walked;
  try {
    walked.emplace(path, true);
  } catch (const std::system_error& error) {
    Fail(std::string("it cannot be reached: ") + error.what());
  }
  if (walked->KernelLink()) Fail("it is not a regular file");
  std::string cannotWrite;
  {
    // Made here for the user alone, so that SQLite never makes it wider.
    FileDescriptor file(openat(walked->Folder(), walked->Name().c_str(),
                               O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    if (file.Get() < 0) {
      cannotWrite = std::strerror(errno);
      file = FileDescriptor(LongPath::OpenAt(walked->Folder(), walked->Name().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK));
      if (file.Get() < 0) Fail("it cannot be opened: " + cannotWrite);
    }
    struct stat st, folder;
    if (fstat(file.Get(), &st) != 0 || fstat(walked->Folder(), &folder) != 0) Fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) Fail("it is not a regular file");
    // Anyone else who can write the store or its folder could forge its rows,
    // check values and all: it is refused, as ssh refuses such a key.
    CheckOwner(st, "it");
    CheckOwner(folder, "its folder");
    // Closed before SQLite opens it: closing any descriptor of a file would
    // drop SQLite's locks on it.
  }
  folder_ = std::move(walked);
  const bool readOnly = !cannotWrite.empty();
  // A store that cannot be written, with no -shm beside it that we could
  // make, is read as it stands: no writer can change it under us then.
  const bool immutable = readOnly && faccessat(folder_->Folder(), ".", W_OK, AT_EACCESS) != 0;
  const std::string uri = "file:" + UriPath(folder_->BoundPath()) + (immutable ? "?immutable=1" : "");
  const int rc = sqlite3_open_v2(uri.c_str(), &db_,
                                 kOpenFlags | SQLITE_OPEN_URI | (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE),
                                 BoundFileLayer());
  if (rc != SQLITE_OK) Fail("it cannot be opened: " + std::string(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyMilliseconds);
  writable_ = sqlite3_db_readonly(db_, "main") == 0;
  if (!writable_) readOnlyReason_ = readOnly ? cannotWrite : "it is read-only";

  const std::int64_t applicationId = QueryNumber("PRAGMA application_id", 0);
  if (applicationId == 0) {
    if (!writable_) Fail(QueryNumber("SELECT count(*) FROM sqlite_master", 0) != 0 ? kAnotherKind : readOnlyReason_);
    CreateSchema();
  } else if (applicationId != kApplicationId) {
    Fail(kAnotherKind);
  }
  if (QueryNumber("PRAGMA user_version", 0) != kSchemaVersion) Fail("it was made by another version of the program");
  if (writable_) {
    // Readers and one writer at a time never wait for each other in WAL
    // mode; a lost last commit after a crash only costs a read.
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  }
  // Lookups of a large tree touch pages all over the store.
  sqlite3_exec(db_, "PRAGMA cache_size=-32768", nullptr, nullptr, nullptr);
  Prepare();
}

void DigestStore::CreateSchema() {
  const bool made = InTransaction([this] {
    // Another run may have made it since this one looked; what holds tables
    // and is not marked as a digest store belongs to someone else.
    if (QueryNumber("PRAGMA application_id", 0) == kApplicationId) return;
    if (QueryNumber("SELECT count(*) FROM sqlite_master", 0) != 0) Fail(kAnotherKind);
    const std::string schema =
        "CREATE TABLE digests(id INTEGER PRIMARY KEY, device INTEGER NOT NULL, inode INTEGER NOT NULL, path BLOB NOT NULL,"
        " size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL,"
        " digest BLOB NOT NULL, read_ns INTEGER NOT NULL, used_day INTEGER NOT NULL,"
        " check_value INTEGER NOT NULL);"
        "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
        "PRAGMA application_id=" + std::to_string(kApplicationId) + ";"
        "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
    char* message = nullptr;
    if (sqlite3_exec(db_, schema.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      const std::string text = message != nullptr ? message : "cannot be set up";
      sqlite3_free(message);
      Fail(text);
    }
  });
  if (!made) Fail("another program kept it busy");
}

sqlite3_stmt* DigestStore::Statement(const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(db_));
  statements_.push_back(statement);
  return statement;
}

std::int64_t DigestStore::QueryNumber(const std::string& sql, std::int64_t none) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) Fail(sqlite3_errmsg(db_));
  const int rc = sqlite3_step(statement);
  const std::int64_t value = rc == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : none;
  sqlite3_finalize(statement);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
  return value;
}

void DigestStore::Prepare() {
  find_ = Statement("SELECT device, inode, size, mtime_ns, ctime_ns, digest, read_ns, used_day, check_value"
                    " FROM digests WHERE id BETWEEN ?1 AND ?2 ORDER BY id");
  if (!writable_) return;
  put_ = Statement(
      "INSERT OR REPLACE INTO digests(device, inode, path, size, mtime_ns, ctime_ns, digest, read_ns, used_day,"
      " check_value, id) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
  touch_ = Statement("UPDATE digests SET used_day=?2 WHERE id=?1");
}

template <typename Body>
bool DigestStore::InTransaction(Body body) {
  EndRead();
  const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if ((rc & 0xFF) == SQLITE_BUSY) return false;
  if (rc != SQLITE_OK) Fail(sqlite3_errmsg(db_));
  try {
    body();
    const int committed = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (committed != SQLITE_OK) {
      if ((committed & 0xFF) == SQLITE_BUSY) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
      }
      Fail(sqlite3_errmsg(db_));
    }
  } catch (...) {
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return true;
}

void DigestStore::EndRead() {
  if (readsInTransaction_ == 0) return;
  readsInTransaction_ = 0;
  sqlite3_reset(find_);
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

std::vector<StoredDigest> DigestStore::FindFolder(std::uint64_t device, std::string_view folder) {
  // Lookups share read transactions: one each costs more than the lookup.
  if (readsInTransaction_ >= kReadsPerTransaction) EndRead();
  if (readsInTransaction_++ == 0 && sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    Fail(sqlite3_errmsg(db_));
  const std::int64_t base = KeyOf(device, 0, folder);
  sqlite3_reset(find_);
  sqlite3_bind_int64(find_, 1, base);
  sqlite3_bind_int64(find_, 2, base | 0xFFFFFFFFLL);
  std::vector<StoredDigest> rows;
  int rc;
  while ((rc = sqlite3_step(find_)) == SQLITE_ROW) {
    // Another folder or device may share the keys: its rows are no match.
    if (sqlite3_column_int64(find_, 0) != AsColumn(device)) continue;
    StoredDigest row;
    row.Stamp.Device = device;
    row.Stamp.Inode = static_cast<std::uint64_t>(sqlite3_column_int64(find_, 1));
    row.Stamp.Size = static_cast<std::uint64_t>(sqlite3_column_int64(find_, 2));
    row.Stamp.ModifiedNs = sqlite3_column_int64(find_, 3);
    row.Stamp.ChangedNs = sqlite3_column_int64(find_, 4);
    const void* digest = sqlite3_column_blob(find_, 5);
    if (digest == nullptr || sqlite3_column_bytes(find_, 5) != static_cast<int>(row.Digest.size()))
      Fail("a stored digest is damaged");
    std::memcpy(row.Digest.data(), digest, row.Digest.size());
    row.ReadStartNs = sqlite3_column_int64(find_, 6);
    row.UsedDay = sqlite3_column_int64(find_, 7);
    if (sqlite3_column_int64(find_, 8) != CheckValue(row.Stamp, row.Digest, row.ReadStartNs))
      Fail("a stored digest is damaged");
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
  return rows;
}

bool DigestStore::Write(const std::vector<StoredDigest>& rows) {
  if (!writable_ || rows.empty()) return writable_;
  return InTransaction([&] {
    for (const StoredDigest& row : rows) {
      sqlite3_reset(put_);
      sqlite3_bind_int64(put_, 1, AsColumn(row.Stamp.Device));
      sqlite3_bind_int64(put_, 2, AsColumn(row.Stamp.Inode));
      sqlite3_bind_blob(put_, 3, row.Path.data(), static_cast<int>(row.Path.size()), SQLITE_STATIC);
      sqlite3_bind_int64(put_, 4, AsColumn(row.Stamp.Size));
      sqlite3_bind_int64(put_, 5, row.Stamp.ModifiedNs);
      sqlite3_bind_int64(put_, 6, row.Stamp.ChangedNs);
      sqlite3_bind_blob(put_, 7, row.Digest.data(), static_cast<int>(row.Digest.size()), SQLITE_STATIC);
      sqlite3_bind_int64(put_, 8, row.ReadStartNs);
      sqlite3_bind_int64(put_, 9, row.UsedDay);
      sqlite3_bind_int64(put_, 10, CheckValue(row.Stamp, row.Digest, row.ReadStartNs));
      const std::string_view path = row.Path;
      sqlite3_bind_int64(put_, 11, KeyOf(row.Stamp.Device, row.Stamp.Inode, path.substr(0, path.rfind('/') + 1)));
      if (sqlite3_step(put_) != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
    }
    sqlite3_reset(put_);
  });
}

bool DigestStore::MarkUsed(const std::vector<std::int64_t>& keys, std::int64_t day) {
  if (!writable_ || keys.empty()) return writable_;
  return InTransaction([&] {
    for (const std::int64_t key : keys) {
      sqlite3_reset(touch_);
      sqlite3_bind_int64(touch_, 1, key);
      sqlite3_bind_int64(touch_, 2, day);
      if (sqlite3_step(touch_) != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
    }
    sqlite3_reset(touch_);
  });
}

bool DigestStore::Expire(std::int64_t today, std::int64_t firstKeptDay) {
  if (!writable_) return false;
  if (QueryNumber("SELECT value FROM meta WHERE key='expired_day'", -1) == today) return true;
  return InTransaction([&] {
    QueryNumber("DELETE FROM digests WHERE used_day < " + std::to_string(firstKeptDay), 0);
    QueryNumber("INSERT OR REPLACE INTO meta(key, value) VALUES('expired_day', " + std::to_string(today) + ")", 0);
  });
}
