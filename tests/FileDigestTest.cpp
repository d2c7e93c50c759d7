#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "ScriptedFileReader.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "engine/FileDigester.h"
#include "platform/PosixFolderSearch.h"

namespace {

constexpr std::int64_t kTime = 1700000000;
const std::string kZeros(32, '0');
const std::string kHelloDigest = "b1946ac92492d2347c6235b4d2611184";  // "hello\n"
const std::string kEmptyDigest = "d41d8cd98f00b204e9800998ecf8427e";

FileDigester::Expected Listed(std::uint64_t size) { return {true, size, kTime, 0}; }

// A file "f" of the tree holding "hello\n", listed at kTime.
struct HelloFile {
  TempTree tree;
  std::string path = tree.Path("f");
  HelloFile() {
    tree.File("f", "hello\n");
    tree.SetTime("f", kTime);
  }
};

}  // namespace

TEST(FileDigester, RetriesAnInterruptedReadAndGivesZerosOnlyForARealError) {
  HelloFile file;
  ScriptedFileReader interrupted;
  interrupted.ReadErrors = {{0, EINTR}, {1, EINTR}};
  FileDigester::Result result = FileDigester(interrupted).ComputeFileDigest(file.path, Listed(6));
  EXPECT_EQ(result.text, kHelloDigest);
  EXPECT_EQ(result.outcome, FileDigester::Outcome::Read);

  ScriptedFileReader failing;
  failing.ReadErrors = {{1, EIO}};  // the read that would find the end
  result = FileDigester(failing).ComputeFileDigest(file.path, Listed(6));
  EXPECT_EQ(result.text, kZeros);
  EXPECT_EQ(result.outcome, FileDigester::Outcome::Failed);
  EXPECT_EQ(result.error, EIO);

  result = FileDigester(failing).ComputeFileDigest(file.tree.Path("gone"), Listed(6));
  EXPECT_EQ(result.outcome, FileDigester::Outcome::Failed);
  EXPECT_EQ(result.error, ENOENT);
}

TEST(FileDigester, AFileThatChangesUnderTheReadGetsZeros) {
  HelloFile file;
  // Grown by another thread while it is read: one byte past its listed size
  // is enough to tell.
  ScriptedFileReader growing;
  growing.AfterRead = [&](int call) {
    if (call != 0) return;
    std::thread writer([&] {
      const int fd = open(file.path.c_str(), O_WRONLY | O_APPEND);
      ASSERT_GE(fd, 0);
      EXPECT_EQ(write(fd, "more", 4), 4);
      close(fd);
    });
    writer.join();
  };
  FileDigester::Result result = FileDigester(growing).ComputeFileDigest(file.path, Listed(6));
  EXPECT_EQ(result.text, kZeros);
  EXPECT_EQ(result.outcome, FileDigester::Outcome::Changed);

  // Rewritten, same size, new time, during the read.
  HelloFile touched;
  ScriptedFileReader touching;
  touching.AfterRead = [&](int) { touched.tree.SetTime("f", kTime + 1); };
  EXPECT_EQ(FileDigester(touching).ComputeFileDigest(touched.path, Listed(6)).outcome,
            FileDigester::Outcome::Changed);

  // Longer, or shorter, than the search saw it: not even read.
  for (std::uint64_t listedSize : {5u, 7u}) {
    ScriptedFileReader reader;
    result = FileDigester(reader).ComputeFileDigest(touched.path, {true, listedSize, kTime + 1, 0});
    EXPECT_EQ(result.outcome, FileDigester::Outcome::Changed) << listedSize;
    EXPECT_EQ(result.text, kZeros);
  }
}

TEST(FileDigester, AFileThatClaimsSizeZeroGetsTheEmptyDigestOnlyWhenItReadsEmpty) {
  // Files of /proc and /sys claim a size of 0 whatever they hold.
  HelloFile file;
  ScriptedFileReader proc;
  proc.StatSize = 0;
  FileDigester::Result result = FileDigester(proc).ComputeFileDigest(file.path, Listed(0));
  EXPECT_EQ(result.outcome, FileDigester::Outcome::Changed);
  EXPECT_EQ(result.text, kZeros);
  // Such a read must not wait: a file of size 0 is opened without blocking.
  EXPECT_EQ(proc.OpenedNonBlocking, std::vector<bool>{true});

  file.tree.File("empty");
  file.tree.SetTime("empty", kTime);
  ScriptedFileReader reader;
  EXPECT_EQ(FileDigester(reader).ComputeFileDigest(file.tree.Path("empty"), Listed(0)).text, kEmptyDigest);
}

TEST(FileDigester, NeverOpensWhatTheSearchDidNotFindToBeARegularFile) {
  TempTree tree;
  tree.Fifo("fifo");
  ASSERT_EQ(mknod(tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  tree.Link("link", "fifo");
  // A writer waits on the FIFO for a reader; opening it would let it go.
  std::atomic<bool> released{false};
  std::thread writer([&] {
    const int fd = open(tree.Path("fifo").c_str(), O_WRONLY);
    released = true;
    if (fd >= 0) {
      EXPECT_EQ(write(fd, "8 bytes!", 8), 8);
      close(fd);
    }
  });
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  ScriptedFileReader reader;
  TMainWindow window(surfaces, search, RegionalSettings{}, &reader);
  surfaces.FolderAnswers.push_back(tree.Root());
  surfaces.Md5 = [] { return true; };
  ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  EXPECT_EQ(window.State().FileCount, 3);
  EXPECT_TRUE(reader.Opened.empty());
  EXPECT_TRUE(surfaces.Unreadable.empty());  // special files are no failures
  // Give a wrongly released writer time to show itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(released);
  // Now read its bytes, all of them: nothing was lost.
  const int fd = open(tree.Path("fifo").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  writer.join();
  char data[16];
  EXPECT_EQ(read(fd, data, sizeof data), 8);
  close(fd);
}
