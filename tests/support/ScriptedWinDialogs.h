#pragma once

#include <string>
#include <vector>

#include "ScriptedAnswers.h"
#include "win/WinDialogs.h"

// The Win32 window's dialogs, answered as a test scripts them, with the
// right-click menu besides.
class ScriptedWinDialogs : public ScriptedAnswers<WinDialogs> {
 public:
  int PopupMenu(POINT, const std::vector<MenuItem>& items) override {
    Offered = items;
    return MenuChoice;
  }
  std::vector<MenuItem> Offered;  // by the last right-click menu
  int MenuChoice = -1;
};
