#pragma once

#include <string>

#include "platform/WindowsApi.h"

// Shows the program's help, built into the program, as text in a window of
// its own that Escape or Ctrl+W closes; the main window stays usable.
class WinHelpWindow {
 public:
  WinHelpWindow() = default;
  ~WinHelpWindow() { Quit(); }
  WinHelpWindow(const WinHelpWindow&) = delete;
  WinHelpWindow& operator=(const WinHelpWindow&) = delete;

  // Opens it beside owner, or brings the open window forward.
  void ShowContents(HWND owner);
  void Quit();
  bool IsOpen() const { return frame_ != nullptr; }
  HWND Frame() const { return frame_; }
  HWND TextBox() const { return text_; }
  // The help's text as the window shows it.
  static std::wstring Text();
  // Takes the keys that close the window; true when msg was one of them.
  bool PreTranslate(const MSG& msg);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Tab stops past the widest cell of each column of the help's tables.
  void LineUpColumns(const std::wstring& text);

  HWND frame_ = nullptr;
  HWND text_ = nullptr;
  HFONT font_ = nullptr;
};
