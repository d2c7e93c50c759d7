#include "platform/DigestStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <tuple>

#include "platform/LongPath.h"
#include "platform/QuillonError.h"

namespace {

constexpr int kApplicationId = 0x51444331;  // marks a file as this program's digest store
// 1: a row per file; 2: a row per folder, its files' rows packed in one
// value, which a walk reads in one step.
constexpr int kRowPerFileVersion = 1;
constexpr int kSchemaVersion = 2;
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
std::int64_t CheckValue(const FileStamp& stamp, const DigestBytes& digest, std::int64_t readStartNs) {
  std::uint64_t halves[4];
  std::memcpy(halves, digest.Data.data(), sizeof halves);
  std::uint64_t hash = 0x51444331;
  for (std::uint64_t value : {stamp.Device, stamp.Inode, stamp.Size, static_cast<std::uint64_t>(stamp.ModifiedNs),
                              static_cast<std::uint64_t>(stamp.ChangedNs), halves[0], halves[1],
                              static_cast<std::uint64_t>(readStartNs)})
    hash = Mix(hash ^ value);
  // The longer digests' second half; MD5 rows keep the values they always had.
  if (digest.Size > 16) hash = Mix(Mix(hash ^ halves[2]) ^ halves[3]);
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

// A folder's rows as stored in its value: one after the other, sorted by
// inode, each its eight numbers in the machine's byte order, then its
// digest after its length. A row leaves its path out: the folder's key
// stands for it.
constexpr std::size_t kNumberBytes = 8 * 8;

void Put(std::string& out, std::uint64_t value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); }

void AppendRow(std::string& out, const StoredDigest& row, std::int64_t check) {
  for (const std::uint64_t value :
       {row.Stamp.Device, row.Stamp.Inode, row.Stamp.Size, static_cast<std::uint64_t>(row.Stamp.ModifiedNs),
        static_cast<std::uint64_t>(row.Stamp.ChangedNs), static_cast<std::uint64_t>(row.ReadStartNs),
        static_cast<std::uint64_t>(row.UsedDay), static_cast<std::uint64_t>(check)})
    Put(out, value);
  out += static_cast<char>(row.Digest.Size);
  out.append(reinterpret_cast<const char*>(row.Digest.Data.data()), row.Digest.Size);
}

// Calls each(row, check) for every row of a folder's value; false when the
// value is not a sequence of whole rows, each with a digest of 16 or 32
// bytes: damage.
template <typename Each>
bool ForEachRow(const unsigned char* data, std::size_t size, Each each) {
  std::size_t at = 0;
  StoredDigest row;
  while (at < size) {
    if (size - at < kNumberBytes + 1) return false;
    std::uint64_t numbers[8];
    std::memcpy(numbers, data + at, sizeof numbers);
    at += kNumberBytes;
    row.Stamp = FileStamp{numbers[0], numbers[1], numbers[2], static_cast<std::int64_t>(numbers[3]),
                          static_cast<std::int64_t>(numbers[4])};
    row.ReadStartNs = static_cast<std::int64_t>(numbers[5]);
    row.UsedDay = static_cast<std::int64_t>(numbers[6]);
    row.Digest.Size = data[at++];
    if ((row.Digest.Size != 16 && row.Digest.Size != 32) || size - at < row.Digest.Size) return false;
    std::memcpy(row.Digest.Data.data(), data + at, row.Digest.Size);
    at += row.Digest.Size;
    each(row, static_cast<std::int64_t>(numbers[7]));
  }
  return true;
}

// The order of a folder's rows: by the inode's low 32 bits first, the part of
// the inode that row keys hold.
bool RowBefore(const StoredDigest& a, const StoredDigest& b) {
  const auto order = [](const StoredDigest& row) {
    return std::tuple(row.Stamp.Inode & 0xFFFFFFFFULL, row.Stamp.Inode, row.Stamp.Device, row.Digest.Size);
  };
  return order(a) < order(b);
}

}  // namespace

struct DigestStore::PackedRow {
  StoredDigest row;
  std::int64_t check = 0;
};

std::int64_t DigestStore::FolderKeyOf(std::int64_t key) { return key >> 32; }

std::int64_t DigestStore::KeyOf(std::uint64_t device, std::uint64_t inode, std::string_view folder,
                                DigestAlgorithm algorithm) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (char c : folder) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  if (algorithm == DigestAlgorithm::Sha256) hash = Mix(hash ^ 0x5348413235360000ULL);
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
  const std::int64_t version = QueryNumber("PRAGMA user_version", 0);
  if (version == kRowPerFileVersion && writable_) {
    Repack();
    // The pages the rows per file took are given back, when no one else
    // uses the store now; otherwise later writes fill them.
    sqlite3_exec(db_, "VACUUM", nullptr, nullptr, nullptr);
  } else if (version == kRowPerFileVersion) {
    rowPerFile_ = true;  // read as it stands
  } else if (version != kSchemaVersion) {
    Fail("it was made by another version of the program");
  }
  if (writable_) {
    // Readers and one writer at a time never wait for each other in WAL
    // mode; a lost last commit after a crash only costs a read.
    sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  }
  // Lookups of a large tree touch pages all over the store: read through a
  // map of it rather than one system call a page.
  sqlite3_exec(db_, "PRAGMA cache_size=-2048", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
  Prepare();
}

void DigestStore::CreateSchema() {
  const bool made = InTransaction([this] {
    // Another run may have made it since this one looked; what holds tables
    // and is not marked as a digest store belongs to someone else.
    if (QueryNumber("PRAGMA application_id", 0) == kApplicationId) return;
    if (QueryNumber("SELECT count(*) FROM sqlite_master", 0) != 0) Fail(kAnotherKind);
    const std::string schema =
        "CREATE TABLE folders(key INTEGER PRIMARY KEY, rows BLOB NOT NULL);"
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
  if (rowPerFile_) {
    find_ = Statement("SELECT device, inode, size, mtime_ns, ctime_ns, digest, read_ns, used_day, check_value"
                      " FROM digests WHERE id BETWEEN ?1 AND ?2 ORDER BY id");
    return;
  }
  find_ = Statement("SELECT rows FROM folders WHERE key=?1");
  if (!writable_) return;
  put_ = Statement("INSERT OR REPLACE INTO folders(key, rows) VALUES(?1, ?2)");
  drop_ = Statement("DELETE FROM folders WHERE key=?1");
}

void DigestStore::Repack() {
  // One transaction turns a row per file into a row per folder; another run
  // may have done it meanwhile.
  const bool repacked = InTransaction([this] {
    if (QueryNumber("PRAGMA user_version", 0) != kRowPerFileVersion) return;
    if (sqlite3_exec(db_, "CREATE TABLE folders(key INTEGER PRIMARY KEY, rows BLOB NOT NULL)", nullptr, nullptr,
                     nullptr) != SQLITE_OK)
      Fail(sqlite3_errmsg(db_));
    sqlite3_stmt* all = Statement(
        "SELECT id, device, inode, size, mtime_ns, ctime_ns, digest, read_ns, used_day, check_value"
        " FROM digests ORDER BY id");
    put_ = Statement("INSERT OR REPLACE INTO folders(key, rows) VALUES(?1, ?2)");
    std::vector<PackedRow> rows;
    std::int64_t folder = -1;
    const auto flush = [&] {
      if (!rows.empty()) PutFolder(folder, rows);
      rows.clear();
    };
    int rc;
    while ((rc = sqlite3_step(all)) == SQLITE_ROW) {
      const std::int64_t key = FolderKeyOf(sqlite3_column_int64(all, 0));
      if (key != folder) flush();
      folder = key;
      PackedRow packed;
      StoredDigest& row = packed.row;
      row.Stamp = FileStamp{static_cast<std::uint64_t>(sqlite3_column_int64(all, 1)),
                            static_cast<std::uint64_t>(sqlite3_column_int64(all, 2)),
                            static_cast<std::uint64_t>(sqlite3_column_int64(all, 3)), sqlite3_column_int64(all, 4),
                            sqlite3_column_int64(all, 5)};
      const int size = sqlite3_column_bytes(all, 6);
      const void* digest = sqlite3_column_blob(all, 6);
      // A row that could never be read back is left behind; any other damage
      // goes along, to be found by its check value.
      if (digest == nullptr || (size != 16 && size != 32)) continue;
      row.Digest.Size = static_cast<std::size_t>(size);
      std::memcpy(row.Digest.Data.data(), digest, row.Digest.Size);
      row.ReadStartNs = sqlite3_column_int64(all, 7);
      row.UsedDay = sqlite3_column_int64(all, 8);
      packed.check = sqlite3_column_int64(all, 9);
      rows.push_back(std::move(packed));
    }
    if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
    flush();
    sqlite3_reset(all);
    if (sqlite3_exec(db_, ("DROP TABLE digests; PRAGMA user_version=" + std::to_string(kSchemaVersion)).c_str(),
                     nullptr, nullptr, nullptr) != SQLITE_OK)
      Fail(sqlite3_errmsg(db_));
  });
  if (!repacked) Fail("another program kept it busy");
}

void DigestStore::PutFolder(std::int64_t folder, std::vector<PackedRow>& rows) {
  std::sort(rows.begin(), rows.end(), [](const PackedRow& a, const PackedRow& b) { return RowBefore(a.row, b.row); });
  std::string value;
  for (const PackedRow& packed : rows) AppendRow(value, packed.row, packed.check);
  sqlite3_stmt* statement = value.empty() ? drop_ : put_;
  sqlite3_reset(statement);
  sqlite3_bind_int64(statement, 1, folder);
  if (!value.empty()) sqlite3_bind_blob(statement, 2, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
  if (sqlite3_step(statement) != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
  sqlite3_reset(statement);
}

std::vector<DigestStore::PackedRow> DigestStore::TakeFolder(std::int64_t folder) {
  std::vector<PackedRow> rows;
  sqlite3_reset(find_);
  sqlite3_bind_int64(find_, 1, folder);
  const int rc = sqlite3_step(find_);
  if (rc == SQLITE_ROW) {
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(find_, 0));
    const bool whole = ForEachRow(data, static_cast<std::size_t>(sqlite3_column_bytes(find_, 0)),
                                  [&](const StoredDigest& row, std::int64_t check) {
                                    rows.push_back(PackedRow{row, check});
                                  });
    // A value cut short is written anew from what is written now.
    if (!whole) rows.clear();
  } else if (rc != SQLITE_DONE) {
    Fail(sqlite3_errmsg(db_));
  }
  sqlite3_reset(find_);
  return rows;
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

std::vector<StoredDigest> DigestStore::FindFolder(std::uint64_t device, std::string_view folder,
                                                  DigestAlgorithm algorithm) {
  std::vector<StoredDigest> rows;
  FindFolder(device, folder, algorithm, rows);
  return rows;
}

void DigestStore::FindFolder(std::uint64_t device, std::string_view folder, DigestAlgorithm algorithm,
                             std::vector<StoredDigest>& rows) {
  rows.clear();
  // Lookups share read transactions: one each costs more than the lookup.
  if (readsInTransaction_ >= kReadsPerTransaction) EndRead();
  if (readsInTransaction_++ == 0 && sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
    Fail(sqlite3_errmsg(db_));
  const std::int64_t base = KeyOf(device, 0, folder, algorithm);
  if (rowPerFile_) {
    FindRowPerFile(device, base, algorithm, rows);
    return;
  }
  sqlite3_reset(find_);
  sqlite3_bind_int64(find_, 1, FolderKeyOf(base));
  const int rc = sqlite3_step(find_);
  if (rc == SQLITE_DONE) return;
  if (rc != SQLITE_ROW) Fail(sqlite3_errmsg(db_));
  const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(find_, 0));
  bool sound = true;
  const bool whole = ForEachRow(data, static_cast<std::size_t>(sqlite3_column_bytes(find_, 0)),
                                [&](const StoredDigest& row, std::int64_t check) {
                                  // Another folder or device may share the key, and each
                                  // algorithm its rows: theirs are no match.
                                  if (row.Stamp.Device != device || row.Digest.Size != DigestBytesOf(algorithm)) return;
                                  if (check != CheckValue(row.Stamp, row.Digest, row.ReadStartNs)) sound = false;
                                  if (!rows.empty() && RowBefore(row, rows.back())) sound = false;
                                  rows.push_back(row);
                                });
  sqlite3_reset(find_);
  if (!whole || !sound) {
    rows.clear();
    Fail("a stored digest is damaged");
  }
}

void DigestStore::FindRowPerFile(std::uint64_t device, std::int64_t base, DigestAlgorithm algorithm,
                                 std::vector<StoredDigest>& rows) {
  sqlite3_reset(find_);
  sqlite3_bind_int64(find_, 1, base);
  sqlite3_bind_int64(find_, 2, base | 0xFFFFFFFFLL);
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
    const int size = sqlite3_column_bytes(find_, 5);
    if (digest == nullptr || (size != 16 && size != 32)) Fail("a stored digest is damaged");
    // Another algorithm's row under a key of this one is no match either.
    if (static_cast<std::size_t>(size) != DigestBytesOf(algorithm)) continue;
    row.Digest.Size = static_cast<std::size_t>(size);
    std::memcpy(row.Digest.Data.data(), digest, row.Digest.Size);
    row.ReadStartNs = sqlite3_column_int64(find_, 6);
    row.UsedDay = sqlite3_column_int64(find_, 7);
    if (sqlite3_column_int64(find_, 8) != CheckValue(row.Stamp, row.Digest, row.ReadStartNs))
      Fail("a stored digest is damaged");
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
}

bool DigestStore::Update(const std::vector<StoredDigest>& rows, const std::vector<std::int64_t>& used,
                         std::int64_t day) {
  if (!writable_ || (rows.empty() && used.empty())) return writable_;
  return InTransaction([&] {
    WriteRows(rows);
    MarkUsed(used, day);
  });
}

void DigestStore::WriteRows(const std::vector<StoredDigest>& rows) {
  // Each folder's value is read, changed and written once, in key order.
  std::vector<std::pair<std::int64_t, const StoredDigest*>> order;
  order.reserve(rows.size());
  for (const StoredDigest& row : rows) {
    const std::string_view path = row.Path;
    order.emplace_back(FolderKeyOf(KeyOf(row.Stamp.Device, row.Stamp.Inode, path.substr(0, path.rfind('/') + 1),
                                         row.Digest.Algorithm())),
                       &row);
  }
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < order.size();) {
    const std::int64_t folder = order[i].first;
    std::vector<PackedRow> kept = TakeFolder(folder);
    for (; i < order.size() && order[i].first == folder; ++i) {
      const StoredDigest& row = *order[i].second;
      // A later state of a file takes the place of the one kept.
      std::erase_if(kept, [&](const PackedRow& old) {
        return old.row.Stamp.Device == row.Stamp.Device && old.row.Stamp.Inode == row.Stamp.Inode &&
               old.row.Digest.Size == row.Digest.Size;
      });
      kept.push_back(PackedRow{row, CheckValue(row.Stamp, row.Digest, row.ReadStartNs)});
    }
    PutFolder(folder, kept);
  }
}

void DigestStore::MarkUsed(const std::vector<std::int64_t>& keys, std::int64_t day) {
  std::vector<std::int64_t> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t i = 0; i < sorted.size();) {
    const std::int64_t folder = FolderKeyOf(sorted[i]);
    std::vector<PackedRow> kept = TakeFolder(folder);
    bool changed = false;
    for (; i < sorted.size() && FolderKeyOf(sorted[i]) == folder; ++i) {
      const auto low = static_cast<std::uint64_t>(sorted[i]) & 0xFFFFFFFFULL;
      for (PackedRow& packed : kept) {
        if ((packed.row.Stamp.Inode & 0xFFFFFFFFULL) != low || packed.row.UsedDay >= day) continue;
        packed.row.UsedDay = day;
        changed = true;
      }
    }
    if (changed) PutFolder(folder, kept);
  }
}

bool DigestStore::Expire(std::int64_t today, std::int64_t firstKeptDay) {
  if (!writable_) return false;
  if (QueryNumber("SELECT value FROM meta WHERE key='expired_day'", -1) == today) return true;
  return InTransaction([&] {
    // The folders a batch at a time, each rewritten without its rows unused
    // for too long; none is changed under the query that reads them.
    sqlite3_stmt* next = Statement("SELECT key FROM folders WHERE key > ?1 ORDER BY key LIMIT 512");
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    for (;;) {
      std::vector<std::int64_t> folders;
      sqlite3_reset(next);
      sqlite3_bind_int64(next, 1, after);
      int rc;
      while ((rc = sqlite3_step(next)) == SQLITE_ROW) folders.push_back(sqlite3_column_int64(next, 0));
      sqlite3_reset(next);
      if (rc != SQLITE_DONE) Fail(sqlite3_errmsg(db_));
      if (folders.empty()) break;
      after = folders.back();
      for (const std::int64_t folder : folders) {
        std::vector<PackedRow> kept = TakeFolder(folder);
        const std::size_t before = kept.size();
        std::erase_if(kept, [&](const PackedRow& packed) { return packed.row.UsedDay < firstKeptDay; });
        if (kept.size() != before || kept.empty()) PutFolder(folder, kept);
      }
    }
    QueryNumber("INSERT OR REPLACE INTO meta(key, value) VALUES('expired_day', " + std::to_string(today) + ")", 0);
  });
}
