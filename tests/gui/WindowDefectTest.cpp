#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "FakeFolderSearch.h"
#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "gui/HelpViewer.h"
#include "gui/QtMainWindow.h"
#include "gui/TAboutBox.h"

namespace {

class WindowDefects : public ::testing::Test {
 protected:
  WindowDefects() : window(dialogs, search, QStringLiteral("/nonexistent/quillon-help.html")) {
    search.AddFolder("/r/", FakeFolderSearch::WithDots({FakeFolderSearch::File("a", 5), FakeFolderSearch::File("b", 6)}));
    window.show();
    QApplication::setActiveWindow(&window);
  }

  void Open(const std::string& relative) {
    dialogs.OpenNames.push_back(tree.Path(relative));
    window.Action(ActionId::FileOpenAction)->trigger();
    QApplication::processEvents();
  }
  std::string ManyLines(const std::string& stem) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "01.01.1970 00:00:00 0000000005 Bytes ____N______ /" + stem + std::to_string(i) + "\r\n";
    return text;
  }

  TempTree tree;
  ScriptedDialogs dialogs;
  FakeFolderSearch search;
  QtMainWindow window;
};

}  // namespace

TEST_F(WindowDefects, LinesThatAreNotUtf8ShowAsWindows1252WhileTheirBytesStay) {
  const std::string windows = "01.01.1970 00:00:00 0000000005 Bytes ____N______ C:\\caf\xE9\\\x80 \x93q\x94.txt";
  const std::string utf8 = "01.01.1970 00:00:00 0000000005 Bytes ____N______ /caf\xC3\xA9";
  tree.File("win.qln", windows + "\r\n" + utf8 + "\r\n");
  Open("win.qln");
  PaneModel* model = window.Model(PaneId::ListBox2);
  const QString shown = QStringLiteral("01.01.1970 00:00:00 0000000005 Bytes ____N______ C:\\caf\u00E9\\\u20AC \u201Cq\u201D.txt");
  EXPECT_EQ(model->data(model->index(0, 0)).toString(), shown);
  EXPECT_EQ(model->data(model->index(1, 0)).toString(), QString::fromUtf8(utf8.c_str()));
  EXPECT_EQ(model->Pane().LineAt(0), windows);

  // The read-only line and the clipboard get the text as shown.
  QListView* view = window.PaneView(PaneId::ListBox2);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(model->index(0, 0)).center());
  EXPECT_EQ(window.NonViewEdit()->text(), shown);
  window.Action(ActionId::EditCopyAction)->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), shown);
}

TEST_F(WindowDefects, CtrlCInAPaneCopiesNothingWhileCopyIsOff) {
  dialogs.Folders.push_back("/r");
  window.Action(ActionId::EditListContentAction)->trigger();
  QApplication::processEvents();
  QListView* view = window.PaneView(PaneId::ListBox1);
  view->setCurrentIndex(view->model()->index(1, 0));
  view->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(view->hasFocus());
  ASSERT_FALSE(window.ActionEnabled(ActionId::EditCopyAction));
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
}

TEST_F(WindowDefects, OpeningAnotherListingStartsAtItsFirstLine) {
  tree.File("one.qln", ManyLines("one-with-a-long-name-that-needs-the-horizontal-scroll-bar-to-be-read-to-its-end-"));
  tree.File("two.qln", ManyLines("two"));
  Open("one.qln");
  QListView* view = window.PaneView(PaneId::ListBox2);
  view->scrollToBottom();
  view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
  ASSERT_GT(view->verticalScrollBar()->value(), 0);
  ASSERT_GT(view->horizontalScrollBar()->value(), 0);
  Open("two.qln");
  EXPECT_EQ(view->verticalScrollBar()->value(), 0);
  EXPECT_EQ(view->horizontalScrollBar()->value(), 0);
}

TEST_F(WindowDefects, AHintTooLongForPanelFourIsItsTooltip) {
  const QString md5Hint = QStringLiteral("... check to calculate the MD5 number. Will slow down the program!");
  window.resize(600, window.height());
  QApplication::processEvents();
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(window.Md5CheckBox(), &enter);
  ASSERT_EQ(window.Panel(4)->text(), md5Hint);
  EXPECT_EQ(window.Panel(4)->toolTip(), md5Hint);
  // Wide enough, the panel shows it all and needs no tooltip.
  window.resize(1600, window.height());
  QApplication::processEvents();
  EXPECT_EQ(window.Panel(4)->toolTip(), QString());
  window.Action(ActionId::FileNewAction)->showStatusText(&window);
  EXPECT_EQ(window.Panel(4)->toolTip(), QString());
}

TEST_F(WindowDefects, HelpOpensBesideOrOverTheWindowAndClosesByKeyOrButton) {
  window.Action(ActionId::HelpProgramAction)->trigger();
  QWidget* frame = window.Help().Frame();
  ASSERT_NE(frame, nullptr);
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_EQ(frame->pos(), HelpViewer::PlaceBeside(window.frameGeometry(), frame->size(), screen).topLeft());
  const auto closeWith = [this](const std::function<void(QWidget*)>& close) {
    window.Action(ActionId::HelpProgramAction)->trigger();
    QWidget* help = window.Help().Frame();
    QApplication::setActiveWindow(help);
    ASSERT_TRUE(window.Help().IsOpen());
    close(help);
    QApplication::processEvents();
    EXPECT_FALSE(window.Help().IsOpen());
  };
  closeWith([](QWidget* help) { QTest::keyClick(help, Qt::Key_Escape); });
  closeWith([](QWidget* help) { QTest::keyClick(help, Qt::Key_W, Qt::ControlModifier); });
  closeWith([](QWidget* help) { help->findChild<QPushButton*>(QStringLiteral("HelpCloseButton"))->click(); });

  // Beside the window where there is room, else on the other side, else over it.
  const QRect screenArea(0, 0, 1920, 1080);
  EXPECT_EQ(HelpViewer::PlaceBeside(QRect(100, 50, 800, 600), QSize(640, 560), screenArea).topLeft(), QPoint(908, 50));
  EXPECT_EQ(HelpViewer::PlaceBeside(QRect(1000, 50, 800, 600), QSize(640, 560), screenArea).topLeft(), QPoint(352, 50));
  EXPECT_EQ(HelpViewer::PlaceBeside(QRect(0, 0, 800, 600), QSize(640, 560), QRect(0, 0, 800, 600)).topLeft(),
            QPoint(80, 20));
}

TEST(AboutBox, IsAFixedDialogWithOnlyACloseButtonAndItsTextFitsAtAnyFontSize) {
  const QFont original = QApplication::font();
  for (const int points : {8, 14, 24}) {
    QFont font = original;
    font.setPointSize(points);
    QApplication::setFont(font);
    TAboutBox box;
    const Qt::WindowFlags flags = box.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);  // no buttons but the ones asked for
    EXPECT_EQ(box.minimumSize(), QSize(242, 179));
    EXPECT_EQ(box.maximumSize(), QSize(242, 179));
    QWidget* panel = box.findChild<QWidget*>(QStringLiteral("Panel1"));
    ASSERT_NE(panel, nullptr);
    for (const char* name : {"ProductName", "Version", "Notice", "Comments"}) {
      auto* label = box.findChild<QLabel*>(QString::fromLatin1(name));
      ASSERT_NE(label, nullptr) << name;
      EXPECT_TRUE(panel->contentsRect().contains(label->geometry())) << name << " at " << points;
      const QRect needed = label->fontMetrics().boundingRect(label->rect(), Qt::TextWordWrap, label->text());
      EXPECT_LE(needed.width(), label->width()) << name << " at " << points;
      EXPECT_LE(needed.height(), label->height()) << name << " at " << points;
    }
  }
  QApplication::setFont(original);
}
