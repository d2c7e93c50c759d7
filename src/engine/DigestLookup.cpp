#include "engine/DigestLookup.h"

#include <limits>

namespace {

// Nanoseconds since 1970, held at the ends of the 64-bit range: a time past
// the year 2262 still compares equal to itself.
std::int64_t Nanoseconds(std::int64_t seconds, std::uint32_t nanoseconds) {
  constexpr std::int64_t kNs = 1'000'000'000;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / kNs - 1;
  if (seconds > kLimit) return std::numeric_limits<std::int64_t>::max();
  if (seconds < -kLimit) return std::numeric_limits<std::int64_t>::min();
  return seconds * kNs + nanoseconds;
}

}  // namespace

FileStamp DigestLookup::StampOf(const FindData& entry) {
  return FileStamp{entry.Device, entry.Inode, entry.Size, Nanoseconds(entry.ModifiedSeconds, entry.ModifiedNanoseconds),
                   Nanoseconds(entry.ChangedSeconds, entry.ChangedNanoseconds)};
}

bool DigestLookup::Look(const std::string& folder, const std::vector<FindData>& entries, DigestAlgorithm algorithm,
                        std::vector<CachedDigest>& found) {
  found.clear();
  if (failed_ || !cache_.Usable()) return false;
  try {
    if (!store_) store_ = std::make_unique<DigestStore>(cache_.StorePath());
  } catch (const std::exception&) {
    // The walk's own connection still serves: it looks these files up itself.
    failed_ = true;
    return false;
  }
  found.resize(entries.size());
  bool loaded = false;
  std::uint64_t device = 0;
  const std::int64_t now = cache_.Now();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const FindData& entry = entries[i];
    // An inode of 0 is no identity: the search could not tell it.
    if (!entry.RegularFile || entry.Inode == 0) continue;
    // A folder's files are on its device, but for a file mounted over one.
    if (!loaded || entry.Device != device) {
      try {
        store_->FindFolder(entry.Device, folder, algorithm, rows_);
      } catch (const std::exception&) {
        // The walk looks the folder up itself, meets the damage and tells it.
        store_.reset();
        failed_ = true;
        found.clear();
        return false;
      }
      loaded = true;
      device = entry.Device;
    }
    const FileStamp stamp = StampOf(entry);
    const StoredDigest* row = DigestCache::Match(rows_, stamp, now);
    if (row == nullptr) continue;
    CachedDigest& cached = found[i];
    cached.Digest = row->Digest;
    cached.Found = true;
    if (cache_.UseDue(row->UsedDay, now))
      cached.DueKey = DigestStore::KeyOf(stamp.Device, stamp.Inode, folder, algorithm);
  }
  return true;
}
