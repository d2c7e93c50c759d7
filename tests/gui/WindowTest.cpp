#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QSplitter>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "FakeFolderSearch.h"
#include "ScriptedDialogs.h"
#include "app/HelpPlace.h"
#include "TestSupport.h"
#include "app/ActionTable.h"
#include "gui/HelpViewer.h"
#include "gui/QtMainWindow.h"
#include "gui/QuillonApplication.h"
#include "gui/TAboutBox.h"
#include "platform/SigningKey.h"
#include "surfaces/BuildInfo.h"
#include "surfaces/Version.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() : window(dialogs, search, QStringLiteral("/nonexistent/quillon-help.html")) {
    search.AddFolder("/r/", FakeFolderSearch::WithDots({FakeFolderSearch::File("a.txt", 5),
                                                        FakeFolderSearch::Folder("sub"),
                                                        FakeFolderSearch::File("b", 1000)}));
    search.AddFolder("/r/sub/", FakeFolderSearch::WithDots({FakeFolderSearch::File("c", 7)}));
  }

  void Trigger(ActionId id) { window.Action(id)->trigger(); }
  bool Enabled(ActionId id) { return window.ActionEnabled(id); }
  void List() {
    dialogs.Folders.push_back("/r");
    Trigger(ActionId::EditListContentAction);
  }
  // Opens a file, a listing or not.
  void Open(const std::string& path) {
    dialogs.OpenNames.push_back(path);
    dialogs.Answers.push_back(ConfirmAnswer::Yes);
    Trigger(ActionId::FileOpenAction);
    dialogs.Answers.clear();
  }
  QString Panel4() { return window.Panel(4)->text(); }

  TempTree tree;
  ScriptedDialogs dialogs;
  FakeFolderSearch search;
  QtMainWindow window;
};

}  // namespace

TEST_F(WindowTest, StartsEmptyWithOnlyTheAlwaysAvailableCommandsEnabled) {
  for (const char* name : {"ListBox1", "ListBox2", "ListBox3"}) {
    auto* view = window.findChild<QListView*>(QString::fromLatin1(name));
    ASSERT_NE(view, nullptr) << name;
    EXPECT_EQ(view->model()->rowCount(), 0);
  }
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Selected: ?"));
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Loaded File: ?"));
  EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("NonViewEdit"))->text(), QString());
  EXPECT_TRUE(window.NonViewEdit()->isReadOnly());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(window.Panel(i)->text(), QString()) << i;
  EXPECT_FALSE(window.findChild<QCheckBox*>(QStringLiteral("MD5CheckBox"))->isChecked());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillon - V" QUILLON_VERSION));
  EXPECT_EQ(window.Logic().State().DocumentFileName, "Untitled");
  for (const ActionInfo& info : kActionTable) {
    QAction* action = window.Action(info.id);
    EXPECT_EQ(action->objectName().toStdString(), std::string(NameOf(info.id)));
    EXPECT_EQ(window.ActionEnabled(info.id), info.enabledAtStart) << info.caption;
    if (info.visible) {
      EXPECT_EQ(action->isEnabled(), info.enabledAtStart) << info.caption;
    }
    EXPECT_EQ(action->isVisible(), info.visible) << info.caption;
  }
  EXPECT_EQ(window.Action(ActionId::FileNewAction)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
  EXPECT_EQ(window.Action(ActionId::HelpProgramAction)->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(window.Action(ActionId::FileExitAction)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
}

TEST_F(WindowTest, LaysTheToolbarOutInOrder) {
  auto* bar = window.findChild<QToolBar*>(QStringLiteral("ToolBar1"));
  ASSERT_NE(bar, nullptr);
  QStringList names;
  for (QAction* action : bar->actions()) {
    QWidget* widget = bar->widgetForAction(action);
    names << (widget != nullptr ? widget->objectName() : action->objectName());
  }
  const QStringList expected{"ToolNewButton", "ToolOpenButton", "ToolSaveButton", "ToolSepButton1",
                                "ToolCutButton", "ToolCopyButton", "ToolPasteButton", "ToolSepButton2",
                                "ToolListButton", "ToolRepeatButton", "ToolStopButton", "ToolSepButton3", "ToolCompareButton",
                                "ToolCompareFolderButton", "ToolSepButton4", "ToolSaveResultButton", "ToolButton1", "MD5CheckBox",
                                "NonViewEdit"};
  EXPECT_EQ(names.join(QLatin1Char(',')).toStdString(), expected.join(QLatin1Char(',')).toStdString());
}

TEST_F(WindowTest, FollowsTheEnabledStatesThroughATypicalUse) {
  tree.File("old.qln", "01.01.1970 00:00:00 0000000005 Bytes ____N______ /r/a.txt\r\nNumber of Files = 1\r\n");
  // Listing first, then opening: Compare comes on at the Open, Repeat goes off.
  List();
  EXPECT_TRUE(Enabled(ActionId::FileSaveAction));
  EXPECT_TRUE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_FALSE(Enabled(ActionId::EditCompareContentAction));
  Open(tree.Path("old.qln"));
  EXPECT_TRUE(Enabled(ActionId::EditCompareContentAction));
  EXPECT_FALSE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_TRUE(Enabled(ActionId::FileSaveAsAction));

  Trigger(ActionId::EditCompareContentAction);
  EXPECT_TRUE(Enabled(ActionId::FileSaveResultAction));
  EXPECT_TRUE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_EQ(window.Model(PaneId::ListBox3)->rowCount(), 2);
  EXPECT_EQ(window.Panel(3)->text(), QStringLiteral("0 modified, 0 deleted, 2 added"));

  // About disables Repeat and nothing else.
  Trigger(ActionId::HelpAboutAction);
  EXPECT_EQ(dialogs.AboutShown, 1);
  EXPECT_FALSE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_TRUE(Enabled(ActionId::FileSaveResultAction));
  EXPECT_TRUE(Enabled(ActionId::FileSaveAction));

  // Cancelling the results dialog still disables saving the results.
  Trigger(ActionId::FileSaveResultAction);
  EXPECT_FALSE(Enabled(ActionId::FileSaveResultAction));
  EXPECT_FALSE(window.Busy());

  Trigger(ActionId::FileNewAction);
  for (ActionId id : {ActionId::FileSaveAction, ActionId::FileSaveResultAction, ActionId::EditCompareContentAction,
                      ActionId::EditRepeatLastAction})
    EXPECT_FALSE(Enabled(id));
  EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 0);
  EXPECT_EQ(window.Panel(0)->text(), QStringLiteral("Files = 3"));
}

TEST_F(WindowTest, OpeningFirstEnablesCompareAtTheEndOfTheRun) {
  tree.File("old.qln", "Number of Files = 0\r\n");
  Open(tree.Path("old.qln"));
  EXPECT_FALSE(Enabled(ActionId::EditCompareContentAction));
  List();
  EXPECT_TRUE(Enabled(ActionId::EditCompareContentAction));
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label2"))->text(),
            QString::fromStdString("Loaded File: " + tree.Path("old.qln")));
}

TEST_F(WindowTest, RoutesHintsToPanelFour) {
  window.Action(ActionId::FileNewAction)->showStatusText(&window);
  EXPECT_EQ(Panel4(), QStringLiteral(" Initializes the program new..."));
  EXPECT_EQ(window.Action(ActionId::FileNewAction)->toolTip(), QStringLiteral("New"));
  window.Action(ActionId::HelpAboutAction)->showStatusText(&window);
  EXPECT_EQ(Panel4(), QStringLiteral("Displays program information, version number, and copyright"));
  EXPECT_EQ(window.Action(ActionId::HelpAboutAction)->toolTip(), QStringLiteral("About "));

  const QString md5Hint = QStringLiteral("... check to calculate the MD5 number. Will slow down the program!");
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  window.show();
  window.resize(600, window.height());  // too narrow for the whole hint
  QApplication::processEvents();
  QApplication::sendEvent(window.Md5CheckBox(), &enter);
  EXPECT_EQ(Panel4(), md5Hint);
  EXPECT_EQ(window.Md5CheckBox()->toolTip(), md5Hint);
  EXPECT_EQ(window.Panel(4)->toolTip(), md5Hint);
  window.resize(1600, window.height());
  QApplication::processEvents();
  EXPECT_EQ(window.Panel(4)->toolTip(), QString());

  auto* newButton = window.findChild<QToolButton*>(QStringLiteral("ToolNewButton"));
  ASSERT_NE(newButton, nullptr);
  QEnterEvent enterButton(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(newButton, &enterButton);
  EXPECT_EQ(Panel4(), QStringLiteral(" Initializes the program new..."));
  EXPECT_EQ(newButton->toolTip(), QStringLiteral("New"));

  QEnterEvent enterPane(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(window.PaneView(PaneId::ListBox1), &enterPane);
  EXPECT_EQ(Panel4(), QString());

  auto* fileMenu = window.findChild<QMenu*>(QStringLiteral("File1"));
  ASSERT_NE(fileMenu, nullptr);
  fileMenu->menuAction()->showStatusText(&window);
  EXPECT_EQ(Panel4(), QStringLiteral("File Commands"));
}

TEST_F(WindowTest, DetectMovedFilesIsACheckableChoiceKeptBetweenSessions) {
  QAction* moves = window.Action(ActionId::EditDetectMovesAction);
  EXPECT_TRUE(moves->isCheckable());
  EXPECT_FALSE(moves->isChecked());
  EXPECT_TRUE(window.findChild<QMenu*>(QStringLiteral("Edit1"))->actions().contains(moves));
  moves->showStatusText(&window);
  EXPECT_EQ(Panel4(), QStringLiteral(" Reports a file that moved as one Moved line instead of Deleted and Added..."));

  tree.File("old.qln",
            "01.01.1970 00:00:00 0000000005 Bytes ____N______ /r/a.txt\r\n"
            "01.01.1970 00:00:00 0000001000 Bytes ____N______ /r/b\r\n"
            "01.01.1970 00:00:00 0000000007 Bytes ____N______ /r/old/c\r\nNumber of Files = 3\r\n");
  List();
  Open(tree.Path("old.qln"));
  moves->trigger();
  Trigger(ActionId::EditCompareContentAction);
  ASSERT_EQ(window.Model(PaneId::ListBox3)->rowCount(), 1);
  EXPECT_EQ(window.Model(PaneId::ListBox3)->Pane().LineAt(0),
            "Moved: 01.01.1970 00:00:00 0000000007 Bytes ____N______ /r/sub/c <= /r/old/c");
  // The counts are wider than the percentage the panel is made for.
  EXPECT_EQ(window.Panel(3)->text(), QStringLiteral("0 modified, 0 deleted, 0 added, 1 moved"));
  EXPECT_GT(window.Panel(3)->sizeHint().width(), window.Panel(3)->fontMetrics().horizontalAdvance(window.Panel(3)->text()));

  const auto nextSession = [this] {
    QtMainWindow next(dialogs, search, QStringLiteral("/nonexistent/quillon-help.html"));
    return next.Action(ActionId::EditDetectMovesAction)->isChecked();
  };
  EXPECT_TRUE(nextSession());
  moves->trigger();
  EXPECT_FALSE(nextSession());
}

TEST_F(WindowTest, APaneClickShowsTheLineReadyToCopy) {
  window.show();
  QApplication::setActiveWindow(&window);
  List();
  QListView* view = window.PaneView(PaneId::ListBox1);
  const QModelIndex second = view->model()->index(1, 0);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(second).center());
  const std::string line = "01.01.1970 00:00:00 0000001000 Bytes ____N______ /r/b";
  EXPECT_EQ(window.NonViewEdit()->text().toStdString(), line);
  EXPECT_EQ(window.NonViewEdit()->selectedText().toStdString(), line);
  EXPECT_TRUE(window.NonViewEdit()->hasFocus());
  EXPECT_TRUE(Enabled(ActionId::EditCopyAction));
  Trigger(ActionId::EditCopyAction);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), line);

  // A click in an empty pane selects nothing and changes nothing.
  QListView* empty = window.PaneView(PaneId::ListBox3);
  QTest::mouseClick(empty->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(window.NonViewEdit()->text().toStdString(), line);
}

TEST_F(WindowTest, RepeatsTheListingOrTheComparison) {
  List();
  ASSERT_EQ(window.Logic().State().LastCommand, 1);
  Trigger(ActionId::EditRepeatLastAction);
  EXPECT_EQ(dialogs.Titles.size(), 1u);  // no second folder browser
  EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 7);

  tree.File("old.qln", "01.01.1970 00:00:00 0000000009 Bytes ____N______ /r/a.txt\r\nNumber of Files = 1\r\n");
  Open(tree.Path("old.qln"));
  Trigger(ActionId::EditCompareContentAction);
  ASSERT_EQ(window.Logic().State().LastCommand, 2);
  window.Controller().PaneClear(PaneId::ListBox3);
  Trigger(ActionId::EditRepeatLastAction);
  EXPECT_EQ(window.Model(PaneId::ListBox3)->rowCount(), 3);
  EXPECT_EQ(window.Model(PaneId::ListBox3)->Pane().LineAt(0),
            "Modified: 01.01.1970 00:00:00 0000000005 Bytes ____N______ /r/a.txt");
}

TEST_F(WindowTest, ShowsFailuresInTheErrorBoxWithThePeriodRule) {
  Open(tree.Path("missing.qln"));
  EXPECT_EQ(dialogs.Errors, std::vector<std::string>{"Cannot open file " + tree.Path("missing.qln") + "\nNo such file or directory."});
  // Open takes regular files only: a FIFO without a writer would hold the window.
  tree.Fifo("pipe.qln");
  Open(tree.Path("pipe.qln"));
  EXPECT_EQ(dialogs.Errors.back(), "Cannot open file " + tree.Path("pipe.qln") + "\nNot a regular file.");
  tree.File("empty.qln");
  List();
  Open(tree.Path("empty.qln"));
  Trigger(ActionId::EditCompareContentAction);
  EXPECT_EQ(dialogs.Errors.back(), "List index out of bounds (-1)");
  // The next command runs normally.
  Trigger(ActionId::FileNewAction);
  EXPECT_EQ(dialogs.Errors.size(), 3u);
}

TEST_F(WindowTest, OpensHelpBesideTheWindowAndClosesItAtTheEnd) {
  window.show();
  for (const auto& close : std::vector<std::function<void(QWidget*)>>{
           [](QWidget* help) { QTest::keyClick(help, Qt::Key_Escape); },
           [](QWidget* help) { QTest::keyClick(help, Qt::Key_W, Qt::ControlModifier); },
           [](QWidget* help) { help->findChild<QPushButton*>(QStringLiteral("HelpCloseButton"))->click(); }}) {
    Trigger(ActionId::HelpProgramAction);
    QWidget* help = window.Help().Frame();
    const QRect frame = window.frameGeometry(), area = window.screen()->availableGeometry();
    const HelpPlace::Rect place = HelpPlace::Beside({frame.x(), frame.y(), frame.width(), frame.height()},
                                                    help->width(), help->height(),
                                                    {area.x(), area.y(), area.width(), area.height()});
    EXPECT_EQ(help->pos(), QPoint(place.left, place.top));
    QApplication::setActiveWindow(help);
    close(help);
    QApplication::processEvents();
    EXPECT_FALSE(window.Help().IsOpen());
  }

  Trigger(ActionId::HelpProgramAction);
  ASSERT_TRUE(window.Help().IsOpen());
  EXPECT_TRUE(window.Help().Window()->toPlainText().contains(QStringLiteral("cannot be found")));
  Trigger(ActionId::HelpProgramAction);  // the open one is reused
  int helpWindows = 0;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->objectName() == QStringLiteral("HelpWindow") && widget->isVisible()) ++helpWindows;
  EXPECT_EQ(helpWindows, 1);
  Trigger(ActionId::FileExitAction);
  QApplication::processEvents();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.Help().IsOpen());
}

TEST_F(WindowTest, KeepsTheBusyCursorAsAState) {
  window.SetBusyCursor();
  window.SetBusyCursor();
  EXPECT_NE(QApplication::overrideCursor(), nullptr);
  window.SetNormalCursor();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, APaneTakesAMillionLinesThroughItsModel) {
  PaneModel* model = window.Model(PaneId::ListBox2);
  QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  std::string line = "01.01.1970 00:00:00 0000000005 Bytes ____N______ /data/file-";
  WindowController& controller = window.Controller();
  for (int i = 0; i < 1'000'000; ++i) controller.PaneAddLine(PaneId::ListBox2, line + std::to_string(i));
  EXPECT_EQ(model->rowCount(), 0);  // announced in one batch, later
  window.AnnouncePanes();
  EXPECT_EQ(model->rowCount(), 1'000'000);
  EXPECT_EQ(model->data(model->index(999'999, 0)).toString().toStdString(), line + "999999");
  controller.PaneSetScrollExtent(PaneId::ListBox2, 666);
  EXPECT_EQ(model->data(model->index(5, 0), Qt::SizeHintRole).toSize().width(), 666);
  window.PaneView(PaneId::ListBox2)->scrollToBottom();
  controller.PaneClear(PaneId::ListBox2);
  EXPECT_EQ(model->rowCount(), 0);
  controller.PaneAddLine(PaneId::ListBox2, "again");
  window.AnnouncePanes();
  EXPECT_EQ(model->rowCount(), 1);
}

TEST(AboutBox, ShowsNameAndVersionAndClosesWithOk) {
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), QStringLiteral("About..."));
  EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("ProductName"))->text(), QStringLiteral("Quillon"));
  EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Version"))->text(), QStringLiteral("Version " QUILLON_VERSION));
  auto* ok = box.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
  // The build's commit, when known, in the free corner and whole.
  auto* commit = box.findChild<QLabel*>(QStringLiteral("BuildCommit"));
  ASSERT_EQ(commit != nullptr, !BuildInfo::Commit().empty());
  if (commit) {
    EXPECT_EQ(commit->text().toStdString(), BuildInfo::Commit());
    EXPECT_FALSE(commit->geometry().intersects(ok->geometry()));
    EXPECT_TRUE(commit->rect().contains(commit->fontMetrics().boundingRect(commit->rect(), 0, commit->text())));
  }
  QTimer::singleShot(0, ok, [ok] { ok->click(); });
  EXPECT_EQ(box.exec(), QDialog::Accepted);
  QTimer::singleShot(0, &box, [&box] { box.close(); });
  EXPECT_EQ(box.exec(), QDialog::Rejected);  // the title-bar close button
}

TEST(AboutBox, IsAFixedDialogWithOnlyACloseButtonAndItsTextFitsAtAnyFontSize) {
  const QFont original = QApplication::font();
  for (const int points : {8, 14, 24}) {
    QFont font = original;
    font.setPointSize(points);
    QApplication::setFont(font);
    TAboutBox box;
    EXPECT_EQ(box.windowFlags() & (Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
              Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    const QRect inside = box.findChild<QWidget*>(QStringLiteral("Panel1"))->contentsRect();
    for (const char* name : {"ProductName", "Version", "Notice", "Comments"}) {
      auto* label = box.findChild<QLabel*>(QString::fromLatin1(name));
      const QRect needed = label->fontMetrics().boundingRect(label->rect(), Qt::TextWordWrap, label->text());
      EXPECT_TRUE(inside.contains(label->geometry()) && label->rect().contains(needed)) << name << " at " << points;
    }
  }
  QApplication::setFont(original);
}

TEST_F(WindowTest, RowsStayVisibleWhenTheScrollExtentIsZero) {
  // Folder lines do not count for the extent: a tree without files has 0.
  search.AddFolder("/f/", {FakeFolderSearch::Folder("only-a-folder")});
  search.AddFolder("/f/only-a-folder/", {});
  window.show();
  dialogs.Folders.push_back("/f");
  Trigger(ActionId::EditListContentAction);
  QApplication::processEvents();
  QListView* view = window.PaneView(PaneId::ListBox1);
  ASSERT_EQ(view->model()->rowCount(), 4);
  EXPECT_GE(view->visualRect(view->model()->index(1, 0)).width(), view->viewport()->width() / 2);
}

TEST_F(WindowTest, ReadsTheRegionalSettingsAgainWhenTheSystemAnnouncesAChange) {
  UserLocale finnish("fi_FI");
  if (!finnish.Ready()) GTEST_SKIP() << "locales cannot be compiled here";
  QEvent change(QEvent::LocaleChange);
  QApplication::sendEvent(&window, &change);
  search.AddFolder("/big/", {FakeFolderSearch::File("f", 1234567)});
  dialogs.Folders.push_back("/big");
  Trigger(ActionId::EditListContentAction);
  EXPECT_EQ(window.Model(PaneId::ListBox1)->Pane().LineAt(0), "01.01.1970 00.00.00 0001234567 Bytes ____N______ /big/f");
  EXPECT_EQ(window.Panel(2)->text().toStdString(), "Total = 1\u202F234\u202F567 Bytes");
}

namespace {

// An object whose event handling fails the way a bug would.
class FailingObject : public QObject {
 public:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User) throw std::runtime_error("a failure nobody caught");
    return QObject::event(event);
  }
};

}  // namespace

TEST(LastResort, ShowsAFailureThatSlipsPastTheDispatcherAndGoesOn) {
  auto* app = qobject_cast<QuillonApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  QString shown;
  QTimer::singleShot(0, [&shown] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->windowTitle() + QStringLiteral(" | ") + box->text();
    box->accept();
  });
  FailingObject object;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QApplication::sendEvent(&object, &event));
  EXPECT_EQ(shown, QStringLiteral("Quillon " QUILLON_VERSION " | a failure nobody caught."));
}

TEST_F(WindowTest, ShowsTheCountOfWhatCouldNotBeReadWithTheFirstPathsInTheTooltip) {
  std::vector<FindData> entries;
  for (int i = 0; i < 25; ++i) {
    entries.push_back(FakeFolderSearch::File("f" + std::to_string(i), 1));
    search.FailEntry("/r/", entries.back().Name, EACCES);
  }
  search.AddFolder("/r/", entries);
  List();
  EXPECT_EQ(Panel4(), QStringLiteral("25 files could not be read"));
  const QStringList tip = window.Panel(4)->toolTip().split(QLatin1Char('\n'));
  EXPECT_EQ(tip.size(), 21);
  EXPECT_EQ(tip.front() + tip[19] + tip.back(), QStringLiteral("/r/f0/r/f19... and 5 more"));
  search.AddFolder("/r/", {});  // a run that reads everything leaves nothing behind
  List();
  EXPECT_EQ(Panel4() + window.Panel(4)->toolTip(), QString());
}

TEST_F(WindowTest, ShowsALineThatIsNotUtf8AsWindows1252AndKeepsItsBytes) {
  const std::string bytes = "01.01.1970 00:00:00 0000000005 Bytes ____N______ C:\\caf\xE9 \x80 \x93q\x94";
  tree.File("win.qln", bytes + "\r\n/caf\xC3\xA9\r\n");
  Open(tree.Path("win.qln"));
  const QString shown = QStringLiteral("01.01.1970 00:00:00 0000000005 Bytes ____N______ C:\\caf\u00E9 \u20AC \u201Cq\u201D");
  PaneModel* model = window.Model(PaneId::ListBox2);
  EXPECT_EQ(model->data(model->index(0, 0)).toString(), shown);
  EXPECT_EQ(model->data(model->index(1, 0)).toString(), QStringLiteral("/caf\u00E9"));  // UTF-8 stays UTF-8
  EXPECT_EQ(model->Pane().LineAt(0), bytes);
  window.EditSetText(bytes);
  EXPECT_EQ(window.NonViewEdit()->text(), shown);
}

TEST_F(WindowTest, CtrlCInAPaneCopiesNothingAndOpenStartsAtTheFirstLine) {
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "01.01.1970 00:00:00 0000000005 Bytes ____N______ /" + std::string(150, 'x') + "\r\n";
  tree.File("one.qln", lines);
  window.show();
  Open(tree.Path("one.qln"));
  QApplication::processEvents();
  QListView* view = window.PaneView(PaneId::ListBox2);
  view->setCurrentIndex(view->model()->index(1, 0));
  view->setFocus();
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);  // Copy is off: only it may copy
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

  view->scrollToBottom();
  view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
  ASSERT_GT(view->verticalScrollBar()->value() * view->horizontalScrollBar()->value(), 0);
  Open(tree.Path("one.qln"));
  EXPECT_EQ(view->verticalScrollBar()->value() + view->horizontalScrollBar()->value(), 0);
}

TEST_F(WindowTest, KeepsTheListingChoicesOfTheEditMenuBetweenSessions) {
  QSettings(QStringLiteral("Quillon"), QStringLiteral("Quillon")).clear();
  {
    ScriptedDialogs first;
    QtMainWindow earlier(first, search, QStringLiteral("/nonexistent/quillon-help.html"));
    QMenu* edit = earlier.findChild<QMenu*>(QStringLiteral("Edit1"));
    ASSERT_TRUE(edit->actions().contains(earlier.ReuseDigestsAction()));
    ASSERT_TRUE(edit->actions().contains(earlier.ExcludePatternsAction()));
    EXPECT_EQ(earlier.ReuseDigestsAction()->text(), QStringLiteral("Reuse Digests of &Unchanged Files"));
    EXPECT_EQ(earlier.ExcludePatternsAction()->text(), QStringLiteral("E&xclude Patterns..."));
    // Off until the user switches it on: an audit reads every file.
    EXPECT_TRUE(earlier.ReuseDigestsAction()->isCheckable() && !earlier.ReuseDigestsAction()->isChecked());
    earlier.ReuseDigestsAction()->trigger();
    // A malformed pattern is refused, and the dialog comes back with the text.
    first.PatternAnswers = {"*.txt\nsub[", "# build output\nsub/"};
    earlier.ExcludePatternsAction()->trigger();
    ASSERT_EQ(first.Errors.size(), 1u);
    EXPECT_NE(first.Errors[0].find("\"sub[\""), std::string::npos);
    EXPECT_EQ(first.ShownPatterns, (std::vector<std::string>{"", "*.txt\nsub["}));
  }
  ScriptedDialogs later;
  QtMainWindow window2(later, search, QStringLiteral("/nonexistent/quillon-help.html"));
  EXPECT_TRUE(window2.ReuseDigestsAction()->isChecked());
  later.Folders.push_back("/r");
  window2.Action(ActionId::EditListContentAction)->trigger();
  // sub/ is left out, and panel 4 says so.
  EXPECT_EQ(window2.Model(PaneId::ListBox1)->Pane().Count(), 5);
  EXPECT_EQ(window2.Panel(4)->text(), QStringLiteral("Leaving out what matches: sub/"));
  // With the digest on, an unusable cache is a warning that does not stop the run.
  qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(tree.Root()));
  tree.Dir("quillon");
  tree.File("quillon/digests.sqlite", "not a database");
  window2.Md5CheckBox()->setChecked(true);
  window2.Action(ActionId::EditRepeatLastAction)->trigger();
  qunsetenv("XDG_CACHE_HOME");
  EXPECT_TRUE(later.Errors.empty());
  ASSERT_EQ(later.Warnings.size(), 1u);
  EXPECT_NE(later.Warnings[0].find("cannot be used"), std::string::npos);
  EXPECT_EQ(window2.Model(PaneId::ListBox1)->Pane().Count(), 5);
  QSettings(QStringLiteral("Quillon"), QStringLiteral("Quillon")).clear();
}

TEST_F(WindowTest, SignsSavedListingsAndTellsWhetherAnOpenedOneVerifies) {
  QSettings(QStringLiteral("Quillon"), QStringLiteral("Quillon")).clear();
  SigningKey::Generate(tree.Path("key"));
  const std::string listing = tree.Path("l.qln");
  {
    ScriptedDialogs first;
    QtMainWindow earlier(first, search, QStringLiteral("/nonexistent/quillon-help.html"));
    QMenu* file = earlier.findChild<QMenu*>(QStringLiteral("File1"));
    ASSERT_TRUE(file->actions().contains(earlier.SignListingsAction()));
    ASSERT_TRUE(file->actions().contains(earlier.VerifyKeyAction()));
    // A key others may read is refused, and signing stays off.
    tree.Chmod("key", 0644);
    first.KeyNames = {tree.Path("key")};
    earlier.SignListingsAction()->trigger();
    EXPECT_FALSE(earlier.SignListingsAction()->isChecked());
    ASSERT_EQ(first.Errors.size(), 1u);
    EXPECT_NE(first.Errors[0].find("chmod 600"), std::string::npos) << first.Errors[0];
    tree.Chmod("key", 0600);
    first.KeyNames = {tree.Path("key")};
    earlier.SignListingsAction()->trigger();
    EXPECT_TRUE(earlier.SignListingsAction()->isChecked());
    // SHA-256 beside the MD5 box: the box still asks for digests, the choice says which.
    QMenu* edit = earlier.findChild<QMenu*>(QStringLiteral("Edit1"));
    ASSERT_TRUE(edit->actions().contains(earlier.Sha256Action()));
    earlier.Sha256Action()->trigger();
    earlier.Md5CheckBox()->setChecked(true);
    first.Folders.push_back("/r");
    earlier.Action(ActionId::EditListContentAction)->trigger();
    EXPECT_NE(earlier.Model(PaneId::ListBox1)->Pane().LineAt(0).find(" " + std::string(64, '0') + " "),
              std::string::npos);  // the fake tree's files cannot be read
    first.SaveNames.push_back(listing);
    earlier.Action(ActionId::FileSaveAction)->trigger();
    EXPECT_EQ(earlier.Panel(4)->text(), QString::fromStdString("Signed: " + listing + ".sig"));
  }
  // A later session signs with the key chosen then, and checks with its public half.
  ScriptedDialogs later;
  QtMainWindow window2(later, search, QStringLiteral("/nonexistent/quillon-help.html"));
  EXPECT_TRUE(window2.SignListingsAction()->isChecked());
  EXPECT_TRUE(window2.Sha256Action()->isChecked());
  const auto open = [&] {
    later.OpenNames.push_back(listing);
    window2.Action(ActionId::FileOpenAction)->trigger();
    return window2.Panel(4)->text().toStdString();
  };
  EXPECT_EQ(open(), "Signature verified with " + tree.Path("key.pub"));
  const std::string saved = tree.Read("l.qln");
  tree.File("l.qln", saved.substr(0, saved.size() - 3) + "X\r\n");
  EXPECT_EQ(open().rfind("SIGNATURE DOES NOT MATCH", 0), 0u);
  tree.File("l.qln", saved);
  std::filesystem::remove(listing + ".sig");
  EXPECT_EQ(open(), "NOT SIGNED: " + listing + ".sig is missing");
  EXPECT_TRUE(later.Errors.empty());
  QSettings(QStringLiteral("Quillon"), QStringLiteral("Quillon")).clear();
}
