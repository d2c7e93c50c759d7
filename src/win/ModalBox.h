#pragma once

#include <optional>
#include <string>

#include "platform/WindowsApi.h"

// The program's own modal boxes, laid out in pixels at 96 pixels per inch and
// scaled to the owner's screen: the about box and the exclude-patterns box.
class ModalBox {
 public:
  static void About(HWND owner);
  // The patterns as edited, lines ending with "\n"; nothing when cancelled.
  static std::optional<std::string> ExcludePatterns(HWND owner, const std::string& patterns);
};
