#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <thread>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "ScriptedFileReader.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "platform/PosixFolderSearch.h"

namespace {

struct Lister {
  RecordingSurfaces surfaces;
  TMainWindow window;
  Lister(FolderSearch& search, FileReader* reader = nullptr) : window(surfaces, search, RegionalSettings{}, reader) {}
  std::vector<std::string> List(const std::string& folder, bool md5 = false) {
    surfaces.FolderAnswers.push_back(folder);
    surfaces.Md5 = [md5] { return md5; };
    surfaces.ClearLog();
    EXPECT_TRUE(window.Dispatch([this] { window.EditListContentActionExecute(); }));
    return surfaces.Lines(PaneId::ListBox1);
  }
};

}  // namespace

TEST(Unreadable, EveryFolderAndEntryIsReportedInWalkOrderAndCounted) {
  using F = FakeFolderSearch;
  F search;
  search.AddFolder("/r/", F::WithDots({F::File("a", 1), F::Folder("locked"), F::Folder("eio"), F::File("x", 2),
                                       F::Folder("y")}));
  search.FailEntry("/r/", "x", EACCES);
  search.FailEntry("/r/", "y", EACCES);
  search.FailFolder("/r/locked/", 0, EACCES);
  search.AddFolder("/r/eio/", F::WithDots({F::File("b", 3), F::File("c", 4)}));
  search.FailFolder("/r/eio/", 3, EIO);  // after ".", ".." and "b"
  Lister run(search);
  const auto lines = run.List("/r");
  // The listing keeps its form: the folders are listed, their lost content is not.
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end() - 1),
            (std::vector<std::string>{">>> All directories found >>>", "/r/locked/", "/r/eio/",
                                      "<<< All directories found <<<"}));
  EXPECT_EQ(run.surfaces.Ops({"ReportUnreadable", "PaneAddLine(ListBox1, 01", "StatusSetPanelText(4"}),
            (std::vector<std::string>{
                "PaneAddLine(ListBox1, " + lines[0] + ")", "ReportUnreadable(file /r/x: Permission denied)",
                "ReportUnreadable(folder /r/y/: Permission denied)",
                "ReportUnreadable(folder /r/locked/: Permission denied)", "PaneAddLine(ListBox1, " + lines[1] + ")",
                "ReportUnreadable(folder /r/eio/: Input/output error)",
                "StatusSetPanelText(4, 3 folders and 1 file could not be read)"}));
  // A run that reads everything takes the count of the last run away, once.
  search.AddFolder("/r/", F::WithDots({F::File("a", 1)}));
  run.List("/r");
  EXPECT_EQ(run.surfaces.Ops({"StatusSetPanelText(4"}), std::vector<std::string>(1, "StatusSetPanelText(4, )"));
  run.List("/r");
  EXPECT_TRUE(run.surfaces.Ops({"StatusSetPanelText(4"}).empty());
}

TEST(Unreadable, ADigestReadsOnlyARegularFileAndOnlyAsTheSearchSawIt) {
  TempTree tree;
  for (const char* name : {"eio", "eintr", "grows", "proc", "empty", "torn"}) {
    tree.File(name, std::string(name) == "empty" ? "" : "hello\n");
    tree.SetTime(name, 0);
  }
  tree.Fifo("fifo");
  const std::string r = tree.Root() + "/";
  FindData fifo = FakeFolderSearch::File("fifo", 0, 0, FileAttribute::System);
  fifo.RegularFile = false;
  FakeFolderSearch search;
  search.AddFolder(r, {FakeFolderSearch::File("eio", 6), FakeFolderSearch::File("eintr", 6),
                       FakeFolderSearch::File("grows", 6), FakeFolderSearch::File("proc", 0),
                       FakeFolderSearch::File("empty", 0), fifo, FakeFolderSearch::File("torn", 6)});
  ScriptedFileReader reader;
  reader.ReadErrorOnce = {{r + "eio", EIO}, {r + "eintr", EINTR}};
  reader.StatSizeOf[r + "proc"] = 0;  // as /proc claims, whatever the file holds
  reader.AfterRead = [&](const std::string& path) {
    if (path == r + "torn") {  // rewritten in place, same size, its time put back
      const int fd = open(path.c_str(), O_WRONLY);
      EXPECT_EQ(pwrite(fd, "HELLO\n", 6, 0), 6);
      close(fd);
      tree.SetTime("torn", 0);
    }
    if (path != r + "grows") return;
    std::thread writer([&] { tree.File("grows", "hello, grown\n"); });  // same time, larger
    writer.join();
    tree.SetTime("grows", 0);
  };
  // A writer waits on the FIFO for a reader, whose data must stay there; the
  // system tells of every open of the FIFO.
  const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(opens, tree.Path("fifo").c_str(), IN_OPEN), 0);
  std::thread writer([&] {
    const int fd = open(tree.Path("fifo").c_str(), O_WRONLY);
    EXPECT_EQ(write(fd, "8 bytes!", 8), 8);
    close(fd);
  });
  Lister run(search, &reader);
  const auto lines = run.List(tree.Root(), true);
  const std::string zeros(32, '0');
  const std::vector<std::string> digests = {zeros, "b1946ac92492d2347c6235b4d2611184", zeros, zeros,
                                            "d41d8cd98f00b204e9800998ecf8427e", zeros, zeros};
  for (std::size_t i = 0; i < digests.size(); ++i) EXPECT_EQ(lines[i].substr(49, 32), digests[i]) << lines[i];
  EXPECT_EQ(run.surfaces.Unreadable, (std::vector<std::string>{"file " + r + "eio: Input/output error",
                                                               "file " + r + "grows: changed during the run",
                                                               "file " + r + "proc: changed during the run",
                                                               "file " + r + "torn: changed during the run"}));
  EXPECT_EQ(run.surfaces.Panels[4], "4 files could not be read");
  EXPECT_EQ(std::count(reader.Opened.begin(), reader.Opened.end(), r + "fifo"), 0);
  char event[sizeof(inotify_event) + NAME_MAX + 1];
  EXPECT_EQ(read(opens, event, sizeof event), -1) << "the FIFO was opened";
  close(opens);
  const int fd = open(tree.Path("fifo").c_str(), O_RDONLY);
  writer.join();
  char data[16];
  EXPECT_EQ(read(fd, data, sizeof data), 8);  // all its bytes, nothing lost
  close(fd);
}

TEST(Unreadable, ARewriteInTheTickOfTheLastChangeIsSeenWhereTheChangeTimeIsCoarse) {
  TempTree tree;
  tree.File("f", "hello\n");
  const std::string path = tree.Root() + "/f";
  ScriptedFileReader reader;
  reader.ChangeTimeTickNs = 20'000'000;  // as coarse as a system's ever is
  // Changed just before its read, and rewritten during it, in the same tick.
  reader.AfterOpen = [&](const std::string&) { tree.SetTime("f", 0); };
  reader.AfterRead = [&](const std::string&) {
    const int fd = open(path.c_str(), O_WRONLY);
    EXPECT_EQ(pwrite(fd, "HELLO\n", 6, 0), 6);
    close(fd);
    tree.SetTime("f", 0);
  };
  FakeFolderSearch search;
  search.AddFolder(tree.Root() + "/", {FakeFolderSearch::File("f", 6)});
  Lister run(search, &reader);
  EXPECT_EQ(run.List(tree.Root(), true)[0].substr(49, 32), std::string(32, '0'));
  EXPECT_EQ(run.surfaces.Unreadable, std::vector<std::string>{"file " + path + ": changed during the run"});
}

TEST(Unreadable, ATreeDeeperThanThePathLimitIsListedWhole) {
  // 31 folders of 200-byte names, over 6,000 bytes of path, each with a file.
  TempTree tree;
  const std::string name(200, 'd');
  std::vector<int> folders{open(tree.Root().c_str(), O_RDONLY | O_DIRECTORY)};
  std::string deepest = tree.Root() + "/";
  for (int depth = 0; depth < 31; ++depth) {
    close(openat(folders.back(), "file", O_CREAT | O_WRONLY, 0644));
    ASSERT_EQ(mkdirat(folders.back(), name.c_str(), 0755), 0);
    folders.push_back(openat(folders.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
    if (depth < 30) deepest += name + "/";
  }
  ASSERT_GT(deepest.size(), 6000u);
  PosixFolderSearch search;
  Lister run(search);
  const auto lines = run.List(tree.Root(), true);
  EXPECT_TRUE(run.surfaces.Unreadable.empty());
  EXPECT_EQ(lines.back(), "Number of Files = 31  Number of Folders = 31  Total Size = 0 Bytes");
  EXPECT_EQ(lines[30].substr(49), "d41d8cd98f00b204e9800998ecf8427e " + deepest + "file");
  // Too deep to be removed by paths: taken down from below.
  for (std::size_t i = folders.size() - 1; i > 0; --i) {
    close(folders[i]);
    EXPECT_EQ(unlinkat(folders[i - 1], "file", 0) | unlinkat(folders[i - 1], name.c_str(), AT_REMOVEDIR), 0);
  }
  close(folders[0]);
}
