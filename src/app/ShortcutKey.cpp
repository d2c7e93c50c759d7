#include "app/ShortcutKey.h"

ShortcutKey ShortcutKey::Parse(std::string_view text) {
  ShortcutKey shortcut;
  for (auto plus = text.find('+'); plus != std::string_view::npos; plus = text.find('+')) {
    const std::string_view modifier = text.substr(0, plus);
    shortcut.ctrl = shortcut.ctrl || modifier == "Ctrl";
    shortcut.shift = shortcut.shift || modifier == "Shift";
    shortcut.alt = shortcut.alt || modifier == "Alt";
    text.remove_prefix(plus + 1);
  }
  // A function key: "F" and one or two digits.
  int number = -1;
  if (text.size() >= 2 && text.size() <= 3 && text[0] == 'F') {
    number = 0;
    for (const char c : text.substr(1)) number = c >= '0' && c <= '9' && number >= 0 ? number * 10 + (c - '0') : -1;
  }
  if (text == "Esc") {
    shortcut.kind = Kind::Escape;
  } else if (number >= 1 && number <= 24) {
    shortcut.kind = Kind::Function;
    shortcut.key = number;
  } else if (text.size() == 1) {
    shortcut.kind = Kind::Character;
    shortcut.key = static_cast<unsigned char>(text[0]);
  }
  return shortcut;
}
