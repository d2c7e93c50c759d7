#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The right-click menu of a pane, alike in both windows: Copy the selected
// lines, Copy Path of what they name, Open Containing Folder of the line
// chosen last. An item with nothing to act on cannot be chosen.
class PaneMenu {
 public:
  struct Item {
    std::string caption;
    bool enabled = true;
  };
  // What choosing an item does: a text for the clipboard, or a folder to show.
  struct Outcome {
    std::string clipboard;
    std::optional<std::string> folder;
  };

  // The selected lines in pane order, and the one chosen last.
  PaneMenu(const std::vector<std::string_view>& selected, std::string_view current);
  const std::vector<Item>& Items() const { return items_; }
  // By the item's index; nothing for -1, the menu closed.
  Outcome Choose(int index) const;

 private:
  std::string lines_;
  std::string paths_;
  std::optional<std::string> folder_;
  std::vector<Item> items_;
};
