#pragma once

#include "app/ScreenRect.h"
#include "app/SettingsStore.h"

// The panes of a window that lays them out itself: ListBox1 and ListBox2 side
// by side over ListBox3, with the results bar at the top of ListBox3's part.
// The splitters between them keep their shares of the room as the window
// grows or shrinks, and the shares outlive the session. In pixels of a
// screen of dpi pixels per inch.
class PaneSplit {
 public:
  using Box = ScreenRect;
  struct Boxes {
    Box listBox1, listBox2, listBox3, resultsBar;
  };
  enum class Splitter { None, Beside, Above };  // between ListBox1 and 2; above ListBox3

  PaneSplit();
  void SetDpi(unsigned dpi) { dpi_ = dpi; }
  // In a client area of width by height, with a results bar of barHeight
  // (at 96 pixels per inch) when it shows.
  Boxes Place(int width, int height, int barHeight) const;
  Splitter At(int x, int y, int width, int height) const;
  // A splitter dragged to a point; no pane gets smaller than one pixel.
  void Drag(Splitter splitter, int x, int y, int width, int height);
  // A press on a splitter takes it, and the pointer drags it until the
  // release: Press is true when it took one, DragTo when one is dragged.
  bool Press(int x, int y, int width, int height) { return (held_ = At(x, y, width, height)) != Splitter::None; }
  bool DragTo(int x, int y, int width, int height) {
    Drag(held_, x, y, width, height);
    return held_ != Splitter::None;
  }
  bool Holds() const { return held_ != Splitter::None; }
  void Release() { held_ = Splitter::None; }
  void Read(const SettingsStore& store);
  void Write(const SettingsStore& store) const;

 private:
  int Scaled(int pixels) const;
  // The panes' room beside and above the splitters.
  int RoomWidth(int width) const;
  int RoomHeight(int height) const;

  unsigned dpi_ = 96;
  double list1Share_;  // ListBox1's of the panes' width
  double list3Share_;  // ListBox3's (with the results bar) of their height
  Splitter held_ = Splitter::None;
};
