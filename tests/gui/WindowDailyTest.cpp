#include "WindowDuringWork.h"

#include <QMenu>
#include <QMenuBar>
#include <QRawFont>
#include <QScreen>
#include <QSettings>
#include <QClipboard>
#include <QTimer>

#include "TestSupport.h"
#include "app/PaneText.h"

// The window as a daily audit tool: stopping by mouse, a safe baseline, and
// the views that show what changed.
class WindowDaily : public WindowDuringWork {
 protected:
  void Trigger(ActionId id) { window.Action(id)->trigger(); }
  // Lists /t, saves the listing as a baseline and changes the tree since:
  // file0 goes, file1 grows and new comes.
  std::string Baseline() {
    List();
    dialogs.SaveNames.push_back(tree.Path("base.qln"));
    Trigger(ActionId::FileSaveAction);
    std::vector<FindData> files;
    for (int i = 1; i < kFilesEach; ++i) files.push_back(FakeFolderSearch::File("file" + std::to_string(i), i == 1 ? 11 : 10));
    files.push_back(FakeFolderSearch::File("new", 10));
    search.AddFolder("/t/f0/", FakeFolderSearch::WithDots(files));
    return tree.Path("base.qln");
  }
  void CompareFolder(const std::string& listing) {
    dialogs.OpenNames.push_back(listing);
    dialogs.Folders.push_back("/t");
    Trigger(ActionId::EditCompareFolderAction);
  }
  std::vector<std::string> Results() {
    std::vector<std::string> lines;
    const ListPane& pane = window.Model(PaneId::ListBox3)->Pane();
    for (int i = 0; i < pane.Count(); ++i) lines.emplace_back(pane.LineAt(i));
    return lines;
  }
  void ClickRow(PaneId pane, int row, Qt::KeyboardModifiers keys = {}) {
    QListView* view = window.PaneView(pane);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, keys, view->visualRect(view->model()->index(row, 0)).center());
  }

  TempTree tree;
};

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


TEST_F(WindowDaily, ComparesAFolderWithItsBaselineInOneStep) {
  const std::string base = Baseline();
  Trigger(ActionId::FileNewAction);
  CompareFolder(base);
  EXPECT_EQ(dialogs.Starts.back(), "/t/");  // the folder at the top of the listing
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label2"))->text().toStdString(), "Loaded File: " + base);
  const std::vector<std::string> results = Results();
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].substr(0, 9) + results[1].substr(0, 10) + results[2].substr(0, 7), "Deleted: Modified: Added: ");
  EXPECT_EQ(window.Panel(3)->text(), QStringLiteral("1 modified, 1 deleted, 1 added"));
  EXPECT_EQ(window.Action(ActionId::EditCompareFolderAction)->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
}

TEST_F(WindowDaily, SaveOverTheOpenedBaselineAsksAndSaveAsIsReachable) {
  const std::string base = Baseline();
  const std::string saved = tree.Read("base.qln");
  dialogs.OpenNames.push_back(base);
  Trigger(ActionId::FileOpenAction);
  List();
  dialogs.Answers.push_back(ConfirmAnswer::No);
  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(dialogs.Questions.back(), "OK to overwrite " + base);
  EXPECT_EQ(tree.Read("base.qln"), saved);
  QAction* saveAs = window.Action(ActionId::FileSaveAsAction);
  EXPECT_TRUE(saveAs->isVisible() && saveAs->isEnabled());
  EXPECT_EQ(saveAs->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
  EXPECT_TRUE(window.findChild<QMenu*>(QStringLiteral("File1"))->actions().contains(saveAs));
}

TEST_F(WindowDaily, ClearsResultsThatNoLongerDescribeTheListings) {
  CompareFolder(Baseline());
  ASSERT_FALSE(Results().empty());
  List();
  EXPECT_TRUE(Results().empty());
  EXPECT_EQ(window.Panel(3)->text(), QString());
  EXPECT_FALSE(window.ActionEnabled(ActionId::FileSaveResultAction));
  Trigger(ActionId::EditCompareContentAction);
  ASSERT_FALSE(Results().empty());
  Trigger(ActionId::FileNewAction);
  EXPECT_EQ(window.Panel(3)->text(), QString());
  // A stopped listing keeps its counts, marked as partial.
  OnFolder(2, [&] { QTest::keyClick(&window, Qt::Key_Escape); });
  List();
  EXPECT_EQ(window.Panel(0)->text(), QStringLiteral("Files = %1 (partial)").arg(2 * kFilesEach));
}

TEST_F(WindowDaily, FiltersResultsByKindShowsTheOldLineAndSavesEverything) {
  CompareFolder(Baseline());
  ASSERT_EQ(window.KindToggle(ChangeKind::Deleted)->text(), QStringLiteral("Deleted (1)"));
  EXPECT_EQ(window.KindToggle(ChangeKind::Moved)->text(), QStringLiteral("Moved (0)"));
  QTest::mouseClick(window.KindToggle(ChangeKind::Modified), Qt::LeftButton);
  QTest::mouseClick(window.KindToggle(ChangeKind::Added), Qt::LeftButton);
  PaneModel* model = window.Model(PaneId::ListBox3);
  ASSERT_EQ(model->rowCount(), 1);
  EXPECT_TRUE(model->data(model->index(0, 0)).toString().startsWith(QStringLiteral("Deleted: ")));
  // A click on the one line shown is a click on that line of the results.
  ClickRow(PaneId::ListBox3, 0);
  EXPECT_TRUE(window.NonViewEdit()->text().startsWith(QStringLiteral("Deleted: ")));

  QTest::mouseClick(window.KindToggle(ChangeKind::Modified), Qt::LeftButton);
  ClickRow(PaneId::ListBox3, 1);
  EXPECT_TRUE(window.OldLineView()->text().contains(QStringLiteral("<b style=\"color:#d00000\">0000000010</b>")));
  EXPECT_EQ(window.OldLineView()->toolTip(), QStringLiteral("Changed: size"));

  dialogs.SaveNames.push_back(tree.Path("results.txt"));
  Trigger(ActionId::FileSaveResultAction);
  EXPECT_EQ(SplitCrLf(tree.Read("results.txt")).size(), 3u);
}

TEST_F(WindowDaily, ExportsResultsAsCsvAndCopiesManySelectedLines) {
  CompareFolder(Baseline());
  dialogs.ResultsFormats = {ResultsFormat::Csv};
  dialogs.SaveNames.push_back(tree.Path("results.csv"));
  Trigger(ActionId::FileSaveResultAction);
  const std::vector<std::string> rows = SplitCrLf(tree.Read("results.csv"));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].substr(0, 19), "change,path,size,da");
  EXPECT_EQ(rows[2].substr(0, 21), "modified,/t/f0/file1,");
  ClickRow(PaneId::ListBox3, 0);
  ClickRow(PaneId::ListBox3, 2, Qt::ControlModifier);
  ASSERT_EQ(window.SelectedRows(PaneId::ListBox3).size(), 2u);
  // A right click offers Copy Path, which copies the paths of both lines.
  QStringList offered;
  QTimer::singleShot(0, &window, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) offered << action->text();
    menu->actions().at(1)->trigger();
    menu->close();
  });
  QListView* view = window.PaneView(PaneId::ListBox3);
  QTest::mouseClick(view->viewport(), Qt::RightButton, {}, view->visualRect(view->model()->index(2, 0)).center());
  EXPECT_EQ(offered.join(QLatin1Char('|')), QStringLiteral("&Copy|Copy &Path|&Open Containing Folder"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/t/f0/file0\n/t/f0/new\n"));
}

TEST_F(WindowDaily, FindsInThePaneWithTheFocusAndStepsWithF3) {
  List();
  window.PaneView(PaneId::ListBox1)->setFocus();
  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(window.FindBar()->isVisible());
  EXPECT_EQ(window.FindBar()->parentWidget(), window.PaneView(PaneId::ListBox1));
  QTest::keyClicks(window.FindEdit(), QStringLiteral("FILE7"));
  window.FinishFind();
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("1 of %1").arg(kFolders));
  EXPECT_EQ(window.Controller().PaneSelectedIndex(PaneId::ListBox1), 7);
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("2 of %1").arg(kFolders));
  QTest::keyClick(&window, Qt::Key_F3, Qt::ShiftModifier);
  QTest::keyClick(&window, Qt::Key_F3, Qt::ShiftModifier);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("%1 of %1").arg(kFolders));
}

TEST_F(WindowDaily, KeepsThePanesProportionsAndFitsNarrowWindowsAndSmallScreens) {
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(room.contains(window.geometry())) << room.width() << "x" << room.height();
  window.StatusSetPanelText(3, "1000 modified, 1000 deleted, 1000 added, 1000 moved");
  window.resize(480, 400);
  QApplication::processEvents();
  EXPECT_EQ(window.width(), 480);
  const auto share = [this](PaneId pane, PaneId other) {
    const bool wide = pane != PaneId::ListBox3;
    const auto extent = [&](PaneId p) { return wide ? window.PaneView(p)->width() : window.PaneView(p)->height(); };
    return static_cast<double>(extent(pane)) / (extent(pane) + extent(other));
  };
  window.resize(900, 600);
  QApplication::processEvents();
  EXPECT_EQ(window.Panel(0)->width(), 100);  // as laid out where there is room
  const double left = share(PaneId::ListBox1, PaneId::ListBox2), bottom = share(PaneId::ListBox3, PaneId::ListBox1);
  window.resize(window.width() + 400, window.height() + 300);
  QApplication::processEvents();
  EXPECT_NEAR(share(PaneId::ListBox1, PaneId::ListBox2), left, 0.02);
  EXPECT_NEAR(share(PaneId::ListBox3, PaneId::ListBox1), bottom, 0.02);
}

TEST_F(WindowDaily, ThePanesFontDrawsTheControlPicturesOfOddNames) {
  const QFont font = window.PaneView(PaneId::ListBox1)->font();
  for (const char32_t picture : {U'\u2401', U'\u241B', U'\u241F', U'\u2421'}) {
    bool drawn = false;
    for (const QString& family : font.families()) {
      QFont face(family);
      face.setBold(font.bold());  // a family's bold face may lack what its regular one has
      drawn = drawn || QRawFont::fromFont(face).supportsCharacter(picture);
    }
    EXPECT_TRUE(drawn) << std::hex << static_cast<unsigned>(picture);
  }
}

TEST_F(WindowDaily, RepeatsWithF5AndRemembersItsChoicesBetweenSessions) {
  EXPECT_EQ(window.Action(ActionId::EditRepeatLastAction)->shortcut(), QKeySequence(Qt::Key_F5));
  window.Md5CheckBox()->setChecked(true);
  window.resize(700, 500);
  window.close();
  QtMainWindow next(dialogs, search, QStringLiteral("/nonexistent/quillon-help.html"));
  EXPECT_TRUE(next.Md5CheckBox()->isChecked());
  EXPECT_EQ(next.size(), QSize(700, 500));
  // The other tests start from the first size again.
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Quillon").clear();
}
