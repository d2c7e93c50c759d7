#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/UnreadableList.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"

// The five status panels as the commands set them, and what shows in their
// place for a while: a run's figures in panels 0 to 3, a hint in panel 4.
// It draws through the window's own panel operation.
class StatusPanels {
 public:
  StatusPanels(WindowView& window, WindowPort& port) : window_(window), port_(port) {}

  // A text from a command. Panel 4 gets one only at the end of a listing
  // run, the count of what could not be read: its tooltip names them.
  void Set(int panel, std::string_view text);
  const std::string& Text(int panel) const { return texts_.at(static_cast<std::size_t>(panel)); }
  // What panel 4 shows: a hint while it lasts, else the command's text.
  std::string_view Shown4() const { return hintShown_ ? hint_ : texts_[4]; }
  // What the running command could not read.
  UnreadableList& Unreadable() { return unreadable_; }

  // A hint in panel 4 while it lasts; an empty one ends it, and the
  // command's text, such as the count of unreadable items, comes back.
  void ShowHint(std::string_view text);
  // Panel 4 changed its size: a hint too long for it is its tooltip.
  void HintRoomChanged();

  // The figures of a run in place of panels 0 to 3, until EndFigures.
  void ShowFigures(const std::array<std::string, 4>& texts, const std::string& rateTip);
  void EndFigures();

 private:
  void Draw(int panel, std::string_view text);
  void SetTip(int panel, const std::string& tip);

  WindowView& window_;
  WindowPort& port_;
  std::array<std::string, 5> texts_;
  std::array<std::string, 5> tips_;
  std::string hint_;
  bool hintShown_ = false;
  std::string unreadableTip_;  // what could not be read, panel 4's tooltip
  bool figuresShown_ = false;
  UnreadableList unreadable_;
};
