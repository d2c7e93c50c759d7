#pragma once

#include <QStringList>
#include <memory>

#include "gui/DialogProvider.h"

class QFileDialog;

// The real dialogs. The open and the save dialog each remember the name and
// file type last chosen in them; the results' dialog remembers the folder
// and type only. Each file dialog and the folder browser start in the
// user's home folder, and then where they were used last.
class QtDialogProvider : public DialogProvider {
 public:
  QtDialogProvider();
  ~QtDialogProvider() override;

  std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) override;
  std::optional<std::string> OpenFile() override;
  std::optional<std::string> SaveFile() override;
  std::optional<std::string> ChooseKeyFile(std::string_view title) override;
  std::optional<ResultsFileChoice> SaveResultsFile() override;
  ConfirmAnswer Confirm(std::string_view question) override;
  void ShowError(std::string_view message) override;
  void ShowAbout() override;
  void ShowWarning(std::string_view message) override;
  std::optional<std::string> EditExcludePatterns(const std::string& patterns) override;
  bool OpenFolder(const std::string& folder) override;

  // The file types a file dialog offers, the first selected at first; the
  // results' dialog offers CSV and JSON Lines too.
  static QStringList FileTypes(bool results = false);

 private:
  // What the next run of a dialog proposes: the name chosen now, or nothing
  // in the folder that holds it, or nothing in the folder chosen now.
  enum class Next { SameName, SameFolder, InFolder };
  std::optional<std::string> Run(QFileDialog& dialog, Next next = Next::SameName);

  std::unique_ptr<QFileDialog> open_;
  std::unique_ptr<QFileDialog> save_;
  std::unique_ptr<QFileDialog> results_;
  std::unique_ptr<QFileDialog> browse_;
};
