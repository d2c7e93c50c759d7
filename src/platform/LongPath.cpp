#include "platform/LongPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace {

void CloseKeepingErrno(int fd) {
  const int error = errno;
  close(fd);
  errno = error;
}

}  // namespace

int LongPath::OpenAt(int folder, const char* path, int flags) {
  int fd;
  do fd = openat(folder, path, flags | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  return fd;
}

int LongPath::Open(const std::string& path, int flags) {
  if (path.size() < PATH_MAX) return OpenAt(AT_FDCWD, path.c_str(), flags);
  int folder = AT_FDCWD;
  std::size_t start = 0;
  while (path.size() - start >= PATH_MAX) {
    // The longest run of whole names that one call takes; a step never begins
    // with "/" after the first, which would make it absolute.
    const std::size_t cut = path.rfind('/', start + PATH_MAX - 2);
    if (cut == std::string::npos || cut < start) {
      if (folder != AT_FDCWD) close(folder);
      errno = ENAMETOOLONG;
      return -1;
    }
    const std::string step = path.substr(start, cut - start + 1);
    const int next = OpenAt(folder, step.c_str(), O_PATH | O_DIRECTORY);
    if (folder != AT_FDCWD) CloseKeepingErrno(folder);
    if (next < 0) return -1;
    folder = next;
    start = cut + 1;
    while (start < path.size() && path[start] == '/') ++start;
  }
  const int fd = OpenAt(folder, start < path.size() ? path.c_str() + start : ".", flags);
  if (folder != AT_FDCWD) CloseKeepingErrno(folder);
  return fd;
}
