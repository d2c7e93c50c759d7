#include "platform/InterruptGuard.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstring>
#include <initializer_list>

namespace {

// Written by the program, read by the handler; nothing else is shared.
char temporaryPath[PATH_MAX];
char notePrefix[64];
char noteText[PATH_MAX + 256];
volatile std::sig_atomic_t noteLength = 0;
volatile std::sig_atomic_t temporaryArmed = 0;
volatile std::sig_atomic_t deferrals = 0;
volatile std::sig_atomic_t pendingSignal = 0;

[[noreturn]] void EndBySignal(int signal) {
  if (temporaryArmed) unlink(temporaryPath);
  if (noteLength > 0) {
    // A standard error that is gone cannot be told anything.
    [[maybe_unused]] const ssize_t told = write(STDERR_FILENO, noteText, static_cast<std::size_t>(noteLength));
  }
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

void InterruptGuard::Install(const char* prefix) {
  notePrefix[0] = '\0';
  std::strncat(notePrefix, prefix, sizeof notePrefix - 1);
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

namespace {

// What the handler writes, as it writes it. A signal meanwhile waits, so that
// it never finds the note half made or, between two notes, none at all.
void Say(const std::string& line) {
  const InterruptGuard::Deferral hold;
  noteLength = 0;
  const std::size_t length = std::min(line.size(), sizeof noteText);
  std::memcpy(noteText, line.data(), length);
  noteLength = static_cast<std::sig_atomic_t>(length);
}

}  // namespace

InterruptGuard::Note::Note(const std::string& text)
    : before_(noteText, static_cast<std::size_t>(noteLength)) {
  Change(text);
}

InterruptGuard::Note::~Note() {
  if (!kept_ || before_.empty()) Say(before_);
}

void InterruptGuard::Note::Change(const std::string& text) {
  std::string line = notePrefix + text;
  line.resize(std::min(line.size(), sizeof noteText - 1));
  Say(line + '\n');
}
