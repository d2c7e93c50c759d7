#pragma once

#include <string>
#include <vector>

#include "ScriptedAnswers.h"
#include "win/WinDialogs.h"

// The Win32 window's dialogs, answered as a test scripts them, with the
// right-click menu and the file manager besides.
class ScriptedWinDialogs : public ScriptedAnswers<WinDialogs> {
 public:
  int PopupMenu(POINT, const std::vector<MenuItem>& items) override {
    Offered = items;
    return MenuChoice;
  }
  void OpenFolder(const std::string& folder) override { OpenedFolders.push_back(folder); }

  std::vector<std::string> OpenedFolders;
  std::vector<MenuItem> Offered;  // by the last right-click menu
  int MenuChoice = -1;
};
