#include "WindowDuringWork.h"

#include <QMenu>
#include <QMenuBar>

// The window as a daily audit tool: stopping by mouse, a safe baseline, and
// the views that show what changed.
class WindowDaily : public WindowDuringWork {};

TEST_F(WindowDaily, StopsByAClickOnTheToolbarButtonOrTheEditMenu) {
  for (const bool byMenu : {false, true}) {
    OnFolder(2, [&] {
      if (!byMenu) {
        QTest::mouseClick(Button("ToolStopButton"), Qt::LeftButton);
        return;
      }
      QMenuBar* bar = window.menuBar();
      QMenu* edit = window.findChild<QMenu*>(QStringLiteral("Edit1"));
      QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(edit->menuAction()).center());
      ASSERT_TRUE(edit->isVisible());
      QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(window.Action(ActionId::EditStopAction)).center());
    });
    List();
    EXPECT_EQ(LastLine(), kListingStopped) << byMenu;
    EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 2 * kFilesEach + 1) << byMenu;
  }
}
