#include "engine/FileDigester.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

#include "platform/Vexmd5.h"

namespace {
const std::string kNoDigest(32, '0');
}

FileDigester::FileDigester() : streamBuffer_(std::make_unique_for_overwrite<char[]>(kStreamBufferSize)) {}

std::string FileDigester::ComputeFileDigest(const std::string& filePath) {
  // O_NONBLOCK keeps a FIFO from blocking the open; it does not change reads of
  // a regular file, which is all that is read.
  const int fd = open(filePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kNoDigest;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return kNoDigest;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* stream = fdopen(fd, "rb");
  if (stream == nullptr) {
    close(fd);
    return kNoDigest;
  }
  setvbuf(stream, streamBuffer_.get(), _IOFBF, kStreamBufferSize);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  md5_context context;
  md5_starts(&context);
  unsigned char block[kReadBlock];
  bool failed = false;
  while (!feof(stream)) {
    const std::size_t count = fread(block, 1, kReadBlock, stream);
    if (count > 0) md5_update(&context, block, static_cast<std::uint32_t>(count));
    if (Interrupted(count)) {
      failed = true;
      break;
    }
    // A read error is not the end of the file: it ends the loop, and a digest
    // of part of a file is never given.
    if (ferror(stream)) {
      failed = true;
      break;
    }
  }
  fclose(stream);
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  unsigned char digest[16];
  md5_finish(&context, digest);
  if (failed) return kNoDigest;
  char text[33];
  md5_toHexStr(text, digest);
  return std::string(text, 32);
}

bool FileDigester::Interrupted(std::size_t count) {
  sinceCheck_ += count;
  if (sinceCheck_ < kInterruptEvery) return false;
  bytesRead_.fetch_add(std::exchange(sinceCheck_, 0), std::memory_order_relaxed);
  return PollInterrupt();
}
