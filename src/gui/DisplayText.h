#pragma once

#include <QString>
#include <string_view>

// The text a line of bytes is shown as. A line that is valid UTF-8 is read as
// UTF-8; any other line comes from a listing made on Windows and is read as
// Windows-1252. Only the showing changes: the bytes themselves stay as they are.
class DisplayText {
 public:
  static QString Of(std::string_view bytes);
  static QString FromWindows1252(std::string_view bytes);
};
