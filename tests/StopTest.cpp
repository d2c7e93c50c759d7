#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <mutex>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "ScriptedFileReader.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "surfaces/Version.h"
#include "engine/ReadAheadPool.h"
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
    while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
    closedir(tasks);
  }
  return count;
}

// 4 GiB that take no room: reading them whole would take seconds.
void HugeSparseFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kHugeFile)), 0);
  close(fd);
}

}  // namespace

TEST(StopListing, KeepsTheLinesFoundSoFarAndCountsAsNoListing) {
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  search.AddFolder("/r/", FakeFolderSearch::WithDots({FakeFolderSearch::File("a", 5), FakeFolderSearch::Folder("sub"),
                                                      FakeFolderSearch::File("b", 6), FakeFolderSearch::File("c", 7)}));
  const auto list = [&] {
    surfaces.FolderAnswers.push_back("/r");
    return window.Dispatch([&] { window.EditListContentActionExecute(); });
  };
  // A whole run and a comparison first: Save, Compare and Repeat are on.
  TempTree tree;
  tree.File("old.qln", FileLine("0000000005", "/r/a") + "\r\nNumber of Files = 1\r\n");
  surfaces.OpenAnswers.push_back(tree.Path("old.qln"));
  ASSERT_TRUE(list() && window.Dispatch([&] { window.FileOpenActionExecute(); }) &&
              window.Dispatch([&] { window.EditCompareContentActionExecute(); }));

  // Stopped once two file lines are in: the subfolder is never searched.
  surfaces.Stop = [&] { return surfaces.Pane(PaneId::ListBox1).Count() == 2; };
  search.Patterns.clear();
  ASSERT_TRUE(list());
  EXPECT_TRUE(SameLines({FileLine("0000000005", "/r/a"), FileLine("0000000006", "/r/b"), kListingStopped},
                        surfaces.Lines(PaneId::ListBox1)));
  EXPECT_EQ(search.Patterns, std::vector<std::string>{"/r/*.*"});
  EXPECT_EQ(surfaces.Progress.files, 2);
  EXPECT_EQ(surfaces.Progress.bytes, 11.0);
  // The counts so far stay, marked as partial, and the comparison's go.
  EXPECT_EQ(surfaces.Panels[0] + "|" + surfaces.Panels[1] + "|" + surfaces.Panels[2],
            "Files = 2 (partial)|Folders = 1 (partial)|Total = 11 Bytes (partial)");
  EXPECT_EQ(surfaces.Panels[3], "");
  EXPECT_TRUE(surfaces.Lines(PaneId::ListBox3).empty());
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveResultAction));
  EXPECT_EQ(surfaces.Caption, "Quillon - V" QUILLON_VERSION);
  EXPECT_FALSE(surfaces.Busy);
  EXPECT_FALSE(window.State().HasListing);
  EXPECT_EQ(window.State().LastCommand, 2);
  for (ActionId id : {ActionId::FileSaveAction, ActionId::FileSaveAsAction, ActionId::EditCompareContentAction,
                      ActionId::EditRepeatLastAction, ActionId::EditStopAction})
    EXPECT_FALSE(surfaces.IsEnabled(id)) << NameOf(id);
  // Even asked directly, the comparison takes no count from a stopped listing,
  // and Save As writes nothing.
  EXPECT_FALSE(window.Dispatch([&] { window.EditCompareContentActionExecute(); }));
  surfaces.SaveAnswers.push_back(tree.Path("partial.qln"));
  EXPECT_FALSE(window.Dispatch([&] { window.FileSaveAsActionExecute(); }));
  EXPECT_EQ(surfaces.Errors.back(), "A stopped listing is incomplete and cannot be saved.");
  EXPECT_EQ(surfaces.SaveAnswers.size(), 1u);
}

TEST(StopListing, GivesUpAHugeFileBetweenBlocksAndEndsTheReadingThreads) {
  TempTree tree;
  tree.Dir("d");
  tree.File("d/small", "small");
  HugeSparseFile(tree.Path("d/huge"));
  PosixFolderSearch disk;
  RecordingSurfaces surfaces;
  TMainWindow window(surfaces, disk, RegionalSettings{});
  surfaces.Md5 = [] { return true; };
  surfaces.Stop = [&] { return surfaces.Progress.bytesDigested >= (std::uint64_t{8} << 20); };
  const int threadsBefore = ThreadCount();
  surfaces.FolderAnswers.push_back(tree.Path("d"));
  ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  const auto lines = surfaces.Lines(PaneId::ListBox1);
  EXPECT_EQ(lines.back(), kListingStopped);
  for (const auto& line : lines) EXPECT_EQ(line.find("/huge"), std::string::npos) << line;
  EXPECT_LT(surfaces.Progress.bytesDigested, kHugeFile / 64);
  EXPECT_EQ(ThreadCount(), threadsBefore);

  // The read-ahead helpers give up their files too, and their threads end.
  ScriptedFileReader reader;
  std::promise<void> reading;
  std::once_flag first;
  reader.AfterRead = [&](const std::string&) { std::call_once(first, [&] { reading.set_value(); }); };
  ReadAheadPool<FileDigester::Result, FileDigester> pool([&] {
    auto digester = std::make_unique<FileDigester>(reader);
    digester->SetInterrupt([&pool] { return pool.Aborted(); });
    return digester;
  });
  pool.SetHelpers(2);
  struct stat st;
  ASSERT_EQ(lstat(tree.Path("d/huge").c_str(), &st), 0);
  const FileDigester::Expected huge{true, static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
                                    static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
  std::atomic<std::uint64_t> bytesRead{0};
  pool.Add([&](FileDigester& digester) {
    FileDigester::Result result = digester.ComputeFileDigest(tree.Path("d/huge"), huge);
    bytesRead = digester.BytesRead();
    return result;
  });
  // Ended while it reads: a helper that never started would fail here, not hang.
  ASSERT_EQ(reading.get_future().wait_for(std::chrono::minutes(1)), std::future_status::ready);
  pool.EndHelpers();
  EXPECT_GT(bytesRead, 0u);
  EXPECT_LT(bytesRead, kHugeFile / 64);
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(StopComparison, KeepsThePartialResultsAndTheyCannotBeSaved) {
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  const auto line = [](const std::string& path) { return FileLine("0000000001", path); };
  surfaces.SetPaneLines(PaneId::ListBox1, {line("/x/new1"), line("/x/new2"), "Number of Files = 2"});
  surfaces.SetPaneLines(PaneId::ListBox2, {line("/x/old1"), line("/x/old2"), line("/x/old3"), "Number of Files = 3"});
  const auto compare = [&] { return window.Dispatch([&] { window.EditCompareContentActionExecute(); }); };
  ASSERT_TRUE(compare());
  ASSERT_TRUE(surfaces.IsEnabled(ActionId::FileSaveResultAction));

  // Stopped in the first pass, after two of the three loaded lines.
  surfaces.Stop = [&] { return surfaces.Pane(PaneId::ListBox3).Count() == 2; };
  ASSERT_TRUE(compare());
  EXPECT_TRUE(SameLines({"Deleted: " + line("/x/old1"), "Deleted: " + line("/x/old2"), kComparisonStopped},
                        surfaces.Lines(PaneId::ListBox3)));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveResultAction));
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::EditStopAction));
  EXPECT_FALSE(surfaces.Busy);
  EXPECT_EQ(surfaces.Panels[3], "");

  // With moves detected, lines wait for the pairing at the end; stopped
  // before it, the changes so far are written unpaired.
  surfaces.DetectMoves = true;
  surfaces.StopPolls = 0;
  surfaces.Stop = [&] { return surfaces.StopPolls == 7; };  // 2 + 3 steps, then the second Added one
  ASSERT_TRUE(compare());
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox3).size(), 5u);
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox3)[3], "Added: " + line("/x/new1"));
}
