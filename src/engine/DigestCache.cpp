#include "engine/DigestCache.h"

#include <algorithm>
#include <chrono>

#include "platform/QuillonError.h"
#include "platform/Vexmd5.h"

namespace {

constexpr std::int64_t kNsPerDay = 86'400'000'000'000;

std::string HexOf(const Md5Bytes& digest) {
  char text[33];
  md5_toHexStr(text, digest.data());
  return std::string(text, 32);
}

// The 16 bytes of a digest text, when the text is exactly what HexOf gives
// for them: a reused digest must read the same as a freshly made one.
std::optional<Md5Bytes> BytesOf(const std::string& text) {
  if (text.size() != 32) return std::nullopt;
  Md5Bytes digest{};
  for (std::size_t i = 0; i < 32; ++i) {
    const char c = text[i];
    int nibble;
    if (c >= '0' && c <= '9') {
      nibble = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      nibble = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      nibble = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    digest[i / 2] = static_cast<unsigned char>(digest[i / 2] << 4 | nibble);
  }
  if (HexOf(digest) != text) return std::nullopt;
  return digest;
}

bool IsRacy(const FileStamp& stamp, std::int64_t readStartNs) {
  const std::int64_t settled = readStartNs - DigestCache::kRacyNs;
  return stamp.ModifiedNs >= settled || stamp.ChangedNs >= settled;
}

}  // namespace

DigestCache::DigestCache(const std::string& storePath, Warn warn, Clock clock)
    : storePath_(storePath), warn_(std::move(warn)), clock_(std::move(clock)) {
  try {
    store_ = std::make_unique<DigestStore>(storePath);
  } catch (const std::exception& error) {
    Disable(error.what());
    return;
  }
  writing_ = store_->Writable();
  if (!writing_) StopWriting(store_->ReadOnlyReason());
}

DigestCache::~DigestCache() {
  try {
    Flush();
    if (store_ && writing_) {
      const std::int64_t today = Today();
      store_->Expire(today, today - kKeepDays - kUseRefreshDays);
    }
  } catch (...) {
    // A store that fails at the end only costs the next run some reads.
  }
}

std::int64_t DigestCache::RealClock() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t DigestCache::Today() const {
  const std::int64_t now = Now();
  return now >= 0 ? now / kNsPerDay : -1;
}

void DigestCache::Disable(const std::string& why) {
  store_.reset();
  folderRows_.clear();
  writing_ = false;
  pending_.clear();
  used_.clear();
  if (!warn_) return;
  if (reused_ == 0) {
    warn_("The digest cache \"" + storePath_ + "\" cannot be used (" + why + "); digests are read from the files");
  } else {
    // What was reused before the damage came to light was sound: each row is checked as it is read.
    warn_("The digest cache \"" + storePath_ + "\" is damaged (" + why + "): reused " + std::to_string(reused_) +
          (reused_ == 1 ? " digest" : " digests") + " before the cache was found damaged; the rest were read");
  }
}

void DigestCache::StopWriting(const std::string& why) {
  writing_ = false;
  pending_.clear();
  used_.clear();
  if (warn_)
    warn_("The digest cache \"" + storePath_ + "\" cannot be written (" + why +
          "); the digests read now are not kept for the next run");
}

std::optional<std::string> DigestCache::Reusable(const FileStamp& stamp, std::string_view folder) {
  // An inode of 0 is no identity: the search could not tell it.
  if (!store_ || stamp.Inode == 0) return std::nullopt;
  if (!folderLoaded_ || folderDevice_ != stamp.Device || folder_ != folder) {
    try {
      folderRows_ = store_->FindFolder(stamp.Device, folder);
    } catch (const std::exception& error) {
      Disable(error.what());
      return std::nullopt;
    }
    folderLoaded_ = true;
    folderDevice_ = stamp.Device;
    folder_.assign(folder);
  }
  // The rows come in key order, which is the order of the inodes' low 32 bits.
  const auto low = [](std::uint64_t inode) { return inode & 0xFFFFFFFFULL; };
  auto row = std::lower_bound(folderRows_.begin(), folderRows_.end(), low(stamp.Inode),
                              [&low](const StoredDigest& candidate, std::uint64_t wanted) {
                                return low(candidate.Stamp.Inode) < wanted;
                              });
  while (row != folderRows_.end() && low(row->Stamp.Inode) == low(stamp.Inode) && row->Stamp.Inode != stamp.Inode) ++row;
  if (row == folderRows_.end() || row->Stamp != stamp || IsRacy(stamp, row->ReadStartNs)) return std::nullopt;
  // A read that began later than now means the clock was set back since:
  // nothing of that time is trusted.
  const std::int64_t now = Now();
  if (row->ReadStartNs > now) return std::nullopt;
  if (writing_ && row->UsedDay < now / kNsPerDay - kUseRefreshDays + 1) {
    used_.push_back(DigestStore::KeyOf(stamp.Device, stamp.Inode, folder));
    if (used_.size() >= kBatchRows) Flush();
  }
  ++reused_;
  return HexOf(row->Digest);
}

void DigestCache::Keep(const FileStamp& stamp, const std::string& path, const std::string& digestText,
                       std::int64_t readStartNs) {
  if (!writing_ || stamp.Inode == 0 || IsRacy(stamp, readStartNs)) return;
  if (digestText == std::string(32, '0')) return;
  const auto digest = BytesOf(digestText);
  if (!digest) return;
  pending_.push_back(StoredDigest{stamp, path, *digest, readStartNs, Today()});
  if (pending_.size() >= kBatchRows) Flush();
}

void DigestCache::Flush() {
  if (!writing_ || (pending_.empty() && used_.empty())) return;
  try {
    // A writer that keeps the store busy for long only costs the next run
    // some reads: what could not be written is dropped once it piles up.
    if (store_->Write(pending_) || pending_.size() >= 4 * kBatchRows) pending_.clear();
    if (store_->MarkUsed(used_, Today()) || used_.size() >= 4 * kBatchRows) used_.clear();
  } catch (const std::exception& error) {
    StopWriting(error.what());
  }
}
