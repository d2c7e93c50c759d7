#pragma once

#include <string_view>

// A shortcut of the action table ("Ctrl+Shift+S", "F3", "Esc") as its
// modifiers and its key, for a toolkit that reads no key names.
struct ShortcutKey {
  enum class Kind { None, Character, Function, Escape };

  // Kind::None for a name it does not know.
  static ShortcutKey Parse(std::string_view text);

  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  Kind kind = Kind::None;
  int key = 0;  // the character, or the function key's number from 1
};
