#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "surfaces/Surfaces.h"
#include "platform/WindowsApi.h"

// The window's modal boxes and dialogs, behind one seam so that tests can
// answer every one of them without blocking. Paths come back as the
// program's UTF-8.
class WinDialogs {
 public:
  virtual ~WinDialogs() = default;
  virtual std::optional<std::string> BrowseForFolder(HWND owner, std::string_view title) = 0;
  virtual std::optional<std::string> OpenFile(HWND owner) = 0;
  virtual std::optional<std::string> SaveFile(HWND owner) = 0;
  virtual ConfirmAnswer Confirm(HWND owner, std::string_view question) = 0;
  virtual void ShowError(HWND owner, std::string_view message) = 0;
  virtual void ShowWarning(HWND owner, std::string_view message) = 0;
  virtual void ShowAbout(HWND owner) = 0;
  // The exclude patterns, one a line, as the user edited them; nothing when
  // cancelled.
  virtual std::optional<std::string> EditExcludePatterns(HWND owner, const std::string& patterns) = 0;
};
