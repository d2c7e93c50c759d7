#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DigestStore.h"

// A digest the cache may give back for one file, found ahead of its use.
struct CachedDigest {
  DigestBytes Digest;
  std::int64_t DueKey = -1;  // the row's key, when its day of last use is due to be refreshed
  bool Found = false;
};

// Digests of unchanged files, kept between runs. A stored digest is given
// again only for the same device and inode with the same size, mtime and
// ctime, and only when both times lie more than kRacyNs before the start of
// the read that made it: a file changed in the same clock tick as its read
// may have changed after it without its times showing it, so it is read again.
// Digests just read are written back at the end of the run, with the marks
// of use, in one transaction (a run that reads many, in batches too).
// Whatever goes wrong with the store is told once through the warning and
// turns reuse off, or only writing; it never fails the listing.
class DigestCache {
 public:
  using Clock = std::function<std::int64_t()>;  // nanoseconds since 1970-01-01 UTC
  using Warn = std::function<void(const std::string&)>;

  static constexpr std::int64_t kRacyNs = 2'000'000'000;
  static constexpr std::int64_t kKeepDays = 90;
  // A row's day of last use is refreshed at most this often.
  static constexpr std::int64_t kUseRefreshDays = 7;
  static constexpr std::size_t kBatchRows = 2000;
  // Rows whose day of last use is due are marked at the end of a run, with
  // the digests read, in one transaction: a re-audit writes once. Only this
  // many keys are held meanwhile.
  static constexpr std::size_t kUsedBatch = 1 << 20;

  DigestCache(const std::string& storePath, Warn warn, Clock clock = RealClock);
  ~DigestCache();
  DigestCache(const DigestCache&) = delete;
  DigestCache& operator=(const DigestCache&) = delete;

  static std::int64_t RealClock();
  std::int64_t Now() const { return clock_(); }

  // The digest text of the algorithm kept for this state of a file in
  // folder (its path, ending with "/"), when it may be reused.
  std::optional<std::string> Reusable(const FileStamp& stamp, std::string_view folder,
                                      DigestAlgorithm algorithm = DigestAlgorithm::Md5);
  // The same as bytes.
  std::optional<DigestBytes> ReusableBytes(const FileStamp& stamp, std::string_view folder, DigestAlgorithm algorithm);
  // The row of rows (those of one folder, in key order) that may be given
  // for stamp now: same file, same state, settled before its read began,
  // read no later than now. Null when there is none.
  static const StoredDigest* Match(const std::vector<StoredDigest>& rows, const FileStamp& stamp, std::int64_t now);
  // Whether a row last used on usedDay is to be marked as used today.
  bool UseDue(std::int64_t usedDay, std::int64_t now) const;

  // Whether digests may still be given; false once the store failed. Asked
  // on any thread.
  bool Usable() const { return usable_.load(std::memory_order_relaxed); }
  const std::string& StorePath() const { return storePath_; }
  // A digest found ahead by a DigestLookup is given: counted, and its row
  // marked as used.
  void CountReused(const CachedDigest& cached);

  // Keeps a digest that was read; readStartNs is Now() taken before the
  // file's state was read; the algorithm is told by the text's length.
  // Digests of unreadable files (all "0") are not kept.
  void Keep(const FileStamp& stamp, const std::string& path, const std::string& digestText, std::int64_t readStartNs);
  // Writes what is kept and not yet written.
  void Flush();

 private:
  void Disable(const std::string& why);
  void StopWriting(const std::string& why);
  std::int64_t Today() const;

  std::string storePath_;
  Warn warn_;
  Clock clock_;
  std::unique_ptr<DigestStore> store_;
  bool writing_ = false;
  std::atomic<bool> usable_{false};
  std::uint64_t reused_ = 0;  // digests given so far
  std::vector<StoredDigest> pending_;
  std::vector<std::int64_t> used_;  // keys of rows whose day of last use is due
  // The rows of the folder last asked about.
  bool folderLoaded_ = false;
  std::uint64_t folderDevice_ = 0;
  DigestAlgorithm folderAlgorithm_ = DigestAlgorithm::Md5;
  std::string folder_;
  std::vector<StoredDigest> folderRows_;
};
