#pragma once

#include <string>
#include <string_view>

#include "surfaces/TextForDisplay.h"
#include "platform/WindowsApi.h"

// A line or a message of the program as the wide calls show it: UTF-8, or
// Windows-1252 for bytes that are not UTF-8.
inline std::wstring Shown(std::string_view text) {
  const std::u16string wide = TextForDisplay::Of(text);
  return std::wstring(wide.begin(), wide.end());
}

// Pixels at 96 pixels per inch on a screen of dpi pixels per inch.
inline int Scaled(int pixels, unsigned dpi) { return MulDiv(pixels, static_cast<int>(dpi), 96); }
