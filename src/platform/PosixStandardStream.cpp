#include "platform/StandardStream.h"

#include <unistd.h>

#include <cerrno>

namespace {
int FdOf(StandardStream::Which which) {
  return which == StandardStream::Which::Output ? STDOUT_FILENO : STDERR_FILENO;
}
}  // namespace

StandardStream::StandardStream(Which which) : which_(which), console_(isatty(FdOf(which)) == 1) {}

bool StandardStream::Write(const char* data, std::size_t size) {
  const int fd = FdOf(which_);
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}
