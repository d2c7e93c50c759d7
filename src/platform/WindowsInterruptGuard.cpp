#include "platform/WindowsApi.h"

#include "platform/InterruptGuard.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>

namespace {

// Written by the program, read by the console's handler thread; nothing else
// is shared.
wchar_t temporaryPath[32768];
std::atomic<int> temporaryArmed{0};
std::atomic<int> deferrals{0};
std::atomic<int> pendingExit{0};
char notePrefix[64];
char noteText[32768];
std::atomic<int> noteLength{0};

// The exit codes of the POSIX build: 128 + SIGINT, or + SIGHUP for a closed console.
[[noreturn]] void EndWith(int code) {
  if (temporaryArmed.load()) DeleteFileW(temporaryPath);
  DWORD written = 0;
  if (noteLength.load() > 0)
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), noteText, static_cast<DWORD>(noteLength.load()), &written, nullptr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  for (;;) Sleep(INFINITE);
}

BOOL WINAPI OnControl(DWORD event) {
  const int code = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 128 + 2 : 128 + 1;
  if (deferrals.load() > 0) {
    pendingExit.store(code);
    // The guarded work ends the program when it is done; a closed console
    // waits for this handler, so stay here until then.
    while (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(INFINITE);
    return TRUE;
  }
  EndWith(code);
}

}  // namespace

void InterruptGuard::Install(const char* prefix) {
  notePrefix[0] = '\0';
  std::strncat(notePrefix, prefix, sizeof notePrefix - 1);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

void InterruptGuard::ArmTemporary(const char* path) {
  temporaryArmed.store(0);
  const std::wstring wide = SystemPathOf(path);
  if (wide.size() >= sizeof temporaryPath / sizeof temporaryPath[0]) return;
  std::wmemcpy(temporaryPath, wide.c_str(), wide.size() + 1);
  temporaryArmed.store(1);
}

void InterruptGuard::DisarmTemporary() { temporaryArmed.store(0); }

InterruptGuard::Deferral::Deferral() { deferrals.fetch_add(1); }

InterruptGuard::Deferral::~Deferral() {
  if (deferrals.fetch_sub(1) == 1 && pendingExit.load() != 0) EndWith(pendingExit.load());
}

namespace {

// What the handler writes, as it writes it. A signal meanwhile waits, so that
// it never finds the note half made or, between two notes, none at all.
void Say(const std::string& line) {
  const InterruptGuard::Deferral hold;
  noteLength.store(0);
  const std::size_t length = std::min(line.size(), sizeof noteText);
  std::memcpy(noteText, line.data(), length);
  noteLength.store(static_cast<int>(length));
}

}  // namespace

InterruptGuard::Note::Note(const std::string& text)
    : before_(noteText, static_cast<std::size_t>(noteLength.load())) {
  Change(text);
}

InterruptGuard::Note::~Note() {
  if (!kept_ || before_.empty()) Say(before_);
}

void InterruptGuard::Note::Change(const std::string& text) {
  std::string line = notePrefix + text;
  line.resize(std::min(line.size(), sizeof noteText - 2));
  Say(line + "\r\n");
}
