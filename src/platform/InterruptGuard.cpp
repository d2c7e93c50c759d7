#include "platform/InterruptGuard.h"

#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <initializer_list>

namespace {

// Written by the program, read by the handler; nothing else is shared.
char temporaryPath[PATH_MAX];
volatile std::sig_atomic_t temporaryArmed = 0;
volatile std::sig_atomic_t deferrals = 0;
volatile std::sig_atomic_t pendingSignal = 0;

[[noreturn]] void EndBySignal(int signal) {
  if (temporaryArmed) unlink(temporaryPath);
  _exit(128 + signal);
}

void OnSignal(int signal) {
  if (deferrals > 0) {
    pendingSignal = signal;
    return;
  }
  EndBySignal(signal);
}

}  // namespace

void InterruptGuard::Install() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

void InterruptGuard::ArmTemporary(const char* path) {
  temporaryArmed = 0;
  const std::size_t length = std::strlen(path);
  if (length >= sizeof temporaryPath) return;  // cannot be named: left to the caller's own cleanup
  std::memcpy(temporaryPath, path, length + 1);
  temporaryArmed = 1;
}

void InterruptGuard::DisarmTemporary() { temporaryArmed = 0; }

InterruptGuard::Deferral::Deferral() { deferrals = deferrals + 1; }

InterruptGuard::Deferral::~Deferral() {
  deferrals = deferrals - 1;
  if (deferrals == 0 && pendingSignal != 0) EndBySignal(pendingSignal);
}
