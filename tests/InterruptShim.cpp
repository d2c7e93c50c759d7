// Preloaded into quillon-cli by the interrupt tests. At the first call (or
// the QUILLON_SHIM_CALL-th) of the function named by QUILLON_SHIM_AT ("fsync": the save has written its text;
// "fallocate": an in-place rewrite makes room in its file; "dirfd": the
// listing run reads a folder), the process gets the signal
// numbered by QUILLON_SHIM_SIGNAL, as a user's Ctrl-C would reach it then.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

void SignalAt(const char* function) {
  static bool sent = false;
  const char* at = std::getenv("QUILLON_SHIM_AT");
  const char* number = std::getenv("QUILLON_SHIM_SIGNAL");
  if (sent || at == nullptr || number == nullptr || std::strcmp(at, function) != 0) return;
  static int calls = 0;
  const char* nth = std::getenv("QUILLON_SHIM_CALL");
  if (++calls < (nth != nullptr ? std::atoi(nth) : 1)) return;
  sent = true;
  kill(getpid(), std::atoi(number));
}

template <typename Function>
Function Real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
  SignalAt("fsync");
  static const auto real = Real<int (*)(int)>("fsync");
  return real(fd);
}

extern "C" int dirfd(DIR* dir) {
  SignalAt("dirfd");
  static const auto real = Real<int (*)(DIR*)>("dirfd");
  return real(dir);
}

extern "C" int fallocate(int fd, int mode, off_t offset, off_t length) {
  SignalAt("fallocate");
  static const auto real = Real<int (*)(int, int, off_t, off_t)>("fallocate");
  return real(fd, mode, offset, length);
}
