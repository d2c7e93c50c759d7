#pragma once

#include <optional>

#include "app/ScreenRect.h"
#include "app/SettingsStore.h"

// The main window's normal frame and whether it was maximized, kept from one
// session to the next.
class WindowPlace {
 public:
  // What was kept: nothing when nothing was, or when the frame was empty.
  static std::optional<WindowPlace> Read(const SettingsStore& store);
  void Write(const SettingsStore& store) const;
  // The first frame of a window as laid out: centred on the screen's work
  // area, and never larger, as on a small screen at a large scale.
  static ScreenRect Centred(const ScreenRect& work, int width, int height);

  ScreenRect frame;
  bool maximized = false;
};
