#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TestSupport.h"

namespace {

ProgramResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}

// Writes the bytes of a block again and again into a FIFO from a thread of
// its own, until they are written or the reader goes away.
class FifoWriter {
 public:
  FifoWriter(std::string path, std::string block, int times)
      : path_(std::move(path)), thread_([this, block = std::move(block), times] {
          sigset_t pipe;
          sigemptyset(&pipe);
          sigaddset(&pipe, SIGPIPE);
          pthread_sigmask(SIG_BLOCK, &pipe, nullptr);  // a reader gone fails the write, not the test
          const int fd = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
          const auto put = [fd, &block] {
            for (std::size_t at = 0; at < block.size();) {
              const ssize_t wrote = write(fd, block.data() + at, block.size() - at);
              if (wrote <= 0) return false;
              at += static_cast<std::size_t>(wrote);
            }
            return true;
          };
          for (int k = 0; fd >= 0 && k < times && put(); ++k) {
          }
          if (fd >= 0) close(fd);
        }) {}
  // Takes what a program that never opened the FIFO left, so that the thread ends.
  ~FifoWriter() {
    const int fd = open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    char block[65536];
    while (fd >= 0 && read(fd, block, sizeof block) != 0) {
    }
    thread_.join();
    if (fd >= 0) close(fd);
  }

 private:
  std::string path_;
  std::thread thread_;
};

// Results come in the order of the folder search; sorted, they can be compared.
std::vector<std::string> Sorted(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace

TEST(CliCompare, ExitsZeroWithoutAndOneWithDifferences) {
  TempTree tree;
  tree.Dir("data/sub");
  tree.File("data/keep", "same");
  tree.File("data/sub/edit", "before");
  tree.File("data/gone", "x");
  for (const char* file : {"data/keep", "data/sub/edit", "data/gone"}) tree.SetTime(file, 1700000000);
  ASSERT_EQ(Cli({"list", "--md5", tree.Path("data"), "-o", tree.Path("old.qln")}).exitCode, 0);

  const auto same = Cli({"compare", "--folder", tree.Path("data"), "--md5", tree.Path("old.qln")});
  EXPECT_EQ(same.exitCode, 0);
  EXPECT_EQ(same.out, "No differences found... ;-)\r\n");
  EXPECT_EQ(same.err, "0 modified, 0 deleted, 0 added\n");

  // Weeks later: one file edited (same size and time, other content), one gone, one new.
  tree.File("data/sub/edit", "after!");
  tree.SetTime("data/sub/edit", 1700000000);
  std::filesystem::remove(tree.Path("data/gone"));
  tree.File("data/new", "n");
  tree.SetTime("data/new", 1700000000);
  const auto changed = Cli({"compare", "--folder", tree.Path("data"), "--md5", tree.Path("old.qln")});
  EXPECT_EQ(changed.exitCode, 1);
  EXPECT_EQ(changed.err, "1 modified, 1 deleted, 1 added\n");
  const std::string r = tree.Path("data") + "/";
  const std::string date = "14.11.2023 22:13:20 ";
  EXPECT_TRUE(SameLines(Sorted(
      {"Deleted: " + date + "0000000001 Bytes ____N______ 9dd4e461268c8034f5c8564e155c67a6 " + r + "gone",
       "Modified: " + date + "0000000006 Bytes ____N______ 96a6cfe050c4063265b7b2e3b87b97b5 " + r + "sub/edit",
       "Added: " + date + "0000000001 Bytes ____N______ 7b8b965ad4bca0e41ab51de7b31363a1 " + r + "new"}),
      Sorted(SplitCrLf(changed.out))));

  // Two saved listings compare the same way, to a file as well.
  ASSERT_EQ(Cli({"list", "--md5", tree.Path("data"), "-o", tree.Path("new.qln")}).exitCode, 0);
  const auto files = Cli({"compare", tree.Path("new.qln"), tree.Path("old.qln"), "-o", tree.Path("results.txt")});
  EXPECT_EQ(files.exitCode, 1);
  EXPECT_EQ(files.out, "");
  EXPECT_EQ(tree.Read("results.txt"), changed.out);
}

TEST(CliCompare, ListsTheFolderAsTheLoadedListingWasMadeAndRefusesAChoiceAgainstIt) {
  TempTree tree;
  tree.Dir("data");
  tree.File("data/a", "content");
  for (const char* digest : {"--md5", "--sha256", ""}) {
    std::vector<std::string> list = {"list", tree.Path("data"), "-o", tree.Path(std::string("base") + digest)};
    if (*digest != '\0') list.insert(list.begin() + 1, digest);
    ASSERT_EQ(Cli(list).exitCode, 0);
    // No digest option: as the listing was made.
    const auto followed = Cli({"compare", "--folder", tree.Path("data"), tree.Path(std::string("base") + digest)});
    EXPECT_EQ(followed.exitCode, 0) << digest << followed.out << followed.err;
  }
  // An option the listing was not made with says what it was made with.
  const auto sha = Cli({"compare", "--folder", tree.Path("data"), "--md5", tree.Path("base--sha256")});
  EXPECT_EQ(sha.exitCode, 2);
  EXPECT_NE(sha.err.find("was made with SHA-256 digests, not with MD5 digests: give --sha256, or no digest option"),
            std::string::npos)
      << sha.err;
  const auto plain = Cli({"compare", "--folder", tree.Path("data"), "--sha256", tree.Path("base")});
  EXPECT_EQ(plain.exitCode, 2);
  EXPECT_NE(plain.err.find("was made without digests"), std::string::npos) << plain.err;
  EXPECT_EQ(plain.out, "");
}

TEST(CliCompare, ReportsErrorsWithExitCodeTwo) {
  TempTree tree;
  tree.File("listing.qln", "Number of Files = 0\r\n");
  tree.File("not-a-listing.txt", "hello\r\n");
  tree.File("empty.qln");
  const auto missing = Cli({"compare", tree.Path("listing.qln"), tree.Path("missing.qln")});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err, "quillon-cli: Cannot open file " + tree.Path("missing.qln") + "\nNo such file or directory.\n");
  const auto text = Cli({"compare", tree.Path("not-a-listing.txt"), tree.Path("listing.qln")});
  EXPECT_EQ(text.exitCode, 2);
  EXPECT_EQ(text.err, "quillon-cli: No file count can be read from the last line of the current listing.\n");
  const auto empty = Cli({"compare", tree.Path("listing.qln"), tree.Path("empty.qln")});
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_EQ(empty.err, "quillon-cli: List index out of bounds (-1)\nquillon-cli: the loaded listing '" +
                           tree.Path("empty.qln") + "' is empty\n");
  EXPECT_EQ(Cli({"compare", tree.Path("listing.qln")}).exitCode, 2);
  EXPECT_EQ(Cli({"compare", "--folder", tree.Path("no-folder"), tree.Path("listing.qln")}).exitCode, 2);
  EXPECT_EQ(Cli({"compare", "--md5", tree.Path("listing.qln"), tree.Path("listing.qln")}).exitCode, 2);
}

TEST(CliCompare, ASmallMemoryBudgetSpillsToTheTemporaryFolderWithTheSameBytesOut) {
  TempTree tree;
  std::string old, now;
  for (int k = 0; k < 3000; ++k) {
    const std::string path = " /srv/f" + std::to_string(k);
    old += "01.02.2024 10:00:00 0000000100 Bytes ____N______" + path + "\r\n";
    if (k % 97 != 0)
      now += "01.02.2024 10:00:0" + std::to_string(k % 89 == 0) + " 0000000100 Bytes ____N______" + path + "\r\n";
  }
  tree.File("old.qln", old + "Number of Files = 3000\r\n");
  tree.File("new.qln", now + "/srv/new 1\r\nNumber of Files = 9999\r\n" + now + "Number of Files = 2969\r\n");
  tree.Dir("spill");
  for (const char* format : {"text", "csv"}) {
    const auto whole = Cli({"compare", "--moves", "--format", format, tree.Path("new.qln"), tree.Path("old.qln")});
    const auto spilled = Cli({"compare", "--moves", "--format", format, "--memory", "64K", "--temp-dir",
                              tree.Path("spill"), tree.Path("new.qln"), tree.Path("old.qln")});
    EXPECT_EQ(whole.exitCode, 1);
    EXPECT_EQ(spilled.exitCode, 1);
    EXPECT_EQ(spilled.out, whole.out);
    EXPECT_EQ(spilled.err, whole.err);
  }
  EXPECT_TRUE(std::filesystem::is_empty(tree.Path("spill")));

  const auto nowhere = Cli({"compare", "--memory", "1K", "--temp-dir", tree.Path("none"), tree.Path("new.qln"),
                            tree.Path("old.qln"), "-o", tree.Path("out.txt")});
  EXPECT_EQ(nowhere.exitCode, 2);
  EXPECT_EQ(nowhere.out, "");
  EXPECT_EQ(nowhere.err,
            "quillon-cli: Cannot use temporary files in " + tree.Path("none") + "\nNo such file or directory.\n");
  EXPECT_FALSE(std::filesystem::exists(tree.Path("out.txt")));
  EXPECT_EQ(Cli({"compare", "--memory", "12Q", tree.Path("new.qln"), tree.Path("old.qln")}).exitCode, 2);
}

TEST(CliCompare, AListingFromAPipeAndTheListingOfAFolderSpillAlike) {
  TempTree tree;
  for (int d = 0; d < 7; ++d) tree.Dir("data/d" + std::to_string(d));
  for (int k = 0; k < 60; ++k) {
    tree.File("data/d" + std::to_string(k % 7) + "/f" + std::to_string(k),
              std::string(static_cast<std::size_t>(k), 'x'));
    tree.SetTime("data/d" + std::to_string(k % 7) + "/f" + std::to_string(k), 1700000000);
  }
  const auto listed = Cli({"list", tree.Path("data"), "-o", tree.Path("old.qln")});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  for (int k = 0; k < 60; k += 9)
    std::filesystem::remove(tree.Path("data/d" + std::to_string(k % 7) + "/f" + std::to_string(k)));
  tree.File("data/d1/new", "n");
  ASSERT_EQ(Cli({"list", tree.Path("data"), "-o", tree.Path("new.qln")}).exitCode, 0);

  // The listing of the folder goes to a temporary file past half of 1 KiB.
  const auto whole = Cli({"compare", "--moves", "--folder", tree.Path("data"), tree.Path("old.qln")});
  const auto spilled =
      Cli({"compare", "--moves", "--memory", "1K", "--folder", tree.Path("data"), tree.Path("old.qln")});
  EXPECT_EQ(whole.exitCode, 1);
  EXPECT_EQ(spilled.out, whole.out);
  EXPECT_EQ(spilled.err, whole.err);

  // A FIFO has no size to plan the partitions by.
  tree.Fifo("pipe");
  std::thread writer([&tree] { std::ofstream(tree.Path("pipe"), std::ios::binary) << tree.Read("new.qln"); });
  const auto piped = Cli({"compare", "--moves", "--memory", "1K", tree.Path("pipe"), tree.Path("old.qln")});
  writer.join();
  EXPECT_EQ(piped.out, whole.out);
  EXPECT_EQ(piped.exitCode, 1);
}

TEST(CliCompare, PairsARepeatedPathInOrderAndWarnsOnStandardError) {
  TempTree tree;
  tree.Dir("spill");
  const auto line = [](const char* size) { return "01.02.2024 10:00:00 " + std::string(size) + " Bytes ____N______ /a"; };
  tree.File("new.qln", line("0000000001") + "\r\n" + line("0000000002") + "\r\nNumber of Files = 2\r\n");
  tree.File("old.qln", line("0000000001") + "\r\n" + line("0000000003") + "\r\n" + line("0000000004") +
                           "\r\nNumber of Files = 3\r\n");
  const std::string rest = " more than once, which no listing of a folder does; such lines are paired in their "
                           "order, and those left over are Added or Deleted\n";
  for (const char* memory : {"1G", "1K"}) {
    const auto result = Cli({"compare", "--memory", memory, "--temp-dir", tree.Path("spill"), tree.Path("new.qln"),
                             tree.Path("old.qln")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Modified: " + line("0000000002") + "\r\nDeleted: " + line("0000000004") + "\r\n");
    EXPECT_EQ(result.err, "quillon-cli: warning: The current listing holds /a" + rest +
                              "quillon-cli: warning: The loaded listing holds /a" + rest + "1 modified, 1 deleted, 0 added\n");
  }
}

TEST(CliCompare, KeepsToASmallBudgetWithOneKeyThroughoutOrALineWithoutEnd) {
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
  GTEST_SKIP() << "the sanitizer's own memory hides the program's";
#endif
#endif
  // A child's peak counts what it shared with this process before exec: no
  // input or output is held here.
  TempTree tree;
  tree.Dir("spill");
  {
    std::ofstream listing(tree.Path("repeated.qln"), std::ios::binary);
    for (int k = 0; k < 200000; ++k) listing << "01.02.2024 10:00:00 0000000100 Bytes ____N______ /srv/a\r\n";
    listing << "Number of Files = 200000\r\n";
  }
  tree.File("empty.qln", "Number of Files = 0\r\n");
  const auto idle = Cli({"compare", tree.Path("empty.qln"), tree.Path("empty.qln")});
  // Past the program at rest: the budget of 1 MiB, a block of 4 MiB for
  // reading each listing, and some slack.
  const long allowance = 1024 + 2 * 4096 + 3072;
  const auto repeated = Cli({"compare", "--memory", "1M", "--temp-dir", tree.Path("spill"),
                             tree.Path("repeated.qln"), tree.Path("repeated.qln")});
  EXPECT_EQ(repeated.exitCode, 0);
  EXPECT_EQ(repeated.out, "No differences found... ;-)\r\n");
  EXPECT_LT(repeated.peakKilobytes - idle.peakKilobytes, allowance);
  // Every line Deleted, all with one move key.
  const auto deleted = Cli({"compare", "--moves", "--memory", "1M", "--temp-dir", tree.Path("spill"),
                            tree.Path("empty.qln"), tree.Path("repeated.qln"), "-o", tree.Path("deleted.txt")});
  EXPECT_EQ(deleted.err, "0 modified, 200000 deleted, 0 added, 0 moved\n");
  EXPECT_LT(deleted.peakKilobytes - idle.peakKilobytes, allowance);

  tree.Fifo("pipe");
  const auto endless = [&] {
    FifoWriter writer(tree.Path("pipe"), std::string(std::size_t{1} << 20, 'x'), 50);
    return Cli({"compare", "--memory", "1M", tree.Path("pipe"), tree.Path("empty.qln")});
  }();
  EXPECT_EQ(endless.exitCode, 2);
  EXPECT_EQ(endless.err,
            "quillon-cli: Line 1 of " + tree.Path("pipe") + " is longer than any line of a listing can be.\n");
  EXPECT_LT(endless.peakKilobytes - idle.peakKilobytes, allowance);
}
