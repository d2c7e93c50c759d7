#include "WindowDuringWork.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <cerrno>

#include "TestSupport.h"
#include "documents/ListingSignature.h"
#include "gui/QtDialogProvider.h"
#include "platform/SigningKey.h"
#include "surfaces/Texts.h"

// The daily audit as a new user does it, with the mouse and the keys: the
// toolbar, the menus, the panes and the dialogs.
class WindowAudit : public WindowDuringWork {
 protected:
  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
  void ListByToolbar() {
    dialogs.Folders.push_back("/t");
    Click("ToolListButton");
  }
  // Ctrl+S into a new file of the tree.
  std::string SaveByKey(const std::string& name) {
    dialogs.SaveNames.push_back(tree.Path(name));
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    return tree.Path(name);
  }
  void OpenByKey(const std::string& file) {
    dialogs.OpenNames.push_back(file);
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
  }
  // A baseline of /t, then a later state: file0 of f0 gone, file1 grown, new added.
  std::string BaselineThenChange() {
    ListByToolbar();
    const std::string base = SaveByKey("base.qln");
    std::vector<FindData> files;
    for (int i = 1; i < kFilesEach; ++i) files.push_back(FakeFolderSearch::File("file" + std::to_string(i), i == 1 ? 11 : 10));
    files.push_back(FakeFolderSearch::File("new", 10));
    search.AddFolder("/t/f0/", FakeFolderSearch::WithDots(files));
    return base;
  }
  void CompareAfterListing(const std::string& base) {
    OpenByKey(base);
    ListByToolbar();
    Click("ToolCompareButton");
  }
  std::string Panel4() { return window.Panel(4)->text().toStdString(); }
  // The pointer rests on a toolbar button, and then on a pane, which has no hint.
  void HoverButtonThenPane(const char* button) {
    QTest::mouseMove(Button(button));
    QApplication::processEvents();
    QTest::mouseMove(window.PaneView(PaneId::ListBox1)->viewport());
    QApplication::processEvents();
  }
  void ClickRow(PaneId pane, int row, Qt::MouseButton button = Qt::LeftButton) {
    QListView* view = window.PaneView(pane);
    QTest::mouseClick(view->viewport(), button, {}, view->visualRect(view->model()->index(row, 0)).center());
  }

  TempTree tree;
};

TEST_F(WindowAudit, AHintOverTheToolbarNeverTakesTheUnreadableWarningForGood) {
  search.FailFolder("/t/f3/", 0, EACCES);
  ListByToolbar();
  const std::string warning = Panel4();
  ASSERT_NE(warning.find("could not be read"), std::string::npos) << warning;
  const QString tip = window.Panel(4)->toolTip();
  ASSERT_TRUE(tip.contains(QStringLiteral("/t/f3/"))) << tip.toStdString();
  QTest::mouseMove(Button("ToolNewButton"));
  QApplication::processEvents();
  EXPECT_NE(Panel4(), warning);  // the button's hint shows while the pointer rests there
  QTest::mouseMove(window.PaneView(PaneId::ListBox1)->viewport());
  QApplication::processEvents();
  EXPECT_EQ(Panel4(), warning);
  EXPECT_EQ(window.Panel(4)->toolTip(), tip);
}

TEST_F(WindowAudit, TellsTheSignatureVerdictInPanel4AndAsksBeforeComparingATamperedBaseline) {
  SigningKey::Generate(tree.Path("key"));
  const std::string base = BaselineThenChange();
  std::vector<std::string_view> lines;
  const ListPane& listed = window.Model(PaneId::ListBox1)->Pane();
  for (int i = 0; i < listed.Count(); ++i) lines.push_back(listed.LineAt(i));
  ListingSignature::Write(lines, base, SigningKey::LoadPrivate(tree.Path("key")));
  dialogs.KeyNames.push_back(tree.Path("key.pub"));
  window.Action(ActionId::FileVerifyKeyAction)->trigger();

  OpenByKey(base);
  HoverButtonThenPane("ToolOpenButton");
  EXPECT_EQ(Panel4(), "Signature verified with " + tree.Path("key.pub"));

  const std::string saved = tree.Read("base.qln");
  tree.File("base.qln", saved.substr(0, saved.size() - 3) + "9\r\n");
  OpenByKey(base);
  HoverButtonThenPane("ToolOpenButton");
  EXPECT_EQ(Panel4().rfind("SIGNATURE DOES NOT MATCH", 0), 0u) << Panel4();
  // Compare asks first; No compares nothing.
  ListByToolbar();
  dialogs.Answers.push_back(ConfirmAnswer::No);
  Click("ToolCompareButton");
  ASSERT_FALSE(dialogs.Questions.empty());
  EXPECT_NE(dialogs.Questions.back().find("The signature of " + base + " does not match"), std::string::npos);
  EXPECT_EQ(window.Model(PaneId::ListBox3)->rowCount(), 0);

  tree.File("plain.qln", saved);
  OpenByKey(tree.Path("plain.qln"));
  EXPECT_EQ(Panel4(), "NOT SIGNED: " + tree.Path("plain.qln") + ".sig is missing");
}

TEST_F(WindowAudit, ComparesAMillionLinesFromTheToolbar) {
  // 1,000 folders of 1,000 files.
  constexpr int kBig = 1000;
  std::vector<FindData> root;
  for (int f = 0; f < kBig; ++f) {
    root.push_back(FakeFolderSearch::Folder("d" + std::to_string(f)));
    std::vector<FindData> files;
    for (int i = 0; i < kBig; ++i) files.push_back(FakeFolderSearch::File("file" + std::to_string(i), 10));
    search.AddFolder("/t/d" + std::to_string(f) + "/", FakeFolderSearch::WithDots(files));
  }
  search.AddFolder("/t/", FakeFolderSearch::WithDots(root));
  ListByToolbar();
  const std::string base = SaveByKey("big.qln");
  ASSERT_GT(window.Model(PaneId::ListBox1)->rowCount(), kBig * kBig);
  search.AddFolder("/t/d7/", FakeFolderSearch::WithDots({FakeFolderSearch::File("file0", 11)}));
  CompareAfterListing(base);
  EXPECT_EQ(window.Logic().State().LastCommand, 2);
  ASSERT_EQ(window.Model(PaneId::ListBox3)->rowCount(), static_cast<int>(kBig));  // one modified, 999 deleted
  EXPECT_EQ(window.Panel(3)->text(), QStringLiteral("1 modified, 999 deleted, 0 added"));
  EXPECT_TRUE(window.ActionEnabled(ActionId::FileSaveResultAction));
  EXPECT_FALSE(window.ActionEnabled(ActionId::EditStopAction));
  EXPECT_EQ(window.windowTitle().toStdString(), Texts::kCaption);
  // The menus answer afterwards.
  QMenu* file = window.findChild<QMenu*>(QStringLiteral("File1"));
  QTest::mouseClick(window.menuBar(), Qt::LeftButton, {}, window.menuBar()->actionGeometry(file->menuAction()).center());
  EXPECT_TRUE(file->isVisible());
  file->close();
}

TEST_F(WindowAudit, ANewRunDropsTheCountsOfTheResultsItClears) {
  CompareAfterListing(BaselineThenChange());
  ASSERT_EQ(window.KindToggle(ChangeKind::Deleted)->text(), QStringLiteral("Deleted (1)"));
  QString during;
  bool barShown = true;
  OnFolder(2, [&] {
    during = window.KindToggle(ChangeKind::Deleted)->text();
    barShown = window.KindToggle(ChangeKind::Deleted)->isVisibleTo(&window);
  });
  ListByToolbar();
  EXPECT_FALSE(barShown) << during.toStdString();
  EXPECT_EQ(during, QStringLiteral("Deleted (0)"));
}

TEST_F(WindowAudit, FindCountsOnlyTheHitsTheFilterShows) {
  CompareAfterListing(BaselineThenChange());
  QTest::mouseClick(window.KindToggle(ChangeKind::Deleted), Qt::LeftButton);
  ClickRow(PaneId::ListBox3, 0);
  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(window.FindEdit(), QStringLiteral("/t/f0/"));
  window.FinishFind();
  // The first hit after the line clicked; the hidden Deleted line is neither
  // counted nor stopped at.
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("2 of 2"));
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("1 of 2"));
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("2 of 2"));
}

TEST_F(WindowAudit, SaveComparisonResultsOffersTheDialogAgainAfterNo) {
  CompareAfterListing(BaselineThenChange());
  tree.File("results1.txt", "kept\r\n");
  dialogs.SaveNames = {tree.Path("results1.txt"), tree.Path("results2.txt")};
  dialogs.Answers.push_back(ConfirmAnswer::No);
  Click("ToolSaveResultButton");
  EXPECT_EQ(tree.Read("results1.txt"), "kept\r\n");
  EXPECT_NE(tree.Read("results2.txt").find("Deleted: "), std::string::npos);
  EXPECT_EQ(Panel4(), "Saved: " + tree.Path("results2.txt"));
}

TEST_F(WindowAudit, TellsWhenNoFileManagerShowsTheContainingFolder) {
  ListByToolbar();
  dialogs.FolderOpens = false;
  QTest::keyClick(window.PaneView(PaneId::ListBox1), Qt::Key_Home);  // the pane followed the listing's end
  ClickRow(PaneId::ListBox1, 1);
  QTimer::singleShot(0, &window, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    menu->actions().at(2)->trigger();
    menu->close();
  });
  ClickRow(PaneId::ListBox1, 1, Qt::RightButton);
  ASSERT_EQ(dialogs.OpenedFolders.size(), 1u);
  ASSERT_EQ(dialogs.Errors.size(), 1u);
  EXPECT_NE(dialogs.Errors[0].find("no file manager"), std::string::npos) << dialogs.Errors[0];
}

TEST_F(WindowAudit, SaysWhatHappenedInItsOwnTexts) {
  ListByToolbar();
  const std::string saved = SaveByKey("day1.qln");
  EXPECT_EQ(Panel4(), "Saved: " + saved);
  // The question before opening a file that is no listing names it.
  tree.File("notes.txt", "shopping list\r\n");
  OpenByKey(tree.Path("notes.txt"));
  ASSERT_FALSE(dialogs.Questions.empty());
  EXPECT_EQ(dialogs.Questions.back(), tree.Path("notes.txt") + " does not look like a listing. Open it anyway?");
  // The line beside the MD5 box says what it is, and typing in it changes nothing.
  QLineEdit* line = window.findChild<QLineEdit*>(QStringLiteral("NonViewEdit"));
  EXPECT_FALSE(line->toolTip().isEmpty());
  ClickRow(PaneId::ListBox1, 0);
  const QString shown = line->text();
  QTest::keyClicks(line, QStringLiteral("typed"));
  EXPECT_EQ(line->text(), shown);
}

// The real dialogs, worked by the keys.
class WindowAuditDialogs : public ::testing::Test {
 protected:
  // Puts a name into the field of the modal dialog the next call opens, and presses Enter.
  static void TypeAndEnter(const QString& text, QString* fieldBefore = nullptr) {
    QTimer::singleShot(0, [=] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) {
        TypeAndEnter(text, fieldBefore);
        return;
      }
      auto* field = modal->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(field, nullptr);
      if (fieldBefore != nullptr) *fieldBefore = field->text();
      // Set whole: typed letter by letter, the names the field suggests
      // would take the Enter.
      field->setText(text);
      QTest::keyClick(field, Qt::Key_Return);
    });
  }

  TempTree tree;
  QtDialogProvider dialogs;
};

TEST_F(WindowAuditDialogs, OpensATypedNameAsTypedAndANameWithoutItsExtensionToo) {
  tree.File("finance-listing", "x");
  tree.File("week.qln", "x");
  TypeAndEnter(QString::fromStdString(tree.Path("finance-listing")));
  EXPECT_EQ(dialogs.OpenFile(), tree.Path("finance-listing"));
  TypeAndEnter(QString::fromStdString(tree.Path("week")));
  EXPECT_EQ(dialogs.OpenFile(), tree.Path("week.qln"));
}

TEST_F(WindowAuditDialogs, TheFolderBrowsersFieldHoldsNothingEnterCannotTake) {
  tree.Dir("share");
  tree.Dir("share/inner");
  TypeAndEnter(QString::fromStdString(tree.Path("share")));
  EXPECT_EQ(dialogs.BrowseForFolder("Browse", tree.Root()), tree.Path("share"));
  // Next time the field is empty and Enter takes the folder shown, the one chosen last.
  QString before = QStringLiteral("unset");
  TypeAndEnter(QString(), &before);
  EXPECT_EQ(dialogs.BrowseForFolder("Browse", ""), tree.Path("share"));
  EXPECT_EQ(before, QString());
}

TEST_F(WindowAuditDialogs, TheResultsDialogProposesTheFolderButNoOldName) {
  TypeAndEnter(QString::fromStdString(tree.Path("results1")));
  const auto first = dialogs.SaveResultsFile();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->fileName, tree.Path("results1.qln"));
  QString before = QStringLiteral("unset");
  TypeAndEnter(QStringLiteral("results2"), &before);
  const auto second = dialogs.SaveResultsFile();
  ASSERT_TRUE(second);
  EXPECT_EQ(before, QString());
  EXPECT_EQ(second->fileName, tree.Path("results2.qln"));
}
