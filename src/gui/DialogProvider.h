#pragma once

#include <QString>
#include <optional>
#include <string>

#include "surfaces/Surfaces.h"

class QWidget;

// The window's modal boxes and dialogs, behind one seam so that tests can
// answer every one of them without blocking.
class DialogProvider {
 public:
  virtual ~DialogProvider() = default;
  // The folder browser opens at start when it names a folder.
  virtual std::optional<std::string> BrowseForFolder(QWidget* parent, const QString& title,
                                                     const QString& start = QString()) = 0;
  virtual std::optional<std::string> OpenFile(QWidget* parent) = 0;
  virtual std::optional<std::string> SaveFile(QWidget* parent) = 0;
  // The save dialog of the comparison results, which offers CSV and JSON Lines too.
  virtual std::optional<ResultsFileChoice> SaveResultsFile(QWidget* parent) = 0;
  virtual ConfirmAnswer Confirm(QWidget* parent, const QString& question) = 0;
  virtual void ShowError(QWidget* parent, const QString& message) = 0;
  virtual void ShowAbout(QWidget* parent) = 0;
  // Shows a warning without waiting for it to be read: the command goes on.
  virtual void ShowWarning(QWidget* parent, const QString& message) = 0;
  // The exclude patterns, one a line, as the user edited them; nothing when
  // cancelled.
  virtual std::optional<QString> EditExcludePatterns(QWidget* parent, const QString& patterns) = 0;
};
