#pragma once

// Where the help window goes beside the main window, in both windows: right
// of it, else left of it, else centred on it; always on the screen's free
// area, its title bar never above it.
class HelpPlace {
 public:
  struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
  };
  // The help window's frame of width and height for the owner's frame.
  static Rect Beside(const Rect& owner, int width, int height, const Rect& screen);
};
