#include "platform/SpillFile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/InterruptGuard.h"

namespace {

// A large piece of work keeps many of these open at once: the soft limit on
// open files goes up to the hard one when it is reached.
bool RaiseFileLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return false;
  limit.rlim_cur = limit.rlim_max;
  return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

}  // namespace

SpillFile::~SpillFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool SpillFile::Create(const std::string& folder) {
  static std::atomic<unsigned> serial{0};
  const std::string base = folder + (folder.empty() || folder.back() != '/' ? "/" : "") + ".quillon-spill-" +
                           std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = base + std::to_string(serial++) + ".tmp";
    // A signal between the create and the unlink would leave the name behind.
    InterruptGuard::Deferral hold;
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EMFILE && RaiseFileLimit()) continue;
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error_ = errno;
      return false;
    }
    unlink(name.c_str());
    handle_ = fd;
    return true;
  }
  error_ = EEXIST;
  return false;
}

bool SpillFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t wrote = write(static_cast<int>(handle_), data, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      error_ = wrote < 0 ? errno : ENOSPC;
      return false;
    }
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}

bool SpillFile::Rewind() {
  if (lseek(static_cast<int>(handle_), 0, SEEK_SET) == 0) return true;
  error_ = errno;
  return false;
}

long long SpillFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = read(static_cast<int>(handle_), buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error_ = errno;
    return got;
  }
}

std::string SpillFile::DefaultFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}
