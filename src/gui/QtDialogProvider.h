#pragma once

#include <memory>

#include "gui/DialogProvider.h"

class QFileDialog;

// The real dialogs. The open and the save dialog each remember the name and
// file type last chosen in them; Save As and Save Comparison Results share
// the one save dialog. Each file dialog and the folder browser start in the
// user's home folder, and then where they were used last.
class QtDialogProvider : public DialogProvider {
 public:
  QtDialogProvider();
  ~QtDialogProvider() override;

  std::optional<std::string> BrowseForFolder(QWidget* parent, const QString& title,
                                             const QString& start = QString()) override;
  std::optional<std::string> OpenFile(QWidget* parent) override;
  std::optional<std::string> SaveFile(QWidget* parent) override;
  std::optional<std::string> ChooseKeyFile(QWidget* parent, const QString& title) override;
  std::optional<ResultsFileChoice> SaveResultsFile(QWidget* parent) override;
  ConfirmAnswer Confirm(QWidget* parent, const QString& question) override;
  void ShowError(QWidget* parent, const QString& message) override;
  void ShowAbout(QWidget* parent) override;
  void ShowWarning(QWidget* parent, const QString& message) override;
  std::optional<QString> EditExcludePatterns(QWidget* parent, const QString& patterns) override;

  // The file types a file dialog offers, the first selected at first; the
  // results' dialog offers CSV and JSON Lines too.
  static QStringList FileTypes(bool results = false);

 private:
  std::optional<std::string> Run(QFileDialog& dialog, QWidget* parent);

  std::unique_ptr<QFileDialog> open_;
  std::unique_ptr<QFileDialog> save_;
  std::unique_ptr<QFileDialog> results_;
  std::unique_ptr<QFileDialog> browse_;
};
