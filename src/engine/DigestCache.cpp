#include "engine/DigestCache.h"

#include <algorithm>
#include <chrono>

#include "platform/QuillonError.h"

namespace {

constexpr std::int64_t kNsPerDay = 86'400'000'000'000;

std::string HexOf(const DigestBytes& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text(2 * digest.Size, '0');
  for (std::size_t i = 0; i < digest.Size; ++i) {
    text[2 * i] = kHex[digest.Data[i] >> 4];
    text[2 * i + 1] = kHex[digest.Data[i] & 0x0F];
  }
  return text;
}

// The bytes of an MD5 or SHA-256 digest text, when the text is exactly what
// HexOf gives for them: a reused digest must read the same as a freshly made one.
std::optional<DigestBytes> BytesOf(const std::string& text) {
  if (text.size() != DigestDigitsOf(DigestAlgorithm::Md5) && text.size() != DigestDigitsOf(DigestAlgorithm::Sha256))
    return std::nullopt;
  DigestBytes digest;
  digest.Size = text.size() / 2;
  for (std::size_t i = 0; i < text.size(); ++i) {
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
    digest.Data[i / 2] = static_cast<unsigned char>(digest.Data[i / 2] << 4 | nibble);
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
  usable_ = true;
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
  usable_ = false;
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

std::optional<std::string> DigestCache::Reusable(const FileStamp& stamp, std::string_view folder,
                                                 DigestAlgorithm algorithm) {
  const auto digest = ReusableBytes(stamp, folder, algorithm);
  if (!digest) return std::nullopt;
  return HexOf(*digest);
}

std::optional<DigestBytes> DigestCache::ReusableBytes(const FileStamp& stamp, std::string_view folder,
                                                      DigestAlgorithm algorithm) {
  // An inode of 0 is no identity: the search could not tell it.
  if (!store_ || stamp.Inode == 0) return std::nullopt;
  if (!folderLoaded_ || folderDevice_ != stamp.Device || folder_ != folder || folderAlgorithm_ != algorithm) {
    try {
      store_->FindFolder(stamp.Device, folder, algorithm, folderRows_);
    } catch (const std::exception& error) {
      Disable(error.what());
      return std::nullopt;
    }
    folderLoaded_ = true;
    folderDevice_ = stamp.Device;
    folderAlgorithm_ = algorithm;
    folder_.assign(folder);
  }
  const std::int64_t now = Now();
  const StoredDigest* row = Match(folderRows_, stamp, now);
  if (row == nullptr) return std::nullopt;
  if (writing_ && UseDue(row->UsedDay, now)) {
    used_.push_back(DigestStore::KeyOf(stamp.Device, stamp.Inode, folder, algorithm));
    if (used_.size() >= kUsedBatch) Flush();
  }
  ++reused_;
  return row->Digest;
}

const StoredDigest* DigestCache::Match(const std::vector<StoredDigest>& rows, const FileStamp& stamp,
                                       std::int64_t now) {
  // The rows come in key order, which is the order of the inodes' low 32 bits.
  const auto low = [](std::uint64_t inode) { return inode & 0xFFFFFFFFULL; };
  auto row = std::lower_bound(rows.begin(), rows.end(), low(stamp.Inode),
                              [&low](const StoredDigest& candidate, std::uint64_t wanted) {
                                return low(candidate.Stamp.Inode) < wanted;
                              });
  while (row != rows.end() && low(row->Stamp.Inode) == low(stamp.Inode) && row->Stamp.Inode != stamp.Inode) ++row;
  if (row == rows.end() || row->Stamp != stamp || IsRacy(stamp, row->ReadStartNs)) return nullptr;
  // A read that began later than now means the clock was set back since:
  // nothing of that time is trusted.
  if (row->ReadStartNs > now) return nullptr;
  return &*row;
}

bool DigestCache::UseDue(std::int64_t usedDay, std::int64_t now) const {
  return usedDay < now / kNsPerDay - kUseRefreshDays + 1;
}

void DigestCache::CountReused(const CachedDigest& cached) {
  ++reused_;
  if (!writing_ || cached.DueKey < 0) return;
  used_.push_back(cached.DueKey);
  if (used_.size() >= kUsedBatch) Flush();
}

void DigestCache::Keep(const FileStamp& stamp, const std::string& path, const std::string& digestText,
                       std::int64_t readStartNs) {
  if (!writing_ || stamp.Inode == 0 || IsRacy(stamp, readStartNs)) return;
  if (digestText.find_first_not_of('0') == std::string::npos) return;
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
    if (store_->Update(pending_, used_, Today()) || pending_.size() >= 4 * kBatchRows || used_.size() >= kUsedBatch) {
      pending_.clear();
      used_.clear();
    }
  } catch (const std::exception& error) {
    StopWriting(error.what());
  }
}
