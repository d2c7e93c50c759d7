#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TestSupport.h"

namespace {

constexpr std::int64_t kOld = 1577836800;  // 01.01.2020, as touch -d would set it

// Files changed less than two seconds before a run are never reused: a tree
// made by a test must settle before its digests can be kept.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(2100)); }

struct CachedRun {
  ProgramResult result;
  std::string Reused() const {
    const auto end = result.err.rfind(" digests reused");
    const auto start = result.err.rfind('\n', end) + 1;
    return end == std::string::npos ? "none" : result.err.substr(start, end - start);
  }
};

CachedRun ListCached(const TempTree& tree, const std::string& cache) {
  return {RunProgram({CliPath(), "list", "--md5", "--reuse-digests", "--digest-cache", cache, tree.Root()})};
}

std::string ListRead(const TempTree& tree) { return RunProgram({CliPath(), "list", "--md5", tree.Root()}).out; }

TEST(DigestReuse, ReusesOnlyWhatIsUnchangedEvenWhenTheTimeIsPutBack) {
  TempTree tree, store;  // the cache outside the listed tree
  for (int folder = 0; folder < 6; ++folder) {
    tree.Dir("d" + std::to_string(folder));
    for (int file = 0; file < 500; ++file)
      tree.File("d" + std::to_string(folder) + "/f" + std::to_string(file), std::to_string(folder * 1000 + file));
  }
  for (const char* name : {"a", "b"}) {
    tree.File(name, std::string("content of ") + name);
    tree.SetTime(name, kOld);
  }
  const std::string cache = store.Path("cache.sqlite");
  const std::string read = (Settle(), ListRead(tree));
  // Two runs at once both finish, and both write what they read.
  CachedRun one, two;
  std::thread first([&] { one = ListCached(tree, cache); });
  std::thread second([&] { two = ListCached(tree, cache); });
  first.join();
  second.join();
  for (const CachedRun* run : {&one, &two}) {
    EXPECT_EQ(run->result.exitCode, 0) << run->result.err;
    EXPECT_EQ(run->result.out, read);
    EXPECT_EQ(run->result.err.find("warning"), std::string::npos) << run->result.err;
  }
  const CachedRun reused = ListCached(tree, cache);
  EXPECT_EQ(reused.Reused(), "3002 of 3002");
  EXPECT_EQ(reused.result.out, read);  // byte for byte

  // Same size, the time put back as touch -d does: the ctime still moves.
  const auto edited = std::chrono::steady_clock::now();
  tree.File("a", "CONTENT OF a");
  tree.SetTime("a", kOld);
  // A new file in place of the old one, often under the same inode.
  std::filesystem::remove(tree.Path("b"));
  tree.File("b", "CONTENT OF b");
  tree.SetTime("b", kOld);
  const CachedRun changed = ListCached(tree, cache);
  EXPECT_EQ(changed.Reused(), "3000 of 3002");
  // Read within two seconds of their change, a and b are racy: they are read
  // again, though nothing changed since.
  const CachedRun racy = ListCached(tree, cache);
  if (std::chrono::steady_clock::now() - edited < std::chrono::milliseconds(1800)) {
    EXPECT_EQ(racy.Reused(), "3000 of 3002");
  }
  EXPECT_EQ(changed.result.out, ListRead(tree));
  EXPECT_NE(changed.result.out, read);
}

TEST(DigestReuse, ACacheThatCannotBeUsedIsAWarningNeverAFailure) {
  TempTree tree, store;
  tree.File("file", "some content");
  store.File("garbage.sqlite", std::string(8192, 'g'));
  store.File("file");
  const std::string expected = ListRead(tree);
  // A damaged cache, and one whose folder cannot be made.
  for (const std::string& cache : {store.Path("garbage.sqlite"), store.Path("file/cache.sqlite")}) {
    const CachedRun run = ListCached(tree, cache);
    EXPECT_EQ(run.result.exitCode, 0);
    EXPECT_EQ(run.result.out, expected);
    EXPECT_NE(run.result.err.find("quillon-cli: warning: The digest cache \"" + cache + "\" cannot be"),
              std::string::npos)
        << run.result.err;
    EXPECT_EQ(run.Reused(), "0 of 1");
  }
  EXPECT_EQ(store.Read("garbage.sqlite"), std::string(8192, 'g'));

  // A cache that another user may read but not write, as CI runs as root.
  store.Dir("shared");
  const std::string cache = store.Path("shared/cache.sqlite");
  ListCached(tree, cache);
  tree.Chmod("", 0755);
  store.Chmod("", 0755);
  const pid_t child = fork();
  if (child == 0) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() == 0 && (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
      _exit(3);
    store.Chmod("shared", 0555);  // when not root, the folder's own mode stops writes
    const CachedRun run = ListCached(tree, cache);
    const bool sound = run.result.exitCode == 0 && run.result.out == expected &&
                       run.result.err.find("warning: The digest cache") != std::string::npos;
    _exit(sound ? 0 : 4);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
