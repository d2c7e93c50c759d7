#include <chrono>
#include <thread>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/PaneFind.h"
#include "app/PaneText.h"
#include "app/RunFigures.h"
#include "app/ShownRows.h"
#include "app/ResultFilter.h"
#include "app/TMainWindow.h"
#include "compare/FileLineFields.h"
#include "platform/SystemFolderSearch.h"

namespace {

std::string FileLine(const char* size, const char* attributes, const char* digest, const char* path) {
  return std::string("01.02.2024 10:00:00 ") + size + " Bytes " + attributes + " " + digest + path;
}

}  // namespace

TEST(RunFigures, NeverShowMoreDigestedThanFoundAndLeaveOutWhatIsUnknown) {
  RunFigures figures;
  const auto start = RunFigures::Clock::now();
  RunProgress progress;
  progress.digests = true;
  progress.bytesDigested = 7'524'800'000;
  progress.bytes = 1'000'000'000;
  progress.bytesFound = 2'147'500'000;  // queued ahead of the walk
  EXPECT_EQ(figures.PanelTexts(progress, start)[2], "MD5 2147.5 of 2147.5 MB");
  progress.bytes = progress.bytesFound = 0;  // the first file's digest before its line
  progress.bytesDigested = 1'449'700'000;
  EXPECT_EQ(figures.PanelTexts(progress, start)[2], "MD5 1449.7 MB");
  // A count that went back starts the rate afresh rather than wrapping round.
  progress.bytesDigested += 50'000'000;
  EXPECT_EQ(figures.PanelTexts(progress, start + std::chrono::seconds(2))[3], "25.0 MB/s");
}

TEST(PaneFind, FindsOnAWorkerAndStepsRoundTheHits) {
  std::vector<std::string> store;
  for (int i = 0; i < 100000; ++i) store.push_back(i % 1000 == 7 ? "a /Data/Report.TXT" : "a /data/other");
  const auto lines = std::make_shared<const std::vector<std::string_view>>(store.begin(), store.end());
  PaneFind find;
  find.Start(lines, "report.txt");
  while (!find.Done()) {
    find.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(find.Hits().size(), 100u);
  EXPECT_EQ(find.Hits().front(), 7);
  const PaneFind::RowOf all = [](int line) { return line; };
  EXPECT_EQ(find.StepShown(7, true, all), 1007);
  EXPECT_EQ(find.StepShown(99007, true, all), 7);  // round from the last
  EXPECT_EQ(find.StepShown(7, false, all), 99007);
  EXPECT_EQ(find.PlaceOf(1007, all), 2);
  EXPECT_EQ(find.PlaceOf(1008, all), 0);
  EXPECT_EQ(find.CountText(2, all), "2 of 100");
  EXPECT_EQ(find.CountText(0, all), "100 found");
  // Hidden lines are passed over; from no row the first or the last one shown.
  const PaneFind::RowOf some = [](int line) { return line % 2000 == 1007 ? line : -1; };
  EXPECT_EQ(find.StepShown(1007, true, some), 3007);
  EXPECT_EQ(find.StepShown(-1, false, some), 99007);
  EXPECT_EQ(find.CountText(0, some), "50 found");
  EXPECT_EQ(find.StepShown(-1, true, [](int) { return -1; }), -1);
  EXPECT_EQ(find.CountText(0, [](int) { return -1; }), "100 hidden");
  // A sorted view runs the other way: so do the steps and the places.
  const PaneFind::RowOf reversed = [](int line) { return 100000 - line; };
  EXPECT_EQ(find.StepShown(100000 - 1007, true, reversed), 7);
  EXPECT_EQ(find.StepShown(-1, true, reversed), 99007);
  EXPECT_EQ(find.PlaceOf(99007, reversed), 1);
  EXPECT_EQ(find.PlaceOf(7, reversed), 100);
  // A new search forgets the old hits; an empty text finds nothing.
  find.Start(lines, "");
  EXPECT_TRUE(find.Done());
  EXPECT_TRUE(find.Hits().empty());
  EXPECT_EQ(find.StepShown(0, true, all), -1);
  EXPECT_EQ(find.CountText(0, all), "");
  find.Restart(*lines, "nothing like it");
  while (!find.Done()) find.Poll();
  EXPECT_EQ(find.CountText(0, all), "not found");
}

TEST(ShownRows, MapsTheRowsOfAFilteredPaneToItsLinesAndBack) {
  ShownRows rows;
  EXPECT_EQ(rows.LineOfRow(3, 5), 3);
  EXPECT_EQ(rows.RowOfLine(5, 5), -1);
  rows.Show({1, 4});
  EXPECT_EQ(rows.Count(5), 2);
  EXPECT_EQ(rows.LineOfRow(1, 5), 4);
  EXPECT_EQ(rows.LineOfRow(2, 5), -1);
  EXPECT_EQ(rows.RowOfLine(4, 5), 1);
  EXPECT_EQ(rows.RowOfLine(2, 5), -1);
  // A sorted view: each line keeps its own row.
  rows.Show({4, 0, 2});
  EXPECT_EQ(rows.LineOfRow(0, 5), 4);
  EXPECT_EQ(rows.RowOfLine(2, 5), 2);
  EXPECT_EQ(rows.RowOfLine(0, 5), 1);
  EXPECT_EQ(rows.RowOfLine(3, 5), -1);
  EXPECT_EQ(rows.RowOfLine(9, 5), -1);
}

TEST(ResultFilter, CountsEachKindAndShowsOnlyTheChosenOnes) {
  const std::vector<std::string_view> lines = {"Modified: m", "Deleted: d1", "Added: a", "Deleted: d2",
                                               "*** Comparison stopped: the results above are incomplete ***"};
  ResultFilter filter;
  filter.Count(lines);
  EXPECT_EQ(filter.Caption(ChangeKind::Deleted), "Deleted (2)");
  EXPECT_EQ(filter.CountOf(ChangeKind::Moved), 0);
  filter.Show(ChangeKind::Deleted, false);
  EXPECT_FALSE(filter.ShowsAll());
  EXPECT_EQ(filter.VisibleRows(lines), (std::vector<int>{0, 2, 4}));
}

TEST(ResultFilter, SortsByPathOrKindAndKeepsOnlyLinesHoldingTheText) {
  const auto line = [](const char* kind, const char* path) {
    return std::string(kind) + FileLine("0000000001", "____N______", "", path);
  };
  const std::vector<std::string> store = {line("Modified: ", "/r/b/x"), line("Deleted: ", "/r/a-z"),
                                          line("Added: ", "/r/a/Report"), line("Modified: ", "/r/a/y"),
                                          "Moved: " + line("", "/r/c") + " <= /r/0", "No differences found... ;-)"};
  const std::vector<std::string_view> lines(store.begin(), store.end());
  ResultFilter filter;
  // A folder's own entries come before a name that goes on past it.
  filter.SetOrder(ResultFilter::Order::Path);
  EXPECT_FALSE(filter.ShowsAll());
  EXPECT_EQ(filter.VisibleRows(lines), (std::vector<int>{2, 3, 1, 0, 4, 5}));
  filter.SetOrder(ResultFilter::Order::Kind);
  EXPECT_EQ(filter.VisibleRows(lines), (std::vector<int>{3, 0, 1, 2, 4, 5}));
  // The text, whatever its case; lines of no kind stay.
  filter.SetText("REPORT");
  EXPECT_EQ(filter.VisibleRows(lines), (std::vector<int>{2, 5}));
  filter.Show(ChangeKind::Added, false);
  EXPECT_EQ(filter.VisibleRows(lines), (std::vector<int>{5}));
  filter.Show(ChangeKind::Added, true);
  filter.SetText("");
  // New results of as many lines are sorted afresh.
  std::vector<std::string_view> reversed(lines.rbegin(), lines.rend());
  filter.Count(reversed);
  EXPECT_EQ(filter.VisibleRows(reversed), (std::vector<int>{2, 5, 4, 3, 1, 0}));
  filter.SetOrder(ResultFilter::Order::Found);
  EXPECT_TRUE(filter.ShowsAll());
}

TEST(PaneText, NamesPathsFoldersAndTheChangedFieldsOfALine) {
  const std::string now = FileLine("0000000020", "____N______", "0123456789abcdef0123456789abcdef ", "/r/new/a.txt");
  const std::string old = FileLine("0000000010", "____N_____R", "0123456789abcdef0123456789abcdef ", "/r/old/a.txt");
  const std::string moved = "Moved: " + now + " <= /r/old/a.txt";
  EXPECT_EQ(PaneText::PathOf(moved), "/r/new/a.txt");
  EXPECT_EQ(PaneText::PathOf("/r/sub/"), "/r/sub/");
  EXPECT_EQ(PaneText::PathOf("Number of Files = 1"), std::nullopt);
  EXPECT_EQ(PaneText::ContainingFolder("/r/sub/"), "/r/");
  EXPECT_EQ(PaneText::Paths({moved, ">>> All directories found >>>", "/r/sub/"}), "/r/new/a.txt\n/r/sub/\n");
  std::vector<std::string> marked;
  for (const MarkedField& field : PaneText::ChangedFields(moved, old))
    marked.push_back(std::string(field.name) + "=" + old.substr(field.offset, field.length));
  EXPECT_EQ(marked, (std::vector<std::string>{"size=0000000010", "attributes=____N_____R", "path=/r/old/a.txt"}));
  EXPECT_TRUE(PaneText::ChangedFields("Deleted: x", old).empty());
  EXPECT_EQ(PaneText::ChangedNames(PaneText::ChangedFields(moved, old)), "Changed: size, attributes, path");
  EXPECT_EQ(PaneText::ChangedNames({}), "");
}

#ifndef _WIN32
TEST(ReuseDigestsInTheWindow, TellsHowManyDigestsWereReusedInPanelFour) {
  TempTree tree, store;
  tree.File("a", "one");
  tree.File("b", "two");
  RecordingSurfaces surfaces;
  SystemFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  window.SetDigestCacheFile(store.Path("cache.sqlite"));
  surfaces.Md5 = [] { return true; };
  surfaces.ReuseDigests = true;
  surfaces.FolderAnswers.push_back(tree.Root());
  ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  EXPECT_EQ(surfaces.Panels[4], "0 of 2 digests reused");  // nothing settled long enough yet
}
#endif

TEST(CompareFolderWithListing, OpensListsAndComparesAndShowsTheOldLineOfAChange) {
  TempTree tree;
  const std::string top = Native("/r/");
  tree.File("base.qln", FileLine("0000000005", "____N______", "", (top + "a").c_str()) + "\r\n" +
                            FileLine("0000000001", "____N______", "", (top + "gone").c_str()) +
                            "\r\n>>> All directories found >>>\r\n" + Native("/r/sub/") +
                            "\r\n<<< All directories found <<<\r\nNumber of Files = 2\r\n");
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  search.AddFolder(top, {FakeFolderSearch::File("a", 6, 1706781600)});
  TMainWindow window(surfaces, search, RegionalSettings{});
  surfaces.OpenAnswers.push_back(tree.Path("base.qln"));
  surfaces.FolderAnswers.push_back(Native("/r"));
  ASSERT_TRUE(window.Dispatch([&] { window.EditCompareFolderActionExecute(); }));
  EXPECT_EQ(surfaces.FolderStarts, std::vector<std::string>{top});
  ASSERT_EQ(surfaces.Lines(PaneId::ListBox3).size(), 2u);
  EXPECT_EQ(window.State().LastCommand, 2);
  surfaces.Pane(PaneId::ListBox3).SetSelectedIndex(0);
  window.ListBox3Click();
  EXPECT_EQ(surfaces.OldLine, "01.02.2024 10:00:00 [size:0000000005] Bytes ____N______ " + top + "a");
  surfaces.Pane(PaneId::ListBox3).SetSelectedIndex(1);  // Deleted: no old line
  window.ListBox3Click();
  EXPECT_EQ(surfaces.OldLine, "");
}

TEST(CompareFolderWithListing, ListsTheFolderWithTheDigestOfTheListingWhateverTheBoxSays) {
  TempTree tree, saved;
  tree.File("a", "content");
  SystemFolderSearch disk;
  for (const DigestAlgorithm algorithm : {DigestAlgorithm::Md5, DigestAlgorithm::Sha256}) {
    const std::string base = saved.Path(std::string(DigestNameOf(algorithm)) + ".qln");
    RecordingSurfaces first;
    TMainWindow maker(first, disk, RegionalSettings{});
    maker.SetDigestAlgorithm(algorithm);
    first.Md5 = [] { return true; };
    first.FolderAnswers.push_back(tree.Root());
    first.SaveAnswers.push_back(base);
    ASSERT_TRUE(maker.Dispatch([&] { maker.EditListContentActionExecute(); }));
    ASSERT_TRUE(maker.Dispatch([&] { maker.FileSaveAsActionExecute(); }));
    // The box unticked, or MD5 chosen against a SHA-256 baseline.
    RecordingSurfaces surfaces;
    TMainWindow window(surfaces, disk, RegionalSettings{});
    surfaces.OpenAnswers.push_back(base);
    surfaces.FolderAnswers.push_back(tree.Root());
    ASSERT_TRUE(window.Dispatch([&] { window.EditCompareFolderActionExecute(); }));
    EXPECT_EQ(surfaces.Lines(PaneId::ListBox3), std::vector<std::string>{"No differences found... ;-)"});
    const std::string name = algorithm == DigestAlgorithm::Md5 ? "MD5" : "SHA-256";
    ASSERT_EQ(surfaces.Warnings.size(), 1u);
    EXPECT_NE(surfaces.Warnings[0].find("with " + name + " digests, as " + base), std::string::npos)
        << surfaces.Warnings[0];
    // The next listing goes by the box again.
    surfaces.FolderAnswers.push_back(tree.Root());
    ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
    const auto fields = FileLineFields::Parse(surfaces.Lines(PaneId::ListBox1)[0]);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->Digest, "");
  }
}
