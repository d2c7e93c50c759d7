#include "engine/FileDigester.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/Vexmd5.h"

namespace {

const std::string kNoDigest(32, '0');

bool SameFile(const OpenFileFacts& facts, const FileDigester::Expected& expected) {
  return facts.RegularFile && facts.Size == expected.size && facts.ModifiedSeconds == expected.seconds &&
         facts.ModifiedNanoseconds == expected.nanoseconds;
}

}  // namespace

FileDigester::FileDigester(FileReader& reader, PageReleaser* releaser)
    : reader_(reader), releaser_(releaser), buffer_(std::make_unique_for_overwrite<unsigned char[]>(kReadBufferSize)) {}

FileDigester::Result FileDigester::ComputeFileDigest(const std::string& filePath, const Expected& expected) {
  // Opening a FIFO or a device can change what other programs see; only what
  // the search found to be a regular file is ever opened.
  if (!expected.regularFile) return {kNoDigest, Outcome::NotAFile, 0};
  // A file whose listed size is 0 may be one of /proc whose read would wait.
  const int fd = reader_.Open(filePath, expected.size == 0);
  if (fd < 0) return {kNoDigest, Outcome::Failed, errno};
  OpenFileFacts st;
  if (reader_.Stat(fd, st) != 0) {
    const int error = errno;
    reader_.Close(fd);
    return {kNoDigest, Outcome::Failed, error};
  }
  // Replaced or rewritten since the search saw it.
  if (!SameFile(st, expected)) {
    reader_.Close(fd);
    return {kNoDigest, Outcome::Changed, 0};
  }
  const bool wasCached = reader_.StartIsCached(fd);

  md5_context context;
  md5_starts(&context);
  std::uint64_t remaining = expected.size + 1;
  std::uint64_t total = 0;
  int error = 0;
  bool givenUp = false;
  while (remaining > 0) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kReadBufferSize));
    const long long got = reader_.Read(fd, buffer_.get(), want);
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (got == 0) break;
    const auto count = static_cast<std::size_t>(got);
    // One call per block read: the system's digest (CNG on Windows) costs a
    // call each time, however few bytes it is given.
    md5_update(&context, buffer_.get(), static_cast<std::uint32_t>(count));
    total += count;
    remaining -= count;
    if (Interrupted(count)) {
      givenUp = true;
      break;
    }
  }
  const bool unchanged = error == 0 && total == expected.size && reader_.Stat(fd, st) == 0 && SameFile(st, expected);
  // A file read only for its digest leaves no pages behind, so that a long
  // listing does not push the user's own files out of the cache; a file that
  // was cached already stays as it was.
  if (wasCached) {
    reader_.Close(fd);
  } else if (releaser_ != nullptr) {
    releaser_->Release(fd);
  } else {
    reader_.DropCache(fd);
    reader_.Close(fd);
  }
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  unsigned char digest[16];
  md5_finish(&context, digest);
  // A digest of part of a file, or of another content than its line shows, is never given.
  if (givenUp) return {kNoDigest, Outcome::GivenUp, 0};
  if (error != 0) return {kNoDigest, Outcome::Failed, error};
  if (!unchanged) return {kNoDigest, Outcome::Changed, 0};
  char text[33];
  md5_toHexStr(text, digest);
  return {std::string(text, 32), Outcome::Read, 0};
}

bool FileDigester::Interrupted(std::size_t count) {
  sinceCheck_ += count;
  if (sinceCheck_ < kInterruptEvery) return false;
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  return PollInterrupt();
}
