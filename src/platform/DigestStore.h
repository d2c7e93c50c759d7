#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DigestAlgorithm.h"
#include "platform/WalkedPath.h"

struct sqlite3;
struct sqlite3_stmt;

// One state of a file: while all of it stays the same, so does the content.
struct FileStamp {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::uint64_t Size = 0;
  std::int64_t ModifiedNs = 0;  // since 1970-01-01 UTC
  std::int64_t ChangedNs = 0;   // the inode's change time, which no user program can set
  bool operator==(const FileStamp&) const = default;
};

// The bytes of a digest: 16 of MD5, 32 of SHA-256.
struct DigestBytes {
  std::array<unsigned char, 32> Data{};
  std::size_t Size = 16;
  DigestAlgorithm Algorithm() const { return Size == 32 ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5; }
};

// A digest as stored: the file's state and when the read that made it began.
// Only the folder of the path is kept, in the row's key.
struct StoredDigest {
  FileStamp Stamp;
  std::string Path;
  DigestBytes Digest;
  std::int64_t ReadStartNs = 0;
  std::int64_t UsedDay = 0;  // days since 1970-01-01 of the last run that used it
};

// The digests of files kept in an SQLite database between runs, one row per
// folder, holding one entry per device, inode and digest algorithm of its
// files: a walk reads a folder's in one step. Several programs may use one store at once: it runs in
// WAL mode, and every write is one short transaction that waits at most
// kBusyMilliseconds for another writer. Failures raise QuillonError with a
// text that says what is wrong with the store.
class DigestStore {
 public:
  static constexpr int kBusyMilliseconds = 1500;
  static constexpr int kReadsPerTransaction = 4096;

  // Opens the store, creating it and its folder when they do not exist. A
  // link on the way is followed as a save follows it. A store or folder that
  // another user owns (root aside) or that others may write is refused. A
  // store that cannot be written is opened for reading when possible.
  explicit DigestStore(const std::string& path);
  ~DigestStore();
  DigestStore(const DigestStore&) = delete;
  DigestStore& operator=(const DigestStore&) = delete;

  // $XDG_CACHE_HOME/quillon/digests.sqlite, or ~/.cache/quillon/digests.sqlite.
  static std::string DefaultPath();
  // False in a build without SQLite, where opening a store always fails.
  static bool Available();

  bool Writable() const { return writable_; }
  // Why the store was opened for reading only; empty when it is writable.
  const std::string& ReadOnlyReason() const { return readOnlyReason_; }

  // The key of a file: the inode's low 32 bits below a hash of the device and
  // the folder path (ending with "/"), the key of the folder's row. The
  // file's entry itself holds device and inode: another file under a key
  // is no match.
  // Each algorithm has keys of its own; MD5's are those of stores made
  // before SHA-256 was known.
  static std::int64_t KeyOf(std::uint64_t device, std::uint64_t inode, std::string_view folder,
                            DigestAlgorithm algorithm);

  // The rows of one algorithm of the files of a folder of a device, in one query: a walk asks
  // for a folder's files together. A row whose check value does not match its
  // content, or a folder's value cut short, counts as damage and raises. The
  // rows leave out their path, and come in the order of their keys.
  std::vector<StoredDigest> FindFolder(std::uint64_t device, std::string_view folder, DigestAlgorithm algorithm);
  // The same into rows, whose room is used again.
  void FindFolder(std::uint64_t device, std::string_view folder, DigestAlgorithm algorithm,
                  std::vector<StoredDigest>& rows);
  // The folder part of a row's key: the key of the folder's row.
  static std::int64_t FolderKeyOf(std::int64_t key);

  // In one transaction: adds or replaces the rows, and sets the day of last
  // use of the rows of the keys used; each folder's row is read and written
  // once. False when another writer kept the store busy for too long;
  // nothing is written then.
  bool Update(const std::vector<StoredDigest>& rows, const std::vector<std::int64_t>& used, std::int64_t day);
  // Once a day at most: removes the rows last used before firstKeptDay.
  bool Expire(std::int64_t today, std::int64_t firstKeptDay);

 private:
  struct PackedRow;
  void Open(const std::string& path);
  void Prepare();
  void CreateSchema();
  // Turns a store of a row per file into one of a row per folder.
  void Repack();
  // The rows kept for a folder's key, with their check values;
  // none when its value is cut short. Within a transaction.
  std::vector<PackedRow> TakeFolder(std::int64_t folder);
  // Writes a folder's rows, or removes the folder's row when there are none.
  void PutFolder(std::int64_t folder, std::vector<PackedRow>& rows);
  void WriteRows(const std::vector<StoredDigest>& rows);
  void MarkUsed(const std::vector<std::int64_t>& keys, std::int64_t day);
  void FindRowPerFile(std::uint64_t device, std::int64_t base, DigestAlgorithm algorithm,
                      std::vector<StoredDigest>& rows);
  sqlite3_stmt* Statement(const char* sql);
  // Runs one statement to its first row: its first column, or none.
  std::int64_t QueryNumber(const std::string& sql, std::int64_t none);
  // Runs body inside BEGIN IMMEDIATE ... COMMIT; false when busy.
  template <typename Body>
  bool InTransaction(Body body);
  // Ends the read transaction that lookups share, if one is open.
  void EndRead();
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  // The folder the store was checked in, held open while SQLite reaches the
  // store and its -wal and -shm files through it.
  std::optional<WalkedPath> folder_;
  sqlite3* db_ = nullptr;
  bool writable_ = false;
  std::string readOnlyReason_;
  std::vector<sqlite3_stmt*> statements_;
  sqlite3_stmt* find_ = nullptr;
  sqlite3_stmt* put_ = nullptr;
  sqlite3_stmt* drop_ = nullptr;
  bool rowPerFile_ = false;  // a store of an older version, only read
  int readsInTransaction_ = 0;
};
