#pragma once

#include <QPointer>
#include <QString>
#include <QTextBrowser>

// Shows the program's help file in a window of its own, beside the main
// window, and closes it when asked: by the program, or by the user with its
// Close button, Escape or Ctrl+W, with or without a window manager.
class HelpViewer {
 public:
  explicit HelpViewer(QString helpFile) : helpFile_(std::move(helpFile)) {}
  ~HelpViewer();
  HelpViewer(const HelpViewer&) = delete;
  HelpViewer& operator=(const HelpViewer&) = delete;

  // Opens the contents beside owner, or centred on it where there is no room
  // beside it; or brings the open window forward.
  void ShowContents(const QWidget* owner = nullptr);
  void Quit();
  bool IsOpen() const;
  QWidget* Frame() const { return frame_; }
  QTextBrowser* Window() const { return browser_; }

  // The help file installed with the program: beside the executable in the
  // build tree, or in the share folder next to its bin folder.
  static QString LocateHelpFile();

 private:
  QString helpFile_;
  QPointer<QWidget> frame_;
  QPointer<QTextBrowser> browser_;
};
