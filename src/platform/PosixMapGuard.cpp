#include "platform/MapGuard.h"

#include <signal.h>

#include <algorithm>
#include <mutex>

namespace {

// A signal's handler belongs to the whole process, and it can find the guard
// of the thread it interrupts only through that thread's own storage. Both
// are set once and for all, or only by the thread itself.
struct Handler {
  struct sigaction before {};
};
Handler& TheHandler() {
  static Handler handler;
  return handler;
}
thread_local MapGuard* tActive __attribute__((tls_model("initial-exec"))) = nullptr;

void OnBusError(int signal, siginfo_t* info, void* context) {
  MapGuard* guard = tActive;
  if (guard != nullptr && guard->Covers(info->si_addr)) guard->Escape(info->si_addr);
  // Not a guarded read: whatever the process did about it before.
  const struct sigaction& before = TheHandler().before;
  if ((before.sa_flags & SA_SIGINFO) != 0 && before.sa_sigaction != nullptr) {
    before.sa_sigaction(signal, info, context);
  } else if (before.sa_handler != SIG_IGN && before.sa_handler != SIG_DFL && before.sa_handler != nullptr) {
    before.sa_handler(signal);
  } else {
    // The fault comes back on return, and the default ends the program.
    ::signal(SIGBUS, SIG_DFL);
  }
}

void InstallOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // Not blocked while handled: the jump out leaves the thread's mask as
    // it was, without the cost of saving it at every Run.
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &TheHandler().before);
  });
}

}  // namespace

MapGuard::MapGuard() { InstallOnce(); }

bool MapGuard::Watch(const unsigned char* begin, std::size_t size) {
  for (Range& range : watched_) {
    if (range.begin == nullptr) {
      range = Range{begin, size};
      return true;
    }
  }
  return false;
}

void MapGuard::Forget(const unsigned char* begin) {
  for (Range& range : watched_)
    if (range.begin == begin) range = Range{};
}

bool MapGuard::Covers(const void* address) const {
  const auto* at = static_cast<const unsigned char*>(address);
  return std::any_of(watched_.begin(), watched_.end(), [at](const Range& range) {
    return range.begin != nullptr && at >= range.begin && at < range.begin + range.size;
  });
}

void MapGuard::Escape(const void* address) {
  const auto* at = static_cast<const unsigned char*>(address);
  for (const Range& range : watched_)
    if (range.begin != nullptr && at >= range.begin && at < range.begin + range.size) lost_ = range.begin;
  siglongjmp(jump_, 1);
}

bool MapGuard::Run(void (*body)(void* context), void* context) {
  lost_ = nullptr;
  MapGuard* const outer = tActive;
  tActive = this;
  if (sigsetjmp(jump_, 0) != 0) {
    tActive = outer;
    return false;
  }
  body(context);
  tActive = outer;
  return true;
}
