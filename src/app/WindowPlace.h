#pragma once

#include <optional>

#include "app/ScreenRect.h"
#include "app/SettingsStore.h"

// The main window's normal frame and whether it was maximized, kept from one
// session to the next. The frame's place is in the screen's pixels; its size
// is kept at 96 pixels per inch, so that a window keeps its size on a screen
// of another scale.
class WindowPlace {
 public:
  // What was kept, sized for a screen of dpi pixels per inch: nothing when
  // nothing was, or when the frame was empty. A size kept by an older version
  // of the program, in the pixels of its screen, is taken as it is.
  static std::optional<WindowPlace> Read(const SettingsStore& store, unsigned dpi);
  // Keeps a frame measured on a screen of dpi pixels per inch.
  void Write(const SettingsStore& store, unsigned dpi) const;
  // The first frame of a window as laid out: centred on the screen's work
  // area, and never larger, as on a small screen at a large scale.
  static ScreenRect Centred(const ScreenRect& work, int width, int height);

  ScreenRect frame;
  bool maximized = false;
};
