#include "WindowDuringWork.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTimer>

#include <cerrno>

#include "TestSupport.h"
#include "app/PaneText.h"
#include "app/WindowLayout.h"
#include "documents/ListingSignature.h"
#include "gui/QtDialogProvider.h"
#include "platform/SigningKey.h"
#include "surfaces/Texts.h"

// A menu item chosen with the mouse: the menu opened from the menu bar, then the item.
static void ChooseFromMenu(QMainWindow& window, const char* menuName, QAction* item) {
  QMenu* menu = window.findChild<QMenu*>(QString::fromLatin1(menuName));
  QTest::mouseClick(window.menuBar(), Qt::LeftButton, {}, window.menuBar()->actionGeometry(menu->menuAction()).center());
  ASSERT_TRUE(menu->isVisible());
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

// The daily audit as a new user does it, with the mouse and the keys: the
// toolbar, the menus, the panes and the dialogs.
class WindowAudit : public WindowDuringWork {
 protected:
  // The choices a test makes stay with it.
  ~WindowAudit() override { QSettings(QStringLiteral("Quillon"), QStringLiteral("Quillon")).clear(); }
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

  // The results of BaselineThenChange with file0 of f1 gone too; each row
  // shown as "kind path".
  void CompareFourChanges() {
    const std::string base = BaselineThenChange();
    std::vector<FindData> files;
    for (int i = 1; i < kFilesEach; ++i) files.push_back(FakeFolderSearch::File("file" + std::to_string(i), 10));
    search.AddFolder("/t/f1/", FakeFolderSearch::WithDots(files));
    CompareAfterListing(base);
  }
  std::vector<std::string> ResultRows() {
    std::vector<std::string> rows;
    const PaneModel* model = window.Model(PaneId::ListBox3);
    for (int row = 0; row < model->rowCount(); ++row) {
      const std::string line = model->data(model->index(row)).toString().toStdString();
      rows.push_back(line.substr(0, line.find(':')) + " " + std::string(PaneText::PathOf(line).value_or("")));
    }
    return rows;
  }
  void ChooseView(ActionId id) { ChooseFromMenu(window, "View1", window.Action(id)); }

  TempTree tree;
  const std::vector<std::string> kFound = {"Deleted /t/f0/file0", "Modified /t/f0/file1", "Deleted /t/f1/file0",
                                           "Added /t/f0/new"};
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

// The real dialogs, worked by the keys: puts a name into the field of the
// modal dialog the next call opens, and presses Enter.
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

TEST_F(WindowAudit, OpensATypedNameAsTypedAndANameWithoutItsExtensionToo) {
  QtDialogProvider real;
  tree.File("finance-listing", "x");
  tree.File("week.qln", "x");
  TypeAndEnter(QString::fromStdString(tree.Path("finance-listing")));
  EXPECT_EQ(real.OpenFile(), tree.Path("finance-listing"));
  TypeAndEnter(QString::fromStdString(tree.Path("week")));
  EXPECT_EQ(real.OpenFile(), tree.Path("week.qln"));
}

TEST_F(WindowAudit, TheFolderBrowsersFieldHoldsNothingEnterCannotTake) {
  QtDialogProvider real;
  tree.Dir("share");
  tree.Dir("share/inner");
  TypeAndEnter(QString::fromStdString(tree.Path("share")));
  EXPECT_EQ(real.BrowseForFolder("Browse", tree.Root()), tree.Path("share"));
  // Next time the field is empty and Enter takes the folder shown, the one chosen last.
  QString before = QStringLiteral("unset");
  TypeAndEnter(QString(), &before);
  EXPECT_EQ(real.BrowseForFolder("Browse", ""), tree.Path("share"));
  EXPECT_EQ(before, QString());
}

TEST_F(WindowAudit, TheResultsDialogProposesTheFolderButNoOldName) {
  QtDialogProvider real;
  TypeAndEnter(QString::fromStdString(tree.Path("results1")));
  const auto first = real.SaveResultsFile();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->fileName, tree.Path("results1.qln"));
  QString before = QStringLiteral("unset");
  TypeAndEnter(QStringLiteral("results2"), &before);
  const auto second = real.SaveResultsFile();
  ASSERT_TRUE(second);
  EXPECT_EQ(before, QString());
  EXPECT_EQ(second->fileName, tree.Path("results2.qln"));
}

TEST_F(WindowAudit, AsksBeforeDiscardingUnsavedWorkOnlyWhenChosen) {
  ListByToolbar();
  const int rows = window.Model(PaneId::ListBox1)->rowCount();
  QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(dialogs.Questions.empty());  // by default New asks nothing
  EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 0);

  ChooseFromMenu(window, "Edit1", window.Action(ActionId::EditAskBeforeDiscardAction));
  ASSERT_TRUE(window.Action(ActionId::EditAskBeforeDiscardAction)->isChecked());
  ListByToolbar();
  dialogs.Answers.push_back(ConfirmAnswer::Cancel);
  QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(dialogs.Questions.size(), 1u);
  EXPECT_EQ(dialogs.Questions[0], Texts::kUnsavedListingQuestion);
  EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), rows);
  // Closing asks too; Yes saves first, and a save given up keeps the window.
  dialogs.Answers.push_back(ConfirmAnswer::Yes);
  window.close();
  EXPECT_TRUE(window.isVisible());
  dialogs.Answers.push_back(ConfirmAnswer::Yes);
  dialogs.SaveNames.push_back(tree.Path("kept.qln"));
  QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
  EXPECT_NE(tree.Read("kept.qln").find("/t/f0/file0"), std::string::npos);
  EXPECT_EQ(window.Model(PaneId::ListBox1)->rowCount(), 0);
  // Saved work goes without a question.
  ListByToolbar();
  SaveByKey("again.qln");
  const std::size_t asked = dialogs.Questions.size();
  QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
  EXPECT_EQ(dialogs.Questions.size(), asked);
}

TEST_F(WindowAudit, AcceptsTheReviewedListingAsTheNewBaselineKeepingThePrevious) {
  const std::string base = BaselineThenChange();
  const std::string before = tree.Read("base.qln");
  QAction* accept = window.Action(ActionId::FileAcceptBaselineAction);
  EXPECT_FALSE(accept->isEnabled());
  CompareAfterListing(base);
  ASSERT_TRUE(accept->isEnabled());
  ChooseFromMenu(window, "File1", accept);
  EXPECT_EQ(tree.Read("base.qln.previous"), before);
  const std::string now = tree.Read("base.qln");
  EXPECT_NE(now, before);
  EXPECT_NE(now.find("/t/f0/new"), std::string::npos);
  EXPECT_EQ(Panel4(), "New baseline: " + base + "; the old one is " + base + ".previous");
  EXPECT_FALSE(accept->isEnabled());
  // The next audit compares with it: nothing changed since.
  CompareAfterListing(base);
  EXPECT_EQ(window.Panel(3)->text(), QStringLiteral("0 modified, 0 deleted, 0 added"));
}

TEST_F(WindowAudit, OffersTheRecentListingsInTheFileMenuNewestFirst) {
  ListByToolbar();
  const std::string first = SaveByKey("a&b.qln");
  ListByToolbar();
  const std::string second = tree.Path("second.qln");
  dialogs.SaveNames.push_back(second);
  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);  // Save As
  OpenByKey(first);
  QMenu* file = window.findChild<QMenu*>(QStringLiteral("File1"));
  QTest::mouseClick(window.menuBar(), Qt::LeftButton, {}, window.menuBar()->actionGeometry(file->menuAction()).center());
  ASSERT_TRUE(file->isVisible());
  QStringList shown;
  QAction* secondItem = nullptr;
  for (QAction* item : file->actions()) {
    if (!item->text().startsWith(QLatin1Char('&')) || item->text().size() < 3 || !item->text()[1].isDigit()) continue;
    shown << item->text();
    if (item->text().endsWith(QString::fromStdString(second))) secondItem = item;
  }
  EXPECT_EQ(shown, (QStringList{QString::fromStdString("&1 " + tree.Path("a&&b.qln")),
                                QString::fromStdString("&2 " + second)}));
  ASSERT_NE(secondItem, nullptr);
  QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(secondItem).center());
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label2"))->text().toStdString(), "Loaded File: " + second);
}


TEST_F(WindowAudit, SortsAndColoursTheResultsAsChosenAndSavesThemInTheOrderFound) {
  CompareFourChanges();
  ASSERT_EQ(ResultRows(), kFound);
  EXPECT_FALSE(window.Model(PaneId::ListBox3)->data(window.Model(PaneId::ListBox3)->index(0), Qt::ForegroundRole).isValid());
  ChooseView(ActionId::ViewSortByPathAction);
  EXPECT_EQ(ResultRows(), (std::vector<std::string>{"Deleted /t/f0/file0", "Modified /t/f0/file1", "Added /t/f0/new",
                                                    "Deleted /t/f1/file0"}));
  // One order at a time; by kind, each kind by path.
  ChooseView(ActionId::ViewSortByKindAction);
  EXPECT_FALSE(window.Action(ActionId::ViewSortByPathAction)->isChecked());
  EXPECT_EQ(ResultRows(), (std::vector<std::string>{"Modified /t/f0/file1", "Deleted /t/f0/file0",
                                                    "Deleted /t/f1/file0", "Added /t/f0/new"}));
  ChooseView(ActionId::ViewColourResultsAction);
  const PaneModel* model = window.Model(PaneId::ListBox3);
  EXPECT_EQ(model->data(model->index(0), Qt::ForegroundRole).value<QColor>(),
            QColor(QRgb(WindowLayout::kKindColours[static_cast<std::size_t>(ChangeKind::Modified)])));
  EXPECT_EQ(model->data(model->index(3), Qt::ForegroundRole).value<QColor>(),
            QColor(QRgb(WindowLayout::kKindColours[static_cast<std::size_t>(ChangeKind::Added)])));
  // The saved results keep the order they were found in.
  dialogs.SaveNames.push_back(tree.Path("results.txt"));
  Click("ToolSaveResultButton");
  const std::string saved = tree.Read("results.txt");
  std::vector<std::size_t> at;
  for (const std::string& row : kFound) at.push_back(saved.find(row.substr(row.find(' ') + 1)));
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && at.back() != std::string::npos) << saved;
}

TEST_F(WindowAudit, ShowsOnlyResultsHoldingTheTypedTextAndFindsInTheOrderShown) {
  CompareFourChanges();
  QTest::keyClicks(window.ResultTextEdit(), QStringLiteral("FILE0"));
  EXPECT_EQ(ResultRows(), (std::vector<std::string>{"Deleted /t/f0/file0", "Deleted /t/f1/file0"}));
  EXPECT_EQ(window.KindToggle(ChangeKind::Modified)->text(), QStringLiteral("Modified (1)"));  // counts stay whole
  QTest::keyClick(window.ResultTextEdit(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(window.ResultTextEdit(), Qt::Key_Backspace);
  ASSERT_EQ(ResultRows(), kFound);
  // Sorted by kind, the hits of "f0/" are rows 0, 1 and 3: the steps go down the rows.
  ChooseView(ActionId::ViewSortByKindAction);
  ClickRow(PaneId::ListBox3, 0);
  QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
  QTest::keyClicks(window.FindEdit(), QStringLiteral("f0/"));
  window.FinishFind();
  EXPECT_EQ(window.PaneView(PaneId::ListBox3)->currentIndex().row(), 1);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("2 of 3"));
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_EQ(window.PaneView(PaneId::ListBox3)->currentIndex().row(), 3);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("3 of 3"));
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_EQ(window.PaneView(PaneId::ListBox3)->currentIndex().row(), 0);
  EXPECT_EQ(window.FindCount()->text(), QStringLiteral("1 of 3"));
}

TEST_F(WindowAudit, AClickOnASortedRowShowsThatLineAndItsOldLine) {
  CompareFourChanges();
  ChooseView(ActionId::ViewSortByKindAction);
  ClickRow(PaneId::ListBox3, 0);
  EXPECT_NE(window.NonViewEdit()->text().indexOf(QStringLiteral("/t/f0/file1")), -1) << window.NonViewEdit()->text().toStdString();
  EXPECT_NE(window.findChild<QLabel*>(QStringLiteral("OldLineView"))->text().indexOf(QStringLiteral("Was: ")), -1);
}

TEST_F(WindowAudit, ANewComparisonComesInTheChosenOrderAndTheChoicesOutliveTheSession) {
  ChooseView(ActionId::ViewSortByKindAction);
  ChooseView(ActionId::ViewColourResultsAction);
  CompareFourChanges();
  EXPECT_EQ(ResultRows().front(), "Modified /t/f0/file1");
  Click("ToolCompareButton");
  EXPECT_EQ(ResultRows().size(), 4u);
  EXPECT_EQ(ResultRows().front(), "Modified /t/f0/file1");
  ScriptedDialogs later;
  QtMainWindow next(later, search, QStringLiteral("/nonexistent/quillon-help.html"));
  EXPECT_TRUE(next.Action(ActionId::ViewSortByKindAction)->isChecked());
  EXPECT_TRUE(next.Action(ActionId::ViewColourResultsAction)->isChecked());
  EXPECT_FALSE(next.Action(ActionId::ViewSortByPathAction)->isChecked());
}

TEST_F(WindowAudit, APaneClickedTakesTheArrowKeysAndTheLineFollows) {
  ListByToolbar();
  QListView* view = window.PaneView(PaneId::ListBox1);
  QTest::keyClick(view, Qt::Key_Home);
  ClickRow(PaneId::ListBox1, 1);
  ASSERT_EQ(QApplication::focusWidget(), view);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
  EXPECT_EQ(view->currentIndex().row(), 2);
  EXPECT_EQ(window.NonViewEdit()->text(), view->model()->data(view->model()->index(2, 0)).toString());
}

TEST_F(WindowAudit, CompareIsGreyedWhileTheNextListingRunsAndComparesOnceItEnds) {
  const std::string base = BaselineThenChange();
  OpenByKey(base);
  ListByToolbar();
  // The daily audit lists again: Compare was enabled, and a click on it
  // during the run would be dropped without a word.
  ASSERT_TRUE(Button("ToolCompareButton")->isEnabled());
  bool greyed = false, stopShown = false;
  OnFolder(3, [&] {
    greyed = !Button("ToolCompareButton")->isEnabled() && !Button("ToolOpenButton")->isEnabled();
    stopShown = Button("ToolStopButton")->isEnabled();
  });
  ListByToolbar();
  EXPECT_TRUE(greyed);
  EXPECT_TRUE(stopShown);
  ASSERT_TRUE(Button("ToolCompareButton")->isEnabled());
  Click("ToolCompareButton");
  EXPECT_EQ(window.Panel(3)->text(), QStringLiteral("1 modified, 1 deleted, 1 added"));
  EXPECT_EQ(window.windowTitle().toStdString(), Texts::kCaption);
}
