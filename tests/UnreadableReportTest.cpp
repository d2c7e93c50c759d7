#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "ScriptedFileReader.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "platform/PosixFolderSearch.h"

namespace {

std::string FileLine(const std::string& size, const std::string& path) {
  return "01.01.1970 00:00:00 " + size + " Bytes ____N______ " + path;
}

class UnreadableReportTest : public ::testing::Test {
 protected:
  UnreadableReportTest() : window(surfaces, search, RegionalSettings{}) {}

  void List(const std::string& folder) {
    surfaces.FolderAnswers.push_back(folder);
    surfaces.ClearLog();
    surfaces.Unreadable.clear();
    ASSERT_TRUE(window.Dispatch([this] { window.EditListContentActionExecute(); }));
  }

  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window;
};

}  // namespace

TEST_F(UnreadableReportTest, ReportsEveryFolderAndEntryThatCouldNotBeReadAndCountsThem) {
  using F = FakeFolderSearch;
  search.AddFolder("/r/", F::WithDots({F::File("a", 1), F::Folder("locked"), F::Folder("eio"), F::File("hidden", 2),
                                       F::Folder("ghost")}));
  search.FailEntry("/r/", "hidden", EACCES);
  search.FailEntry("/r/", "ghost", EACCES);
  search.FailFolder("/r/locked/", 0, EACCES);
  search.AddFolder("/r/eio/", F::WithDots({F::File("b", 3), F::File("c", 4)}));
  search.FailFolder("/r/eio/", 3, EIO);  // after ".", ".." and "b"
  List("/r");
  // The listing keeps its form: the folders are listed, their lost content is not.
  EXPECT_TRUE(SameLines({FileLine("0000000001", "/r/a"), FileLine("0000000003", "/r/eio/b"),
                         ">>> All directories found >>>", "/r/locked/", "/r/eio/", "<<< All directories found <<<",
                         "Number of Files = 2  Number of Folders = 2  Total Size = 4 Bytes"},
                        surfaces.Lines(PaneId::ListBox1)));
  // Told in walk order, each after its folder's lines; then the count.
  EXPECT_EQ(surfaces.Ops({"ReportUnreadable", "PaneAddLine(ListBox1, 01", "StatusSetPanelText(4"}),
            (std::vector<std::string>{
                "PaneAddLine(ListBox1, " + FileLine("0000000001", "/r/a") + ")",
                "ReportUnreadable(file /r/hidden: Permission denied)",
                "ReportUnreadable(folder /r/ghost/: Permission denied)",
                "ReportUnreadable(folder /r/locked/: Permission denied)",
                "PaneAddLine(ListBox1, " + FileLine("0000000003", "/r/eio/b") + ")",
                "ReportUnreadable(folder /r/eio/: Input/output error)",
                "StatusSetPanelText(4, 3 folders and 1 file could not be read)",
            }));

  // A run that reads everything takes the count of the last one away, once.
  search.AddFolder("/r/locked/", {});
  search.FailFolder("/r/locked/", 0, 0);
  search.FailFolder("/r/eio/", 0, 0);
  search.AddFolder("/r/", F::WithDots({F::File("a", 1)}));
  for (const char* expected : {"StatusSetPanelText(4, )", ""}) {
    List("/r");
    const auto panel4 = surfaces.Ops({"StatusSetPanelText(4"});
    EXPECT_EQ(panel4, *expected ? std::vector<std::string>{expected} : std::vector<std::string>{});
  }
}

TEST_F(UnreadableReportTest, TheListedFolderThatCannotBeReadIsReportedToo) {
  search.FailFolder("/r/", 0, EACCES);
  List("/r");
  EXPECT_EQ(surfaces.Unreadable, std::vector<std::string>{"folder /r/: Permission denied"});
  EXPECT_EQ(surfaces.Panels[4], "1 folder could not be read");
  EXPECT_EQ(window.State().FileCount, 0);
}

TEST_F(UnreadableReportTest, ADigestThatCouldNotBeReadCountsAndShowsZeros) {
  TempTree tree;
  for (const char* name : {"bad", "good"}) {
    tree.File(name, "hello\n");
    tree.SetTime(name, 0);
  }
  tree.File("grown", "hello\n");  // the search saw it at 5 bytes
  tree.SetTime("grown", 0);
  const std::string r = tree.Root() + "/";
  search.AddFolder(r, {FakeFolderSearch::File("bad", 6), FakeFolderSearch::File("good", 6),
                       FakeFolderSearch::File("grown", 5)});
  ScriptedFileReader reader;
  reader.ReadErrorsOf[r + "bad"] = EIO;
  TMainWindow digesting(surfaces, search, RegionalSettings{}, &reader);
  surfaces.Md5 = [] { return true; };
  surfaces.FolderAnswers.push_back(tree.Root());
  ASSERT_TRUE(digesting.Dispatch([&] { digesting.EditListContentActionExecute(); }));
  const auto lines = surfaces.Lines(PaneId::ListBox1);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].substr(49, 32), std::string(32, '0'));
  EXPECT_EQ(lines[1].substr(49, 32), "b1946ac92492d2347c6235b4d2611184");
  EXPECT_EQ(lines[2].substr(49, 32), std::string(32, '0'));
  EXPECT_EQ(surfaces.Unreadable, (std::vector<std::string>{"file " + r + "bad: Input/output error",
                                                           "file " + r + "grown: changed during the run"}));
  EXPECT_EQ(surfaces.Panels[4], "2 files could not be read");
}

TEST(LongPaths, ListsATreeDeeperThanThePathLimitWhole) {
  // 30 folders of 200-byte names: some 6,000 bytes of path below the root.
  TempTree tree;
  const std::string name(200, 'd');
  std::vector<int> folders{open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY)};
  std::string path = tree.Root() + "/";
  std::vector<std::string> expectedFolders;
  for (int depth = 0; depth < 30; ++depth) {
    const int fd = openat(folders.back(), "file", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "hello\n", 6), 6);
    close(fd);
    ASSERT_EQ(mkdirat(folders.back(), name.c_str(), 0755), 0);
    folders.push_back(openat(folders.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
    ASSERT_GE(folders.back(), 0);
    path += name + "/";
    expectedFolders.push_back(path);
  }
  ASSERT_GT(path.size(), 6000u);
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  surfaces.FolderAnswers.push_back(tree.Root());
  surfaces.Md5 = [] { return true; };
  ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  const auto lines = surfaces.Lines(PaneId::ListBox1);
  ASSERT_EQ(lines.size(), 30u + 30u + 3u);
  EXPECT_TRUE(surfaces.Unreadable.empty());
  for (std::size_t i = 0; i < 30; ++i) {
    const std::string folder = i == 0 ? tree.Root() + "/" : expectedFolders[i - 1];
    EXPECT_EQ(lines[i].substr(49), "b1946ac92492d2347c6235b4d2611184 " + folder + "file") << i;
    EXPECT_EQ(lines[31 + i], expectedFolders[i]);
  }
  // The tree is too deep for a removal by paths: take it down from below.
  for (std::size_t i = folders.size() - 1; i > 0; --i) {
    EXPECT_EQ(unlinkat(folders[i - 1], "file", 0), 0);
    close(folders[i]);
    EXPECT_EQ(unlinkat(folders[i - 1], name.c_str(), AT_REMOVEDIR), 0);
  }
  close(folders[0]);
}
