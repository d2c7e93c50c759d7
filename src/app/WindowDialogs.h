#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "surfaces/Surfaces.h"

// The window's modal boxes and dialogs, as the controller asks for them:
// each window shows them with its toolkit over itself, and tests answer them
// without blocking. Paths come back as the bytes the file system knows them by.
class WindowDialogs {
 public:
  virtual ~WindowDialogs() = default;
  // The folder browser opens at start when it names a folder.
  virtual std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) = 0;
  virtual std::optional<std::string> OpenFile() = 0;
  virtual std::optional<std::string> SaveFile() = 0;
  // The save dialog of the comparison results, which offers CSV and JSON Lines too.
  virtual std::optional<ResultsFileChoice> SaveResultsFile() = 0;
  // A key file of any name, for signing listings or checking their signatures.
  virtual std::optional<std::string> ChooseKeyFile(std::string_view title) = 0;
  virtual ConfirmAnswer Confirm(std::string_view question) = 0;
  virtual void ShowError(std::string_view message) = 0;
  // Shows a warning without waiting for it to be read: the command goes on.
  virtual void ShowWarning(std::string_view message) = 0;
  virtual void ShowAbout() = 0;
  // The exclude patterns, one a line, as the user edited them; nothing when
  // cancelled.
  virtual std::optional<std::string> EditExcludePatterns(const std::string& patterns) = 0;
  // Shows a folder in the system's file manager: false when none took it.
  virtual bool OpenFolder(const std::string& folder) = 0;
};
