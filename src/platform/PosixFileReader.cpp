#include "platform/PosixFileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/LongPath.h"

int PosixFileReader::Open(const std::string& path, bool nonBlocking) {
  // O_NONBLOCK on the open as well: should the entry have turned into a FIFO
  // since it was found, the open must not wait for a writer.
  const int fd = LongPath::Open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd >= 0 && !nonBlocking) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  if (fd >= 0) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return fd;
}

long long PosixFileReader::Read(int fd, void* buffer, std::size_t count) { return read(fd, buffer, count); }

int PosixFileReader::Stat(int fd, OpenFileFacts& facts) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  facts.RegularFile = S_ISREG(st.st_mode);
  facts.Size = static_cast<std::uint64_t>(st.st_size);
  facts.ModifiedSeconds = st.st_mtim.tv_sec;
  facts.ModifiedNanoseconds = static_cast<std::uint32_t>(st.st_mtim.tv_nsec);
  return 0;
}

void PosixFileReader::Close(int fd) { close(fd); }

bool PosixFileReader::StartIsCached(int fd) {
  char byte;
  iovec vector{&byte, 1};
  return preadv2(fd, &vector, 1, 0, RWF_NOWAIT) >= 0;
}

void PosixFileReader::DropCache(int fd) { posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED); }
