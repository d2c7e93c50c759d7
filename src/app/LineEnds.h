#pragma once

#include <string>
#include <string_view>

// Lines as the program keeps them (ending with LF) and as Windows controls
// and the clipboard want them (ending with CR LF).
class LineEnds {
 public:
  // Every LF not already after a CR gets one.
  static std::string WithCrLf(std::string_view text);
  // Every CR goes.
  static std::string WithoutCr(std::string_view text);
};
