#pragma once

// Mouse clicks of the tests go through the window system, as a user's do,
// so that they meet every filter a real click meets.
#define QTEST_QPA_MOUSE_HANDLING

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QMessageBox>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "FakeFolderSearch.h"
#include "ScriptedDialogs.h"
#include "SkippingClock.h"
#include "gui/QtMainWindow.h"

inline constexpr const char* kListingStopped = "*** Listing stopped: incomplete, so it cannot be saved or compared ***";
inline constexpr int kFolders = 6;
inline constexpr int kFilesEach = 60;

// A run long enough to act in: six folders of sixty files, and a hook that
// runs when the search of a chosen folder starts. One reader, so that each
// folder is searched on the window's thread when the walk comes to it.
class WindowDuringWork : public ::testing::Test {
 protected:
  WindowDuringWork() : window(dialogs, search, QStringLiteral("/nonexistent/quillon-help.html")) {
    std::vector<FindData> root;
    for (int f = 0; f < kFolders; ++f) {
      root.push_back(FakeFolderSearch::Folder("f" + std::to_string(f)));
      std::vector<FindData> files;
      for (int i = 0; i < kFilesEach; ++i) files.push_back(FakeFolderSearch::File("file" + std::to_string(i), 10));
      search.AddFolder("/t/f" + std::to_string(f) + "/", FakeFolderSearch::WithDots(files));
    }
    search.AddFolder("/t/", FakeFolderSearch::WithDots(root));
    search.OnSearch = [this](const std::string& pattern) {
      const auto hook = hooks.find(pattern);
      if (hook != hooks.end()) hook->second();
    };
    window.Logic().SetReaders(1);
    window.show();
    QApplication::setActiveWindow(&window);
  }

  void List() {
    dialogs.Folders.push_back("/t");
    window.Action(ActionId::EditListContentAction)->trigger();
  }
  void OnFolder(int folder, std::function<void()> hook) {
    hooks["/t/f" + std::to_string(folder) + "/*.*"] = std::move(hook);
  }
  // Moves the window's clock past its repaint cadence, so its next poll paints.
  void SkipToTheNextPaint() { window.Skip(WorkSession::kRepaintInterval + WorkSession::kPumpInterval); }
  QToolButton* Button(const char* name) { return window.findChild<QToolButton*>(QString::fromLatin1(name)); }
  std::string LastLine() {
    const ListPane& pane = window.Model(PaneId::ListBox1)->Pane();
    return std::string(pane.LineAt(pane.Count() - 1));
  }
  static void PostClick(QWidget* target) {
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    const QPointF global = target->mapToGlobal(at);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
      QCoreApplication::postEvent(target, new QMouseEvent(type, at, global, Qt::LeftButton,
                                                          type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                           : Qt::NoButton,
                                                          Qt::NoModifier));
  }

  ScriptedDialogs dialogs;
  FakeFolderSearch search;
  std::map<std::string, std::function<void()>> hooks;
  SkippingClock<QtMainWindow> window;
};

