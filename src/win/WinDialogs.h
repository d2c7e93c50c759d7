#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/PaneMenu.h"
#include "surfaces/Surfaces.h"
#include "platform/WindowsApi.h"

// The window's modal boxes and dialogs, behind one seam so that tests can
// answer every one of them without blocking. Paths come back as the
// program's UTF-8.
class WinDialogs {
 public:
  virtual ~WinDialogs() = default;
  // The folder browser opens at start when it names a folder.
  virtual std::optional<std::string> BrowseForFolder(HWND owner, std::string_view title, const std::string& start) = 0;
  virtual std::optional<std::string> OpenFile(HWND owner) = 0;
  virtual std::optional<std::string> SaveFile(HWND owner) = 0;
  // The save dialog of the comparison results, which offers CSV and JSON Lines too.
  virtual std::optional<ResultsFileChoice> SaveResultsFile(HWND owner) = 0;
  virtual ConfirmAnswer Confirm(HWND owner, std::string_view question) = 0;
  virtual void ShowError(HWND owner, std::string_view message) = 0;
  virtual void ShowWarning(HWND owner, std::string_view message) = 0;
  virtual void ShowAbout(HWND owner) = 0;
  // The exclude patterns, one a line, as the user edited them; nothing when
  // cancelled.
  virtual std::optional<std::string> EditExcludePatterns(HWND owner, const std::string& patterns) = 0;

  // A right-click menu at a point of the screen: the items' captions and
  // whether each can be chosen; the index of the one chosen, or -1.
  using MenuItem = PaneMenu::Item;
  virtual int PopupMenu(HWND owner, POINT at, const std::vector<MenuItem>& items) = 0;
  // Shows a folder in the system's file manager.
  virtual void OpenFolder(HWND owner, const std::string& folder) = 0;
};
