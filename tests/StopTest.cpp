#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "engine/DigestPrefetcher.h"
#include "platform/PosixFileReader.h"
#include "platform/PosixFolderSearch.h"

namespace {

constexpr const char* kListingStopped = "*** Listing stopped: incomplete, so it cannot be saved or compared ***";
constexpr const char* kComparisonStopped = "*** Comparison stopped: the results above are incomplete ***";
constexpr std::uint64_t kHugeFile = std::uint64_t{4} << 30;

std::string FileLine(const std::string& size, const std::string& path) {
  return "01.01.1970 00:00:00 " + size + " Bytes ____N______ " + path;
}

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks))
      if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
  }
  return count;
}

// A file of 4 GiB that takes no room: reading it whole would take seconds.
void HugeSparseFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kHugeFile)), 0);
  close(fd);
}

class StopListing : public ::testing::Test {
 protected:
  StopListing() : window(surfaces, search, RegionalSettings{}) {
    search.AddFolder("/r/", FakeFolderSearch::WithDots({FakeFolderSearch::File("a", 5), FakeFolderSearch::Folder("sub"),
                                                        FakeFolderSearch::File("b", 6), FakeFolderSearch::File("c", 7)}));
    search.AddFolder("/r/sub/", FakeFolderSearch::WithDots({FakeFolderSearch::File("d", 8)}));
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

TEST_F(StopListing, KeepsTheLinesFoundSoFarAndCountsAsNoListing) {
  // A whole run and an opened listing first: Save, Compare and Repeat are on.
  ASSERT_TRUE(List("/r"));
  TempTree tree;
  tree.File("old.qln", FileLine("0000000005", "/r/a") + "\r\nNumber of Files = 1\r\n");
  surfaces.OpenAnswers.push_back(tree.Path("old.qln"));
  ASSERT_TRUE(window.Dispatch([this] { window.FileOpenActionExecute(); }));
  ASSERT_TRUE(window.Dispatch([this] { window.EditCompareContentActionExecute(); }));
  ASSERT_EQ(window.State().LastCommand, 2);

  // Stopped once two file lines are in.
  surfaces.Stop = [this] { return surfaces.Pane(PaneId::ListBox1).Count() == 2; };
  surfaces.ClearLog();
  ASSERT_TRUE(List("/r"));
  EXPECT_TRUE(SameLines({FileLine("0000000005", "/r/a"), FileLine("0000000006", "/r/b"), kListingStopped},
                        surfaces.Lines(PaneId::ListBox1)));
  EXPECT_EQ(surfaces.Progress.files, 2);
  EXPECT_EQ(surfaces.Progress.folders, 1u);
  EXPECT_EQ(surfaces.Progress.bytes, 11.0);
  for (int panel = 0; panel <= 2; ++panel) EXPECT_EQ(surfaces.Panels[static_cast<std::size_t>(panel)], "") << panel;
  EXPECT_EQ(surfaces.Caption, "Quillon - V1.20");
  EXPECT_FALSE(surfaces.Busy);
  const MainWindowState& state = window.State();
  EXPECT_FALSE(state.HasListing);
  EXPECT_TRUE(state.FolderQueue.empty());
  EXPECT_EQ(state.LastCommand, 2);  // a stopped run is nothing to repeat
  for (ActionId id : {ActionId::FileSaveAction, ActionId::EditCompareContentAction, ActionId::EditRepeatLastAction,
                      ActionId::EditStopAction})
    EXPECT_FALSE(surfaces.IsEnabled(id)) << NameOf(id);
  EXPECT_EQ(surfaces.Ops().back(), "SetActionEnabled(EditStopAction, false)");
  // Even asked directly, the comparison takes no count from a stopped listing.
  ASSERT_FALSE(window.Dispatch([this] { window.EditCompareContentActionExecute(); }));
  EXPECT_EQ(surfaces.Errors.back(), "No file count can be read from the last line of the current listing.");

  // Stopped between two folders, the subfolder is never searched.
  surfaces.Stop = [this] { return surfaces.Pane(PaneId::ListBox1).Count() == 3; };
  search.Patterns.clear();
  ASSERT_TRUE(List("/r"));
  EXPECT_EQ(search.Patterns, std::vector<std::string>{"/r/*.*"});
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox1).size(), 4u);

  // The next run that is not stopped is a listing again.
  surfaces.Stop = [] { return false; };
  ASSERT_TRUE(List("/r"));
  EXPECT_TRUE(window.State().HasListing);
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::FileSaveAction));
  EXPECT_EQ(window.State().LastCommand, 1);
}

TEST_F(StopListing, IsAskedBeforeEveryEntryAndShowsTheFiguresSoFar) {
  std::vector<int> filesWhenAsked;
  surfaces.Stop = [&] {
    filesWhenAsked.push_back(surfaces.Progress.files);
    return false;
  };
  ASSERT_TRUE(List("/r"));
  // Six entries in the root, the subfolder, its three entries: each asked about first.
  EXPECT_EQ(filesWhenAsked, (std::vector<int>{0, 0, 0, 1, 1, 2, 3, 3, 3, 3}));
  EXPECT_EQ(surfaces.Panels[0], "Files = 4");
}

TEST_F(StopListing, GivesUpAHugeFileBetweenBlocksAndEndsTheReadingThread) {
  TempTree tree;
  tree.Dir("d");
  tree.File("d/small", "small");
  HugeSparseFile(tree.Path("d/huge"));
  tree.File("d/z", "after");
  PosixFolderSearch disk;
  RecordingSurfaces md5Surfaces;
  TMainWindow md5Window(md5Surfaces, disk, RegionalSettings{});
  md5Surfaces.Md5 = [] { return true; };
  // Stop once 8 MiB have been read for digests, on either thread.
  md5Surfaces.Stop = [&] { return md5Surfaces.Progress.bytesDigested >= (std::uint64_t{8} << 20); };
  const int threadsBefore = ThreadCount();
  md5Surfaces.FolderAnswers.push_back(tree.Path("d"));
  ASSERT_TRUE(md5Window.Dispatch([&] { md5Window.EditListContentActionExecute(); }));
  const auto lines = md5Surfaces.Lines(PaneId::ListBox1);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), kListingStopped);
  for (const auto& line : lines) EXPECT_EQ(line.find("/huge"), std::string::npos) << line;
  EXPECT_LT(md5Surfaces.Progress.bytesDigested, kHugeFile / 64);
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(StopReadAhead, TheHelperGivesUpItsFileAndItsThreadEnds) {
  TempTree tree;
  HugeSparseFile(tree.Path("huge"));
  const int threadsBefore = ThreadCount();
  PosixFileReader reader;
  DigestPrefetcher prefetcher(reader);
  // As the search sees a file: a regular one of its size and time.
  const auto expected = [](const std::string& path) {
    struct stat st;
    EXPECT_EQ(lstat(path.c_str(), &st), 0);
    return FileDigester::Expected{true, static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
                                  static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
  };
  prefetcher.Add(tree.Path("huge"), expected(tree.Path("huge")));
  EXPECT_EQ(ThreadCount(), threadsBefore + 1);
  while (prefetcher.HelperBytesRead() == 0) usleep(1000);
  prefetcher.EndHelper();
  EXPECT_LT(prefetcher.HelperBytesRead(), kHugeFile / 64);
  EXPECT_EQ(ThreadCount(), threadsBefore);
  // A job added afterwards is read by a new helper, or by the taker.
  tree.File("small", "abc");
  const std::size_t job = prefetcher.Add(tree.Path("small"), expected(tree.Path("small")));
  FileDigester digester(reader);
  EXPECT_EQ(prefetcher.Take(job, digester)->text, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(StopComparison, KeepsThePartialResultsAndTheyCannotBeSaved) {
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  const auto line = [](const std::string& path) { return FileLine("0000000001", path); };
  const std::vector<std::string> current = {line("/x/new1"), line("/x/new2"), "Number of Files = 2"};
  const std::vector<std::string> loaded = {line("/x/old1"), line("/x/old2"), line("/x/old3"), "Number of Files = 3"};
  surfaces.SetPaneLines(PaneId::ListBox1, current);
  surfaces.SetPaneLines(PaneId::ListBox2, loaded);
  ASSERT_TRUE(window.Dispatch([&] { window.EditCompareContentActionExecute(); }));
  ASSERT_EQ(surfaces.Lines(PaneId::ListBox3).size(), 5u);
  ASSERT_TRUE(surfaces.IsEnabled(ActionId::FileSaveResultAction));

  // Stopped in the first pass, after two of the three loaded lines.
  surfaces.Stop = [&] { return surfaces.Pane(PaneId::ListBox3).Count() == 2; };
  ASSERT_TRUE(window.Dispatch([&] { window.EditCompareContentActionExecute(); }));
  EXPECT_TRUE(SameLines({"Deleted: " + line("/x/old1"), "Deleted: " + line("/x/old2"), kComparisonStopped},
                        surfaces.Lines(PaneId::ListBox3)));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveResultAction));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::EditStopAction));
  EXPECT_FALSE(surfaces.Busy);
  EXPECT_EQ(surfaces.Panels[3], "");

  // With moves detected the lines wait for the pairing at the end; stopped
  // before it, the changes found so far are written unpaired.
  surfaces.DetectMoves = true;
  surfaces.StopPolls = 0;
  surfaces.Stop = [&] { return surfaces.StopPolls == 7; };  // 2 + 3 steps, then the second Added one
  ASSERT_TRUE(window.Dispatch([&] { window.EditCompareContentActionExecute(); }));
  EXPECT_TRUE(SameLines({"Deleted: " + line("/x/old1"), "Deleted: " + line("/x/old2"), "Deleted: " + line("/x/old3"),
                         "Added: " + line("/x/new1"), kComparisonStopped},
                        surfaces.Lines(PaneId::ListBox3)));
  surfaces.DetectMoves = false;

  // Stopped before the first step: the closing line alone.
  surfaces.Stop = [] { return true; };
  ASSERT_TRUE(window.Dispatch([&] { window.EditCompareContentActionExecute(); }));
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox3), std::vector<std::string>{kComparisonStopped});
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveResultAction));
}
