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
