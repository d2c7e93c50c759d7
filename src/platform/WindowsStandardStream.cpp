#include "platform/WindowsApi.h"

#include "platform/StandardStream.h"

#include <algorithm>

namespace {

HANDLE HandleOf(StandardStream::Which which) {
  return GetStdHandle(which == StandardStream::Which::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

// The length of the text that ends on a whole UTF-8 sequence.
std::size_t WholeSequences(const std::string& text) {
  std::size_t end = text.size();
  for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (length > back) end = text.size() - back;
    break;
  }
  return end;
}

}  // namespace

StandardStream::StandardStream(Which which) : which_(which) {
  DWORD mode = 0;
  const HANDLE handle = HandleOf(which);
  console_ = handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
  // The progress line rewrites itself with the terminal's control sequences.
  if (console_) SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

bool StandardStream::Write(const char* data, std::size_t size) {
  const HANDLE handle = HandleOf(which_);
  if (!console_) {
    while (size > 0) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
      if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
      data += written;
      size -= written;
    }
    return true;
  }
  // A console shows characters, not bytes: the text goes to it as UTF-16.
  pending_.append(data, size);
  const std::size_t whole = WholeSequences(pending_);
  const std::wstring text = WideOf(std::string_view(pending_).substr(0, whole));
  pending_.erase(0, whole);
  for (std::size_t at = 0; at < text.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - at, 8192));
    DWORD written = 0;
    if (!WriteConsoleW(handle, text.data() + at, chunk, &written, nullptr) || written == 0) return false;
    at += written;
  }
  return true;
}
