#include "cli/HeadlessSurfaces.h"

void HeadlessSurfaces::StatusSetPanelText(int panel, std::string_view text) {
  std::string& current = panels_.at(static_cast<std::size_t>(panel));
  // An unchanged text costs nothing: the comparison sets panel 3 once a line.
  if (current != text) current.assign(text);
}
