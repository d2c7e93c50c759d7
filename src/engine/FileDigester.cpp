#include "engine/FileDigester.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <thread>
#include <utility>

namespace {

bool SameFile(const OpenFileFacts& facts, const FileDigester::Expected& expected) {
  return facts.RegularFile && facts.Size == expected.size && facts.ModifiedSeconds == expected.seconds &&
         facts.ModifiedNanoseconds == expected.nanoseconds;
}

// The same inode, untouched: a rewrite during the read that puts the
// modification time back (rsync --inplace -t, touch -r) moves the change time.
bool Untouched(const OpenFileFacts& after, const OpenFileFacts& before) {
  return after.Device == before.Device && after.Inode == before.Inode && after.ChangedSeconds == before.ChangedSeconds &&
         after.ChangedNanoseconds == before.ChangedNanoseconds;
}

// How long until a change would move the change time past the one in facts.
// Where the system stamps times from a clock that moves once per tick (a
// kernel tick, up to 10 ms; Windows, 15.6 ms), a change in the same tick
// leaves the time as it was, and that clock lags ours by up to a tick; a time
// without a fraction may come from a file system that keeps whole seconds,
// or two. A time ahead of our clock, as a file server's may be, tells nothing.
std::int64_t UnsettledNs(const OpenFileFacts& facts) {
  constexpr std::int64_t kTickNs = 50'000'000, kWholeSecondsNs = 2'000'000'000;
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  const std::int64_t changed = facts.ChangedSeconds * 1'000'000'000 + facts.ChangedNanoseconds;
  if (changed > now) return 0;
  return std::max<std::int64_t>(0, changed + (facts.ChangedNanoseconds == 0 ? kWholeSecondsNs : kTickNs) - now);
}

}  // namespace

FileDigester::FileDigester(FileReader& reader, PageReleaser* releaser, DigestAlgorithm algorithm)
    : reader_(reader),
      releaser_(releaser),
      opener_(reader),
      digest_(std::make_unique<StreamDigest>(algorithm)),
      buffer_(std::make_unique_for_overwrite<unsigned char[]>(kReadBufferSize)) {}

void FileDigester::SetAlgorithm(DigestAlgorithm algorithm) {
  if (digest_->Algorithm() != algorithm) digest_ = std::make_unique<StreamDigest>(algorithm);
}

FileDigester::Text FileDigester::Text::Zeros(DigestAlgorithm algorithm) {
  Text text;
  text.length = static_cast<std::uint8_t>(DigestDigitsOf(algorithm));
  std::fill(text.digits, text.digits + sizeof text.digits, '0');
  return text;
}

FileDigester::Result FileDigester::ComputeFileDigest(const std::string& filePath, const Expected& expected,
                                                     bool fetchedAhead, int openFd) {
  FileRead read;
  Result early;
  if (!Begin(filePath, expected, fetchedAhead, openFd, read, early, true)) return early;
  digest_->Start();
  bool givenUp = read.map != nullptr && DigestMapped(read);
  while (read.map == nullptr) {
    const std::size_t count = ReadBlock(read, buffer_.get(), kReadBufferSize);
    if (count == 0) break;
    // One call per block read: the system's digest (CNG on Windows) costs a
    // call each time, however few bytes it is given.
    digest_->Update(buffer_.get(), count);
    if (Interrupted(count)) {
      givenUp = true;
      break;
    }
  }
  char digits[kMaxDigestDigits];
  digest_->FinishHex(digits);
  return Finish(read, digits, givenUp);
}

bool FileDigester::HashesInLanes() const {
  return digest_->Algorithm() == DigestAlgorithm::Md5 && Md5Lanes::ChosenKernel() != Md5Kernel::Scalar;
}

void FileDigester::DigestMany(Source& source) {
  constexpr std::size_t kSlots = Md5Lanes::kSlots;
  if (!lanes_) {
    // Few busy lanes may run on a narrower kernel, unless one is forced.
    lanes_ = std::make_unique<Md5Lanes>(Md5Lanes::ChosenKernel(), !Md5Lanes::KernelForced());
    laneBuffers_ = std::make_unique_for_overwrite<unsigned char[]>(kSlots * kLaneBlockSize);
    lanesBefore_ = std::make_unique<Md5Lanes>(*lanes_);
  }
  struct Lane {
    Task task;
    FileRead read;
    bool open = false;
  };
  std::array<Lane, kSlots> lanes;
  bool givenUp = false;
  for (;;) {
    // A free slot takes the next file that has anything to read. A source
    // with none for now may have more later, while the open files are read.
    std::size_t open = 0;
    bool more = true;
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
      Lane& lane = lanes[slot];
      while (!lane.open && more && !givenUp) {
        lane = Lane{};
        if (!source.Next(lane.task)) {
          more = false;
          break;
        }
        Result early;
        if (Begin(*lane.task.path, lane.task.expected, lane.task.fetchedAhead, lane.task.fd, lane.read, early, true)) {
          lanes_->Start(slot);
          lane.open = true;
        } else {
          givenUp = early.outcome == Outcome::GivenUp;  // told to stop while it waited for the file to settle
          source.Done(lane.task, early);
        }
      }
      open += lane.open ? 1 : 0;
    }
    if (open == 0) return;
    // A block of each file whose lane has hashed what it had, then the lanes
    // hashed until one of them wants more. A file's last block is the one
    // that leaves nothing to ask for, or the one that comes back empty. The
    // files whose start is not in the cache are all asked of the disk first,
    // and read after the others, so that their reads overlap.
    for (const bool waiting : {false, true}) {
      for (std::size_t slot = 0; slot < kSlots && !givenUp; ++slot) {
        Lane& lane = lanes[slot];
        if (!lane.open || !lanes_->Hungry(slot) || lane.read.fetching != waiting) continue;
        if (lane.read.map != nullptr) {
          givenUp = Interrupted(FeedMapped(slot, lane.read));
          continue;
        }
        unsigned char* buffer = laneBuffers_.get() + slot * kLaneBlockSize;
        lane.read.fetching = false;
        const std::size_t count = ReadBlock(lane.read, buffer, kLaneBlockSize, !waiting);
        if (lane.read.fetching) continue;
        lanes_->Feed(slot, buffer, count, count == 0 || lane.read.remaining == 0);
        givenUp = Interrupted(count);
      }
    }
    bool anyMapped = false;
    for (const Lane& lane : lanes) anyMapped = anyMapped || (lane.open && lane.read.map != nullptr);
    if (givenUp) {
      for (Lane& lane : lanes)
        if (lane.open) source.Done(lane.task, Finish(lane.read, nullptr, true));
      return;
    }
    if (!HashSomeGuarded(anyMapped)) {
      for (Lane& lane : lanes)
        if (lane.open && lane.read.map == guard_.Lost()) lane.read.lost = true;
    }
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
      Lane& lane = lanes[slot];
      // A file whose map lost a page has no digest; its lane starts afresh.
      if (lane.open && lane.read.lost) {
        lanes_->Start(slot);
        lane.open = false;
        source.Done(lane.task, Finish(lane.read, nullptr, false));
        continue;
      }
      if (!lane.open || !lanes_->Ended(slot)) continue;
      unsigned char digest[16];
      lanes_->Digest(slot, digest);
      char digits[33];
      md5_toHexStr(digits, digest);
      lane.open = false;
      source.Done(lane.task, Finish(lane.read, digits, false));
    }
  }
}

bool FileDigester::DigestMapped(FileRead& read) {
  struct Piece {
    StreamDigest* digest;
    const unsigned char* data;
    std::size_t size;
  } piece{digest_.get(), nullptr, 0};
  const auto update = [](void* context) {
    const Piece& p = *static_cast<Piece*>(context);
    p.digest->Update(p.data, p.size);
  };
  while (read.remaining > 0) {
    ReleaseHashed(read);
    piece.data = read.map + read.total;
    piece.size = static_cast<std::size_t>(std::min<std::uint64_t>(read.remaining, kReadBufferSize));
    if (!guard_.Run(update, &piece)) {
      read.lost = true;
      return false;
    }
    read.total += piece.size;
    read.remaining -= piece.size;
    if (Interrupted(piece.size)) return true;
  }
  return false;
}

void FileDigester::ReleaseHashed(FileRead& read) {
  if (read.total - read.released < kReleaseMappedEvery) return;
  reader_.ReleaseMapped(read.map, read.released, read.total);
  read.released = read.total;
}

std::size_t FileDigester::FeedMapped(std::size_t slot, FileRead& read) {
  ReleaseHashed(read);
  struct Piece {
    Md5Lanes* lanes;
    std::size_t slot;
    const unsigned char* data;
    std::size_t size;
    bool last;
  } piece{lanes_.get(), slot, read.map + read.total,
          static_cast<std::size_t>(std::min<std::uint64_t>(read.remaining, kLaneBlockSize)), false};
  read.total += piece.size;
  read.remaining -= piece.size;
  piece.last = read.remaining == 0;
  // A piece's last partial block is copied out of the map as it is fed.
  const auto feed = [](void* context) {
    const Piece& p = *static_cast<Piece*>(context);
    p.lanes->Feed(p.slot, p.data, p.size, p.last);
  };
  if (!guard_.Run(feed, &piece)) read.lost = true;
  return piece.size;
}

bool FileDigester::HashSomeGuarded(bool anyMapped) {
  if (!anyMapped) {
    lanes_->HashSome();
    return true;
  }
  *lanesBefore_ = *lanes_;
  if (guard_.Run([](void* lanes) { static_cast<Md5Lanes*>(lanes)->HashSome(); }, lanes_.get())) return true;
  *lanes_ = *lanesBefore_;
  return false;
}

bool FileDigester::Begin(const std::string& filePath, const Expected& expected, bool fetchedAhead, int openFd,
                         FileRead& read, Result& early, bool mayMap) {
  const Text kNoDigest = Text::Zeros(digest_->Algorithm());
  // Opening a FIFO or a device can change what other programs see; only what
  // the search found to be a regular file is ever opened.
  if (!expected.regularFile) {
    if (openFd >= 0) reader_.Close(openFd);
    early = {kNoDigest, Outcome::NotAFile, 0};
    return false;
  }
  const int fd = openFd >= 0 ? openFd : opener_.Open(filePath);
  if (fd < 0) {
    early = {kNoDigest, Outcome::Failed, errno};
    return false;
  }
  // The state the read starts from, once a change would show in it: a file
  // changed that recently is looked at again after a pause. The search's
  // look serves where it names the file and the file had settled then: the
  // look after the read finds any change since, a file put in its place
  // before the open as well.
  const OpenFileFacts seen{expected.regularFile, expected.size,  expected.seconds,        expected.nanoseconds,
                           expected.device,      expected.inode, expected.changedSeconds, expected.changedNanoseconds};
  const bool seenWillDo = expected.inode != 0 && UnsettledNs(seen) == 0;
  OpenFileFacts st = seen;
  constexpr int kMostLooks = 4;
  for (int looks = 1; !seenWillDo; ++looks) {
    if (reader_.Stat(fd, st) != 0) {
      const int error = errno;
      reader_.Close(fd);
      early = {kNoDigest, Outcome::Failed, error};
      return false;
    }
    // Replaced or rewritten since the search saw it, or changing all along.
    const std::int64_t unsettled = UnsettledNs(st);
    if (!SameFile(st, expected) || (unsettled > 0 && looks == kMostLooks)) {
      reader_.Close(fd);
      early = {kNoDigest, Outcome::Changed, 0};
      return false;
    }
    if (unsettled == 0) break;
    for (std::int64_t left = unsettled; left > 0; left -= 10'000'000) {
      std::this_thread::sleep_for(std::chrono::nanoseconds(std::min<std::int64_t>(left, 10'000'000)));
      if (PollInterrupt()) {
        reader_.Close(fd);
        early = {kNoDigest, Outcome::GivenUp, 0};
        return false;
      }
    }
  }
  read = FileRead{};
  if (mayMap && expected.size >= kMapFrom) read.map = reader_.MapIfCached(fd, expected.size);
  // A map is read only where the guard watches it.
  if (read.map != nullptr && !guard_.Watch(read.map, static_cast<std::size_t>(expected.size))) {
    reader_.Unmap(read.map, expected.size);
    read.map = nullptr;
  }
  if (read.map == nullptr && expected.size > kReadBufferSize) {
    // Most files fit in one block; only a larger one gains from the system
    // reading further ahead.
    reader_.AdviseSequential(fd);
  }
  read.fd = fd;
  read.expected = expected;
  read.before = st;
  read.fetchedAhead = fetchedAhead;
  // A read of a disk file ends at the size the file has, and the size is
  // checked again afterwards, so a file that grows is seen without reading
  // past its listed size. Only a file listed as empty gets one byte more
  // asked for, since a file of /proc claims 0 bytes whatever it holds.
  read.remaining = expected.size == 0 ? 1 : expected.size;
  return true;
}

std::size_t FileDigester::ReadBlock(FileRead& read, unsigned char* buffer, std::size_t size, bool fetchFirst) {
  while (read.remaining > 0 && read.error == 0) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(read.remaining, size));
    // The first block is asked of the cache alone: that one read tells
    // whether the file came from the disk.
    const long long got = read.first ? reader_.ReadIfCached(read.fd, buffer, want) : reader_.Read(read.fd, buffer, want);
    if (got < 0) {
      const bool notCached = read.first && errno == EAGAIN;
      read.first = false;
      if (notCached) {
        read.fromDisk = true;
        if (fetchFirst) {
          reader_.FetchAhead(read.fd, std::min(read.remaining, kFetchFirstBytes));
          read.fetching = true;
          return 0;
        }
        continue;
      }
      if (errno == EINTR) continue;
      read.error = errno;
      return 0;
    }
    read.first = false;
    if (got == 0) {
      read.remaining = 0;  // ended short: the check afterwards tells
      return 0;
    }
    const auto count = static_cast<std::size_t>(got);
    read.total += count;
    read.remaining -= count;
    return count;
  }
  return 0;
}

FileDigester::Result FileDigester::Finish(FileRead& read, const char* digits, bool givenUp) {
  const Text kNoDigest = Text::Zeros(digest_->Algorithm());
  const Expected& expected = read.expected;
  const std::uint64_t total = read.total;
  int error = read.error;
  const bool fromDisk = read.fromDisk;
  const int fd = read.fd;
  if (read.map != nullptr) {
    guard_.Forget(read.map);
    reader_.Unmap(read.map, expected.size);
    read.map = nullptr;
  }
  OpenFileFacts after;
  const bool unchanged = error == 0 && total == expected.size && reader_.Stat(fd, after) == 0 &&
                         SameFile(after, expected) && Untouched(after, read.before);
  // A map loses a page when the file is shortened, or when the disk fails to
  // give back a page the cache had dropped.
  if (read.lost && unchanged) error = EIO;
  // A file read only for its digest leaves no pages behind, so that a long
  // listing does not push the user's own files out of the cache; a file that
  // was cached already stays as it was.
  if (!fromDisk && !read.fetchedAhead) {
    reader_.Close(fd);
  } else if (releaser_ != nullptr) {
    releaser_->Release(fd);
  } else {
    reader_.DropCache(fd);
    reader_.Close(fd);
  }
  read.fd = -1;
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  // A digest of part of a file, or of another content than its line shows, is never given.
  if (givenUp) return {kNoDigest, Outcome::GivenUp, 0, fromDisk};
  if (error != 0) return {kNoDigest, Outcome::Failed, error, fromDisk};
  if (!unchanged) return {kNoDigest, Outcome::Changed, 0, fromDisk};
  Result result = Result::Of({digits, kNoDigest.length});
  result.waitedForDisk = fromDisk;
  return result;
}

FileDigester::Result FileDigester::Result::Of(std::string_view digits) {
  Result result;
  result.text.length = static_cast<std::uint8_t>(digits.copy(result.text.digits, sizeof result.text.digits));
  return result;
}

void FileDigester::ForgetFolder() { opener_.Forget(); }

bool FileDigester::Interrupted(std::size_t count) {
  sinceCheck_ += count;
  if (sinceCheck_ < kInterruptEvery) return false;
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  return PollInterrupt();
}
