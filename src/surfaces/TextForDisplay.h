#pragma once

#include <string>
#include <string_view>

// The text a line of bytes is shown as, in UTF-16 as every window system
// takes it. A line that is valid UTF-8 is read as UTF-8; any other line comes
// from a listing made on Windows and is read as Windows-1252. Only the showing
// changes: the bytes themselves stay as they are.
class TextForDisplay {
 public:
  static std::u16string Of(std::string_view bytes);
  static std::u16string FromWindows1252(std::string_view bytes);
  // Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
  static bool IsValidUtf8(std::string_view bytes);
};
