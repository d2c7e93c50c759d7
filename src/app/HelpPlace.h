#pragma once

#include "app/ScreenRect.h"

// Where the help window goes beside the main window, in both windows: right
// of it, else left of it, else centred on it; always on the screen's free
// area, its title bar never above it.
class HelpPlace {
 public:
  using Rect = ScreenRect;
  // The help window's frame of width and height for the owner's frame.
  static Rect Beside(const Rect& owner, int width, int height, const Rect& screen);
};
