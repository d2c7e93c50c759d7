#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "surfaces/Version.h"

namespace {

constexpr const char* kWait = "SetCaption(Quillon - V" QUILLON_VERSION " ~ Please Wait!)";
constexpr const char* kPlain = "SetCaption(Quillon - V" QUILLON_VERSION ")";

// The operations whose order a listing run keeps: what the user sees of the
// run, step by step. Queries of the window's choices, the Stop button and
// Save As come and go as the run needs them, so their place is not kept.
std::vector<std::string> OrderedOps(const std::vector<std::string>& ops) {
  static const std::vector<std::string> kKept = {
      "RunFolderBrowser(", "SetBusyCursor(", "SetLabelText(", "PaneClear(", "PaneAddLine(", "RefreshWindow(",
      "StatusSetPanelText(", "SetNormalCursor(", "SetCaption(", "PaneSetScrollExtent(",
      "SetActionEnabled(FileSaveAction", "SetActionEnabled(EditRepeatLastAction",
      "SetActionEnabled(EditCompareContentAction"};
  std::vector<std::string> kept;
  for (const std::string& op : ops)
    for (const std::string& prefix : kKept)
      if (op.rfind(prefix, 0) == 0) {
        kept.push_back(op);
        break;
      }
  return kept;
}

std::string FileLine(const std::string& size, const std::string& path) {
  return "01.01.1970 00:00:00 " + size + " Bytes ____N______ " + path;
}

class ListingRunTest : public ::testing::Test {
 protected:
  ListingRunTest() : window(surfaces, search, RegionalSettings{}) { surfaces.ClearLog(); }

  // The little tree most tests list: two files and a folder in the root.
  void SmallTree() {
    search.AddFolder(Native("/r/"), FakeFolderSearch::WithDots({FakeFolderSearch::File("a.txt", 5),
                                                        FakeFolderSearch::Folder("sub"),
                                                        FakeFolderSearch::File("b", 1000)}));
    search.AddFolder(Native("/r/sub/"), FakeFolderSearch::WithDots({FakeFolderSearch::File("c", 7)}));
  }

  bool List(const std::string& folder) {
    surfaces.FolderAnswers.push_back(folder);
    return window.Dispatch([this] { window.EditListContentActionExecute(); });
  }

  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window;
};

}  // namespace

TEST_F(ListingRunTest, RunsItsSurfaceOperationsInOrder) {
  SmallTree();
  surfaces.ClearLog();
  ASSERT_TRUE(List(Native("/r")));
  const std::vector<std::string> expected = {
      "RunFolderBrowser(Select the location that should be analysed...)",
      "SetBusyCursor()",
      "SetLabelText(Label1, Selected: " + Native("/r/") + ")",
      "PaneClear(ListBox1)",
      kWait,  // before the second entry, ".."
      "PaneAddLine(ListBox1, " + FileLine("0000000005", Native("/r/a.txt")) + ")",
      "PaneAddLine(ListBox1, " + FileLine("0000001000", Native("/r/b")) + ")",
      kWait,
      "PaneAddLine(ListBox1, " + FileLine("0000000007", Native("/r/sub/c")) + ")",
      "RefreshWindow()",
      "StatusSetPanelText(0, Files = 3)",
      "StatusSetPanelText(1, Folders = 1)",
      "StatusSetPanelText(2, Total = 1,012 Bytes)",
      "PaneAddLine(ListBox1, >>> All directories found >>>)",
      "PaneAddLine(ListBox1, " + Native("/r/sub/") + ")",
      "PaneAddLine(ListBox1, <<< All directories found <<<)",
      "PaneAddLine(ListBox1, Number of Files = 3  Number of Folders = 1  Total Size = 1,012 Bytes)",
      "SetNormalCursor()",
      kPlain,
      "PaneSetScrollExtent(ListBox1, 380)",  // 8 × 57 × 80 / 96
      "SetActionEnabled(FileSaveAction, true)",
      "SetActionEnabled(EditRepeatLastAction, true)",
  };
  EXPECT_TRUE(SameLines(expected, OrderedOps(surfaces.Ops())));
  // The Stop button is offered during the run alone, and Save As after it.
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::EditStopAction));
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::FileSaveAsAction));
  const MainWindowState& state = window.State();
  EXPECT_EQ(state.LastListPath, Native("/r/"));
  EXPECT_EQ(state.LastCommand, 1);
  EXPECT_EQ(state.FileCount, 3);
  EXPECT_EQ(state.TotalSize, 1012.0);
  EXPECT_EQ(state.WidestLine, 57);
  EXPECT_TRUE(state.FolderQueue.empty());
  EXPECT_TRUE(state.HasListing);
  EXPECT_FALSE(surfaces.Busy);
  EXPECT_EQ(search.Patterns, (std::vector<std::string>{Native("/r/*.*"), Native("/r/sub/*.*")}));
}

TEST_F(ListingRunTest, AlternatesTheCaptionEveryTwentyEntriesOfAFolder) {
  std::vector<FindData> entries;
  for (int i = 0; i < 98; ++i) entries.push_back(FakeFolderSearch::File("f" + std::to_string(i), 1));
  entries.push_back(FakeFolderSearch::Folder("empty"));
  search.AddFolder(Native("/big/"), FakeFolderSearch::WithDots(entries));  // 101 entries
  // A folder holding only "." and ".." still sets the wait caption.
  search.AddFolder(Native("/big/empty/"), FakeFolderSearch::WithDots({}));
  ASSERT_TRUE(List(Native("/big")));
  // Entries 2, 42, 82 set the wait caption, 22, 62 the plain one, counted
  // from 1 in each folder; the run restores the plain caption at its end.
  EXPECT_TRUE(SameLines({kWait, kPlain, kWait, kPlain, kWait, kWait, kPlain}, surfaces.Ops({"SetCaption"})));
  EXPECT_EQ(window.State().FileCount, 98);
}

TEST_F(ListingRunTest, ADriveRootWithoutDotEntriesChangesNoCaptionAtItsFirstEntry) {
  search.AddFolder(Native("/"), {FakeFolderSearch::File("only", 1)});
  ASSERT_TRUE(List(Native("/")));
  EXPECT_TRUE(SameLines({kPlain}, surfaces.Ops({"SetCaption"})));
  EXPECT_EQ(window.State().LastListPath, Native("/"));
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox1)[0], FileLine("0000000001", Native("/only")));
}

TEST_F(ListingRunTest, CancellingTheBrowserChangesNothing) {
  SmallTree();
  ASSERT_TRUE(List(Native("/r")));
  const auto before = surfaces.Lines(PaneId::ListBox1);
  for (const std::optional<std::string>& answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
    surfaces.ClearLog();
    surfaces.FolderAnswers.push_back(answer);
    ASSERT_TRUE(window.Dispatch([this] { window.EditListContentActionExecute(); }));
    EXPECT_TRUE(SameLines({"RunFolderBrowser(Select the location that should be analysed...)"}, surfaces.Ops()));
  }
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox1), before);
  EXPECT_EQ(window.State().LastListPath, Native("/r/"));
}

TEST_F(ListingRunTest, AnEmptyFolderGivesThreeLinesAndZeroTotals) {
  search.AddFolder(Native("/e/"), FakeFolderSearch::WithDots({}));
  ASSERT_TRUE(List(Native("/e/")));
  EXPECT_TRUE(SameLines({">>> All directories found >>>", "<<< All directories found <<<",
                         "Number of Files = 0  Number of Folders = 0  Total Size = 0 Bytes"},
                        surfaces.Lines(PaneId::ListBox1)));
  EXPECT_EQ(surfaces.Panels[0], "Files = 0");
  EXPECT_EQ(surfaces.Panels[1], "Folders = 0");
  EXPECT_EQ(surfaces.Panels[2], "Total = 0 Bytes");
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox1).ScrollExtent(), 0);
  EXPECT_EQ(window.State().LastListPath, Native("/e/"));
}

TEST_F(ListingRunTest, AFolderThatCannotBeSearchedIsListedButContributesNothing) {
  // "/t/locked/" is not known to the search, as if access were denied.
  search.AddFolder(Native("/t/"), {FakeFolderSearch::Folder("locked"), FakeFolderSearch::Folder("open")});
  search.AddFolder(Native("/t/open/"), {FakeFolderSearch::Folder("deeper")});
  search.AddFolder(Native("/t/open/deeper/"), {});
  ASSERT_TRUE(List(Native("/t")));
  EXPECT_TRUE(SameLines({">>> All directories found >>>", Native("/t/locked/"), Native("/t/open/"), Native("/t/open/deeper/"),
                         "<<< All directories found <<<",
                         "Number of Files = 0  Number of Folders = 3  Total Size = 0 Bytes"},
                        surfaces.Lines(PaneId::ListBox1)));
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox1).ScrollExtent(), 0);
}

TEST_F(ListingRunTest, APaneThatRefusesALineEndsTheRunWhereItFailed) {
  search.AddFolder(Native("/r/"), {FakeFolderSearch::File("a.txt", 5), FakeFolderSearch::Folder("sub"),
                           FakeFolderSearch::File("a-longer-name", 1)});
  surfaces.Pane(PaneId::ListBox1).SetCapacity(1);
  surfaces.ClearLog();
  EXPECT_FALSE(List(Native("/r")));
  EXPECT_EQ(surfaces.Errors, std::vector<std::string>{"Unable to insert a line."});
  const auto ops = surfaces.Ops();
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.back(), "ShowErrorBox(Unable to insert a line.)");
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox1), std::vector<std::string>{FileLine("0000000005", Native("/r/a.txt"))});
  // The steps after the failure did not run: busy cursor and wait caption stay.
  EXPECT_TRUE(surfaces.Busy);
  EXPECT_EQ(surfaces.Caption, "Quillon - V" QUILLON_VERSION " ~ Please Wait!");
  EXPECT_EQ(window.State().FileCount, 1);
  EXPECT_EQ(window.State().WidestLine, 65);  // the refused line counts
  EXPECT_EQ(window.State().LastCommand, 0);
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveAction));

  // The folders left queued by the failed run are dropped by the next one.
  surfaces.Pane(PaneId::ListBox1).SetCapacity(ListPane::kUnlimited);
  search.AddFolder(Native("/other/"), {FakeFolderSearch::File("x", 2)});
  ASSERT_TRUE(List(Native("/other")));
  EXPECT_TRUE(SameLines({FileLine("0000000002", Native("/other/x")), ">>> All directories found >>>",
                         "<<< All directories found <<<",
                         "Number of Files = 1  Number of Folders = 0  Total Size = 2 Bytes"},
                        surfaces.Lines(PaneId::ListBox1)));
}

TEST_F(ListingRunTest, ReadsTheCheckBoxForEveryFile) {
  search.AddFolder(Native("/m/"), {FakeFolderSearch::File("one", 1), FakeFolderSearch::File("two", 2),
                           FakeFolderSearch::File("three", 3)});
  bool ticked = false;
  surfaces.Md5 = [&ticked] { return ticked = !ticked; };
  ASSERT_TRUE(List(Native("/m")));
  const auto lines = surfaces.Lines(PaneId::ListBox1);
  // The fake files cannot be opened, so their digest is 32 zeros.
  const std::string zeros(32, '0');
  EXPECT_EQ(lines[0], "01.01.1970 00:00:00 0000000001 Bytes ____N______ " + zeros + " " + Native("/m/one"));
  EXPECT_EQ(lines[1], FileLine("0000000002", Native("/m/two")));
  EXPECT_EQ(lines[2], "01.01.1970 00:00:00 0000000003 Bytes ____N______ " + zeros + " " + Native("/m/three"));
  EXPECT_EQ(window.State().WidestLine, static_cast<int>(lines[2].size()));
}

TEST_F(ListingRunTest, ASecondRunStartsAfreshAndRepeatSkipsTheBrowser) {
  SmallTree();
  ASSERT_TRUE(List(Native("/r")));
  const auto first = surfaces.Lines(PaneId::ListBox1);
  surfaces.ClearLog();
  ASSERT_TRUE(window.Dispatch([this] { window.EditRepeatLastActionExecute(); }));
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox1), first);
  EXPECT_EQ(window.State().FileCount, 3);
  // Repeat neither shows the browser nor turns the busy cursor on first.
  EXPECT_EQ(OrderedOps(surfaces.Ops()).front(), "SetLabelText(Label1, Selected: " + Native("/r/") + ")");
  EXPECT_TRUE(surfaces.Ops({"RunFolderBrowser", "SetBusyCursor"}).empty());
  EXPECT_EQ(window.State().LastCommand, 1);
}

TEST_F(ListingRunTest, EnablesCompareOnlyWithALoadedListing) {
  SmallTree();
  ASSERT_TRUE(List(Native("/r")));
  EXPECT_TRUE(surfaces.Ops({"SetActionEnabled(EditCompareContentAction"}).empty());

  TempTree tree;
  tree.File("loaded.qln", "Number of Files = 0\r\n");
  surfaces.OpenAnswers.push_back(tree.Path("loaded.qln"));
  ASSERT_TRUE(window.Dispatch([this] { window.FileOpenActionExecute(); }));
  surfaces.ClearLog();
  ASSERT_TRUE(List(Native("/r")));
  EXPECT_EQ(surfaces.Ops({"SetActionEnabled(EditCompareContentAction"}),
            std::vector<std::string>{"SetActionEnabled(EditCompareContentAction, true)"});
}

TEST(FolderQueue, KeepsPassedFoldersInATemporaryFileAndGivesThemAllBackInOrder) {
  FolderQueue queue;
  queue.SetMemoryLimit(10);
  std::vector<std::string> all;
  for (int k = 0; k < 50; ++k) {
    all.push_back("/r/folder" + std::to_string(k) + "/");
    queue.push_back(all.back());
    // The walk passes every other folder as it goes; those ahead stay at hand.
    if (k % 2 == 1) queue.Passed(static_cast<std::size_t>(k / 2));
    EXPECT_EQ(queue[static_cast<std::size_t>(k / 2)], all[static_cast<std::size_t>(k / 2)]);
  }
  EXPECT_EQ(queue.size(), all.size());
  std::vector<std::string> section;
  queue.ForEach([&section](const std::string& folder) { section.push_back(folder); });
  EXPECT_EQ(section, all);
  queue.clear();
  EXPECT_TRUE(queue.empty());
}

TEST_F(ListingRunTest, ARegionalChangeDuringARunAppliesOnceTheRunEnds) {
  SmallTree();
  // Announced as the second file is listed.
  int asked = 0;
  surfaces.Md5 = [&] {
    if (++asked == 2) window.SetRegionalSettings(RegionalSettings{".", "."});
    return false;
  };
  ASSERT_TRUE(List(Native("/r")));
  auto lines = surfaces.Lines(PaneId::ListBox1);
  EXPECT_EQ(lines[2], FileLine("0000000007", Native("/r/sub/c")));
  EXPECT_EQ(lines.back(), "Number of Files = 3  Number of Folders = 1  Total Size = 1,012 Bytes");
  ASSERT_TRUE(List(Native("/r")));
  lines = surfaces.Lines(PaneId::ListBox1);
  EXPECT_EQ(lines[2], "01.01.1970 00.00.00 0000000007 Bytes ____N______ " + Native("/r/sub/c"));
  EXPECT_EQ(lines.back(), "Number of Files = 3  Number of Folders = 1  Total Size = 1.012 Bytes");
}
