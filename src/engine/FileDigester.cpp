#include "engine/FileDigester.h"

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "platform/Vexmd5.h"

namespace {

constexpr FileDigester::Text NoDigest() {
  FileDigester::Text text{};
  for (char& digit : text.digits) digit = '0';
  return text;
}
constexpr FileDigester::Text kNoDigest = NoDigest();

bool SameFile(const OpenFileFacts& facts, const FileDigester::Expected& expected) {
  return facts.RegularFile && facts.Size == expected.size && facts.ModifiedSeconds == expected.seconds &&
         facts.ModifiedNanoseconds == expected.nanoseconds;
}

}  // namespace

FileDigester::FileDigester(FileReader& reader, PageReleaser* releaser)
    : reader_(reader), releaser_(releaser), buffer_(std::make_unique_for_overwrite<unsigned char[]>(kReadBufferSize)) {}

FileDigester::Result FileDigester::ComputeFileDigest(const std::string& filePath, const Expected& expected,
                                                     bool fetchedAhead) {
  FileRead read;
  Result early;
  if (!Begin(filePath, expected, fetchedAhead, read, early)) return early;
  md5_context context;
  md5_starts(&context);
  bool givenUp = false;
  while (const std::size_t count = ReadBlock(read, buffer_.get(), kReadBufferSize)) {
    // One call per block read: the system's digest (CNG on Windows) costs a
    // call each time, however few bytes it is given.
    md5_update(&context, buffer_.get(), static_cast<std::uint32_t>(count));
    if (Interrupted(count)) {
      givenUp = true;
      break;
    }
  }
  unsigned char digest[16];
  md5_finish(&context, digest);
  return Finish(read, digest, givenUp);
}

bool FileDigester::HashesInLanes() { return Md5Lanes::ChosenKernel() != Md5Kernel::Scalar; }

void FileDigester::DigestMany(Source& source) {
  constexpr std::size_t kSlots = Md5Lanes::kSlots;
  if (!lanes_) {
    lanes_ = std::make_unique<Md5Lanes>();
    laneBuffers_ = std::make_unique_for_overwrite<unsigned char[]>(kSlots * kLaneBlockSize);
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
        if (Begin(*lane.task.path, lane.task.expected, lane.task.fetchedAhead, lane.read, early)) {
          lanes_->Start(slot);
          lane.open = true;
        } else {
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
        unsigned char* buffer = laneBuffers_.get() + slot * kLaneBlockSize;
        lane.read.fetching = false;
        const std::size_t count = ReadBlock(lane.read, buffer, kLaneBlockSize, !waiting);
        if (lane.read.fetching) continue;
        lanes_->Feed(slot, buffer, count, count == 0 || lane.read.remaining == 0);
        givenUp = Interrupted(count);
      }
    }
    if (givenUp) {
      for (Lane& lane : lanes)
        if (lane.open) source.Done(lane.task, Finish(lane.read, nullptr, true));
      return;
    }
    lanes_->HashSome();
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
      Lane& lane = lanes[slot];
      if (!lane.open || !lanes_->Ended(slot)) continue;
      unsigned char digest[16];
      lanes_->Digest(slot, digest);
      lane.open = false;
      source.Done(lane.task, Finish(lane.read, digest, false));
    }
  }
}

bool FileDigester::Begin(const std::string& filePath, const Expected& expected, bool fetchedAhead, FileRead& read,
                         Result& early) {
  // Opening a FIFO or a device can change what other programs see; only what
  // the search found to be a regular file is ever opened.
  if (!expected.regularFile) {
    early = {kNoDigest, Outcome::NotAFile, 0};
    return false;
  }
  const int fd = OpenFile(filePath);
  if (fd < 0) {
    early = {kNoDigest, Outcome::Failed, errno};
    return false;
  }
  OpenFileFacts st;
  if (reader_.Stat(fd, st) != 0) {
    const int error = errno;
    reader_.Close(fd);
    early = {kNoDigest, Outcome::Failed, error};
    return false;
  }
  // Replaced or rewritten since the search saw it.
  if (!SameFile(st, expected)) {
    reader_.Close(fd);
    early = {kNoDigest, Outcome::Changed, 0};
    return false;
  }
  // Most files fit in one block; only a larger one gains from the system
  // reading further ahead.
  if (expected.size > kReadBufferSize) reader_.AdviseSequential(fd);
  read = FileRead{};
  read.fd = fd;
  read.expected = expected;
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

FileDigester::Result FileDigester::Finish(FileRead& read, const unsigned char digest[16], bool givenUp) {
  const Expected& expected = read.expected;
  const std::uint64_t total = read.total;
  const int error = read.error;
  const bool fromDisk = read.fromDisk;
  const int fd = read.fd;
  OpenFileFacts st;
  const bool unchanged = error == 0 && total == expected.size && reader_.Stat(fd, st) == 0 && SameFile(st, expected);
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
  char text[33];
  md5_toHexStr(text, digest);
  Result result = Result::Of(text);
  result.waitedForDisk = fromDisk;
  return result;
}

FileDigester::Result FileDigester::Result::Of(std::string_view digits) {
  Result result{kNoDigest};
  digits.copy(result.text.digits, sizeof result.text.digits);
  return result;
}

int FileDigester::OpenFile(const std::string& filePath) {
  const auto slash = filePath.rfind(kPathSeparator);
  if (slash == std::string::npos) return reader_.Open(filePath);
  const std::string_view folder(filePath.data(), slash + 1);
  if (folder != folder_) {
    ForgetFolder();
    folder_.assign(folder);
    folderFd_ = reader_.OpenFolder(folder_);
  }
  if (folderFd_ < 0) return reader_.Open(filePath);
  return reader_.OpenIn(folderFd_, filePath.c_str() + slash + 1);
}

void FileDigester::ForgetFolder() {
  if (folderFd_ >= 0) reader_.Close(folderFd_);
  folderFd_ = -1;
  folder_.clear();
}

bool FileDigester::Interrupted(std::size_t count) {
  sinceCheck_ += count;
  if (sinceCheck_ < kInterruptEvery) return false;
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  return PollInterrupt();
}
