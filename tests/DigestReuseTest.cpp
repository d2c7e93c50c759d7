#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "engine/DigestCache.h"
#include "platform/DigestStore.h"
#include "platform/PosixFolderSearch.h"

namespace {

constexpr std::int64_t kOld = 1577836800;  // 01.01.2020, as touch -d would set it
constexpr std::int64_t kSecond = 1'000'000'000;

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

// A listing with reuse in this process, its reads timed by a clock that runs
// ahead of the system's by lead: files made by the test a moment ago are as
// old, for the cache, as they would be that much later.
struct ReuseRun {
  std::vector<std::string> lines;
  std::string reused;
  std::vector<std::string> warnings;
};
ReuseRun ListWithClock(const TempTree& tree, const std::string& cache, std::int64_t lead, std::size_t readers = 256) {
  RecordingSurfaces surfaces;
  PosixFolderSearch disk;
  TMainWindow window(surfaces, disk, RegionalSettings{});
  window.SetReaders(readers);
  surfaces.Md5 = [] { return true; };
  surfaces.ReuseDigests = true;
  window.SetDigestCacheFile(cache);
  window.SetClock([lead] { return DigestCache::RealClock() + lead; });
  surfaces.FolderAnswers.push_back(tree.Root());
  EXPECT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  const MainWindowState& state = window.State();
  return {surfaces.Lines(PaneId::ListBox1), std::to_string(state.ReusedDigestCount) + " of " + std::to_string(state.DigestCount),
          surfaces.Warnings};
}

TEST(DigestReuse, ReusesOnlyWhatIsUnchangedEvenWhenTheTimeIsPutBack) {
  TempTree tree, store;  // the cache outside the listed tree
  for (int folder = 0; folder < 6; ++folder) {
    tree.Dir("d" + std::to_string(folder));
    for (int file = 0; file < 500; ++file)
      tree.File("d" + std::to_string(folder) + "/f" + std::to_string(file), std::to_string(folder * 1000 + file));
  }
  // In a folder searched ahead of the walk, whose searches look them up.
  for (const char* name : {"d0/a", "d0/b"}) {
    tree.File(name, std::string("content of ") + name);
    tree.SetTime(name, kOld);
  }
  const std::string cache = store.Path("cache.sqlite");
  const auto read = ListWithClock(tree, store.Path("unused.sqlite"), 0).lines;
  // Two runs at once both finish, and both write what they read.
  ReuseRun one, two;
  std::thread first([&] { one = ListWithClock(tree, cache, 5 * kSecond); });
  std::thread second([&] { two = ListWithClock(tree, cache, 5 * kSecond); });
  first.join();
  second.join();
  for (const ReuseRun* run : {&one, &two}) {
    EXPECT_EQ(run->lines, read);
    EXPECT_EQ(run->warnings, std::vector<std::string>{});
  }
  const ReuseRun reused = ListWithClock(tree, cache, 5 * kSecond);
  EXPECT_EQ(reused.reused, "3002 of 3002");
  EXPECT_EQ(reused.lines, read);  // byte for byte

  // Same size, the time put back as touch -d does: the ctime still moves.
  tree.File("d0/a", "CONTENT OF d0/a");
  tree.SetTime("d0/a", kOld);
  // A new file in place of the old one, often under the same inode.
  std::filesystem::remove(tree.Path("d0/b"));
  tree.File("d0/b", "CONTENT OF d0/b");
  tree.SetTime("d0/b", kOld);
  const ReuseRun changed = ListWithClock(tree, cache, 5 * kSecond);
  EXPECT_EQ(changed.reused, "3000 of 3002");
  EXPECT_EQ(ListWithClock(tree, cache, 5 * kSecond).reused, "3002 of 3002");
  EXPECT_EQ(changed.lines, ListWithClock(tree, store.Path("unused.sqlite"), 0).lines);
  EXPECT_NE(changed.lines, read);
  // quillon-cli gives the same listing, and says what it reused.
  const CachedRun cli = ListCached(tree, cache);
  EXPECT_EQ(SplitCrLf(cli.result.out), changed.lines);
  EXPECT_EQ(cli.result.exitCode, 0) << cli.result.err;
  EXPECT_NE(cli.Reused(), "none");
}

TEST(DigestReuse, DamageFoundAheadOfTheWalkEndsReuseWhereTheWalkMeetsIt) {
  // Folders searched ahead of the walk are looked up in the cache by the
  // searches; damage one of them finds ends reuse only where the walk gets
  // to it, the digests before it reused and those after it read.
  TempTree tree, store;
  for (const char* folder : {"a", "a/b", "a/b/c"}) {
    tree.Dir(folder);
    for (int file = 0; file < 40; ++file)
      tree.File(std::string(folder) + "/f" + std::to_string(file), folder + std::to_string(file));
  }
  const std::string cache = store.Path("cache.sqlite");
  const auto read = ListWithClock(tree, store.Path("unused.sqlite"), 0).lines;
  ListWithClock(tree, cache, 5 * kSecond);
  struct stat folder;
  ASSERT_EQ(stat(tree.Path("a/b").c_str(), &folder), 0);
  const std::int64_t key = DigestStore::FolderKeyOf(
      DigestStore::KeyOf(static_cast<std::uint64_t>(folder.st_dev), 0, tree.Path("a/b") + "/", DigestAlgorithm::Md5));
  const std::string damage = "UPDATE folders SET rows = substr(rows, 1, 70) || x'ff' || substr(rows, 72) WHERE key = " +
                             std::to_string(key) + ";";
  for (const std::size_t readers : {256, 1}) {
    SCOPED_TRACE(readers);
    std::filesystem::copy_file(cache, store.Path("damaged.sqlite"), std::filesystem::copy_options::overwrite_existing);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(store.Path("damaged.sqlite").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_changes(db), 1);
    sqlite3_close(db);
    const ReuseRun run = ListWithClock(tree, store.Path("damaged.sqlite"), 5 * kSecond, readers);
    EXPECT_EQ(run.lines, read);
    EXPECT_EQ(run.reused, "40 of 120");
    EXPECT_EQ(run.warnings, std::vector<std::string>{"The digest cache \"" + store.Path("damaged.sqlite") +
                                                     "\" is damaged (a stored digest is damaged): reused 40 digests "
                                                     "before the cache was found damaged; the rest were read"});
  }
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
