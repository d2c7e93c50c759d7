#include "app/PaneMenu.h"

#include "app/PaneText.h"
#include "app/WindowLayout.h"

PaneMenu::PaneMenu(const std::vector<std::string_view>& selected, std::string_view current)
    : lines_(PaneText::Joined(selected)),
      paths_(PaneText::Paths(selected)),
      folder_(PaneText::ContainingFolder(current)),
      items_{{WindowLayout::kPaneMenuItems[0], true},
             {WindowLayout::kPaneMenuItems[1], !paths_.empty()},
             {WindowLayout::kPaneMenuItems[2], folder_.has_value()}} {}

PaneMenu::Outcome PaneMenu::Choose(int index) const {
  switch (index) {
    case 0:
      return {lines_, std::nullopt};
    case 1:
      return {paths_, std::nullopt};
    case 2:
      return {std::string(), folder_};
    default:
      return {};
  }
}
