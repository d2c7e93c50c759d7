#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

using Md5Bytes = std::array<unsigned char, 16>;

// A digest as stored: the file's state and when the read that made it began.
// The path is written for the people who look into the store; a lookup
// leaves it out.
struct StoredDigest {
  FileStamp Stamp;
  std::string Path;
  Md5Bytes Digest{};
  std::int64_t ReadStartNs = 0;
  std::int64_t UsedDay = 0;  // days since 1970-01-01 of the last run that used it
};

// The digests of files kept in an SQLite database between runs, one row per
// device and inode. Several programs may use one store at once: it runs in
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

  // The key of the row of a file: the inode's low 32 bits below a hash of the
  // device and the folder path (ending with "/"), so that the rows of one
  // folder lie together and a walk reads and writes them page by page. The
  // row itself holds device and inode: another file under a key is no match.
  static std::int64_t KeyOf(std::uint64_t device, std::uint64_t inode, std::string_view folder);

  // The rows of the files of a folder of a device, in one query: a walk asks
  // for a folder's files together. A row whose check value does not match its
  // content counts as damage and raises. The rows leave out their path.
  std::vector<StoredDigest> FindFolder(std::uint64_t device, std::string_view folder);
  // Adds or replaces the rows in one transaction. False when another writer
  // kept the store busy for too long; nothing is written then.
  bool Write(const std::vector<StoredDigest>& rows);
  // Sets the day of last use of the rows of these keys.
  bool MarkUsed(const std::vector<std::int64_t>& keys, std::int64_t day);
  // Once a day at most: removes the rows last used before firstKeptDay.
  bool Expire(std::int64_t today, std::int64_t firstKeptDay);

 private:
  void Open(const std::string& path);
  void Prepare();
  void CreateSchema();
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
  sqlite3_stmt* touch_ = nullptr;
  int readsInTransaction_ = 0;
};
