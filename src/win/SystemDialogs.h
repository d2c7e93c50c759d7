#pragma once

#include <vector>

#include "win/WinDialogs.h"

// The system's common dialogs, the shell's folder browser and message boxes,
// and the program's own about box and exclude-patterns box.
class SystemDialogs : public WinDialogs {
 public:
  SystemDialogs();

  std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) override;
  std::optional<std::string> OpenFile() override;
  std::optional<std::string> SaveFile() override;
  std::optional<ResultsFileChoice> SaveResultsFile() override;
  std::optional<std::string> ChooseKeyFile(std::string_view title) override;
  ConfirmAnswer Confirm(std::string_view question) override;
  void ShowError(std::string_view message) override;
  void ShowWarning(std::string_view message) override;
  void ShowAbout() override;
  std::optional<std::string> EditExcludePatterns(const std::string& patterns) override;
  int PopupMenu(POINT at, const std::vector<MenuItem>& items) override;
  bool OpenFolder(const std::string& folder) override;

  // The filter of the file dialogs: name, NUL, pattern, NUL, ..., NUL; the
  // results' dialog offers CSV and JSON Lines after the listing's types.
  static std::wstring Filter(bool results = false);
  // The form of the results by the filter's index, from 1.
  static ResultsFormat FormatOf(DWORD typeIndex);

 private:
  // Each file dialog remembers the name and the type last chosen in it.
  struct FileDialogState {
    std::vector<wchar_t> name;
    DWORD typeIndex = 1;
  };
  std::optional<std::string> RunFileDialog(FileDialogState& state, bool save, bool results = false);

  FileDialogState open_;
  FileDialogState save_;
  FileDialogState results_;
  FileDialogState key_;
  std::wstring lastFolder_;
};
