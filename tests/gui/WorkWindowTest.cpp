#include "WindowDuringWork.h"

TEST_F(WindowDuringWork, ShowsLinesAndFiguresAsTheyComeAndFollowsTheEndUntilScrolled) {
  QListView* view = window.PaneView(PaneId::ListBox1);
  QScrollBar* bar = view->verticalScrollBar();
  int rowsMidway = 0;
  QString filesMidway;
  bool stopEnabled = false, followed = false;
  OnFolder(2, [&] { SkipToTheNextPaint(); });
  OnFolder(3, [&] {
    rowsMidway = view->model()->rowCount();
    filesMidway = window.Panel(0)->text();
    stopEnabled = window.Action(ActionId::EditStopAction)->isEnabled();
    followed = bar->maximum() > 0 && bar->value() == bar->maximum();
    bar->setValue(0);  // the user scrolls back to the top
  });
  List();
  EXPECT_EQ(rowsMidway, 2 * kFilesEach);
  EXPECT_EQ(filesMidway, QStringLiteral("Files = %1").arg(2 * kFilesEach));
  EXPECT_TRUE(stopEnabled);
  EXPECT_TRUE(followed);
  EXPECT_EQ(bar->value(), 0);  // it stays where the user put it
  // At the end the panels show their own texts again.
  EXPECT_EQ(window.Panel(0)->text(), QStringLiteral("Files = %1").arg(kFolders * kFilesEach));
  EXPECT_EQ(window.Panel(2)->text(), QStringLiteral("Total = 3,600 Bytes"));
  EXPECT_FALSE(window.Action(ActionId::EditStopAction)->isEnabled());
}

TEST_F(WindowDuringWork, StopsOnEscapeOrTheStopButtonAndKeepsTheLinesFoundSoFar) {
  for (const bool byButton : {false, true}) {
    OnFolder(2, [&] {
      if (byButton) {
        QTest::mouseClick(Button("ToolStopButton"), Qt::LeftButton);
      } else {
        QTest::keyClick(&window, Qt::Key_Escape);
      }
    });
    List();
    EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 2 * kFilesEach + 1) << byButton;
    EXPECT_EQ(LastLine(), kListingStopped) << byButton;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(window.ActionEnabled(ActionId::FileSaveAction));
  }
}

TEST_F(WindowDuringWork, AWarningShownDuringARunCanBeDismissedAtOnce) {
  bool closedDuringRun = false;
  OnFolder(2, [&] {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Quillon"), QStringLiteral("warning"),
                                QMessageBox::Ok, &window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    closedDuringRun = window.findChildren<QMessageBox*>().isEmpty() || !box->isVisible();
  });
  List();
  EXPECT_TRUE(closedDuringRun);
  EXPECT_EQ(LastLine(), "Number of Files = 360  Number of Folders = 6  Total Size = 3,600 Bytes");
}

TEST_F(WindowDuringWork, DropsClicksAndKeysMadeDuringARunInsteadOfReplayingThem) {
  // Outside a run the posted click is a click on New.
  List();
  PostClick(Button("ToolNewButton"));
  QApplication::processEvents();
  ASSERT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 0);

  dialogs.OpenNames.push_back("/nonexistent/old.qln");
  OnFolder(2, [&] {
    PostClick(Button("ToolNewButton"));
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    QTest::mouseClick(window.Md5CheckBox(), Qt::LeftButton);
    QTest::mouseClick(window.PaneView(PaneId::ListBox1)->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  });
  List();
  QApplication::processEvents();
  ASSERT_EQ(window.Model(PaneId::ListBox1)->rowCount(), kFolders * kFilesEach + kFolders + 3);
  EXPECT_EQ(LastLine(), "Number of Files = 360  Number of Folders = 6  Total Size = 3,600 Bytes");
  EXPECT_EQ(dialogs.OpenNames.size(), 1u);  // no Open dialog
  EXPECT_FALSE(window.Md5CheckBox()->isChecked());
  EXPECT_EQ(window.NonViewEdit()->text(), QString());
}
