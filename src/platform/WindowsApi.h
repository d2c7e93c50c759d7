#pragma once

// The Windows headers as the platform layer uses them: wide calls only, and
// without the macros that would rename the folder search's own operations.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef FindFirstFile
#undef FindNextFile

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/WideText.h"

// UTF-8 text as the wide calls take it, and back.
inline std::wstring WideOf(std::string_view text) {
  const std::u16string wide = WideText::ToUtf16(text);
  return std::wstring(wide.begin(), wide.end());
}
inline std::string NarrowOf(std::wstring_view text) {
  return WideText::ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
// A path as the file calls take it, free of the 260-character limit.
inline std::wstring SystemPathOf(const std::string& path) { return WideOf(WideText::ExtendedLength(path)); }

// A file time (100-nanosecond ticks since 1601-01-01 UTC) as seconds and
// nanoseconds since 1970-01-01 UTC.
inline void UnixTimeOf(const FILETIME& time, std::int64_t& seconds, std::uint32_t& nanoseconds) {
  constexpr std::int64_t kUnixEpochTicks = 116444736000000000LL;
  constexpr std::int64_t kTicksPerSecond = 10000000;
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) -
      kUnixEpochTicks;
  seconds = ticks / kTicksPerSecond;
  std::int64_t rest = ticks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  nanoseconds = static_cast<std::uint32_t>(rest * 100);
}
