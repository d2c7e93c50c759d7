#include "platform/ReadableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

void ReadableFile::Close() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
}

bool ReadableFile::OpenForLoading(const std::string& path, bool regularOnly) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (regularOnly ? O_NONBLOCK : 0));
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    error_ = errno;
    if (fd >= 0) close(fd);
    return false;
  }
  handle_ = fd;
  folder_ = S_ISDIR(st.st_mode);
  regular_ = S_ISREG(st.st_mode);
  size_ = regular_ ? st.st_size : -1;
  return true;
}

long long ReadableFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = read(static_cast<int>(handle_), buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error_ = errno;
    return got;
  }
}
