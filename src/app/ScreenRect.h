#pragma once

// A rectangle of the screen or of a window's client area, in pixels.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};
