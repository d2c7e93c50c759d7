#pragma once

#include <QPointer>
#include <QString>
#include <QTextBrowser>

// Shows the program's help file in a window of its own, beside the main
// window, and closes it when asked.
class HelpViewer {
 public:
  explicit HelpViewer(QString helpFile) : helpFile_(std::move(helpFile)) {}
  ~HelpViewer();
  HelpViewer(const HelpViewer&) = delete;
  HelpViewer& operator=(const HelpViewer&) = delete;

  // Opens the contents, or brings the open window forward.
  void ShowContents();
  void Quit();
  bool IsOpen() const;
  QTextBrowser* Window() const { return browser_; }

  // The help file installed with the program: beside the executable in the
  // build tree, or in the share folder next to its bin folder.
  static QString LocateHelpFile();

 private:
  QString helpFile_;
  QPointer<QTextBrowser> browser_;
};
