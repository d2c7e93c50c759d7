#pragma once

#include <vector>

#include "win/WinDialogs.h"

// The system's common dialogs, the shell's folder browser and message boxes,
// and the program's own about box and exclude-patterns box.
class SystemDialogs : public WinDialogs {
 public:
  SystemDialogs();

  std::optional<std::string> BrowseForFolder(HWND owner, std::string_view title) override;
  std::optional<std::string> OpenFile(HWND owner) override;
  std::optional<std::string> SaveFile(HWND owner) override;
  ConfirmAnswer Confirm(HWND owner, std::string_view question) override;
  void ShowError(HWND owner, std::string_view message) override;
  void ShowWarning(HWND owner, std::string_view message) override;
  void ShowAbout(HWND owner) override;
  std::optional<std::string> EditExcludePatterns(HWND owner, const std::string& patterns) override;

  // The filter of both file dialogs: name, NUL, pattern, NUL, ..., NUL.
  static std::wstring Filter();

 private:
  // Each file dialog remembers the name and the type last chosen in it.
  struct FileDialogState {
    std::vector<wchar_t> name;
    DWORD typeIndex = 1;
  };
  std::optional<std::string> RunFileDialog(HWND owner, FileDialogState& state, bool save);

  FileDialogState open_;
  FileDialogState save_;
  std::wstring lastFolder_;
};
