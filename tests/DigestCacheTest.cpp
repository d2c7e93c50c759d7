#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "TestSupport.h"
#include "engine/DigestCache.h"

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kDay = 86400 * kSecond;
constexpr std::int64_t kStart = 1'700'000'000 * kSecond;  // when the first read began
const std::string kDigest = "0123456789abcdef0123456789abcdef";

FileStamp Stamp(std::uint64_t inode, std::int64_t changedNs = kStart - 10 * kSecond) {
  return FileStamp{42, inode, 1000, kStart - 60 * kSecond, changedNs};
}

// A cache over one file of a temporary folder, on a clock the test sets.
struct CacheFixture {
  TempTree tree;
  std::string path = tree.Path("cache/digests.sqlite");
  std::int64_t now = kStart + kSecond;
  std::vector<std::string> warnings;

  std::unique_ptr<DigestCache> Open() {
    return std::make_unique<DigestCache>(
        path, [this](const std::string& text) { warnings.push_back(text); }, [this] { return now; });
  }
  void Fill(int count) {
    auto cache = Open();
    for (int i = 1; i <= count; ++i) cache->Keep(Stamp(static_cast<std::uint64_t>(i)), "/f", kDigest, kStart);
  }
};

TEST(DigestCache, ReusesOnlyAnUnchangedStampThatSettledTwoSecondsBeforeItsRead) {
  CacheFixture f;
  FileStamp racyMtime = Stamp(3);
  racyMtime.ModifiedNs = kStart - kSecond;
  const FileStamp settled = Stamp(1, kStart - 2 * kSecond - 1), racyCtime = Stamp(2, kStart - 2 * kSecond + 1);
  {
    auto cache = f.Open();
    for (const FileStamp& stamp : {settled, racyCtime, racyMtime}) cache->Keep(stamp, "/f", kDigest, kStart);
    cache->Keep(Stamp(4), "/unreadable", std::string(32, '0'), kStart);
  }
  auto cache = f.Open();
  EXPECT_EQ(cache->Reusable(settled, "/"), kDigest);
  for (const FileStamp& stamp : {racyCtime, racyMtime, Stamp(4)}) EXPECT_FALSE(cache->Reusable(stamp, "/"));
  std::vector<FileStamp> changed(5, settled);
  ++changed[0].Device, ++changed[1].Inode, ++changed[2].Size, ++changed[3].ModifiedNs, ++changed[4].ChangedNs;
  for (const FileStamp& stamp : changed) EXPECT_FALSE(cache->Reusable(stamp, "/"));
  // A clock set back before the read began trusts nothing of that time.
  f.now = kStart - kSecond;
  EXPECT_FALSE(cache->Reusable(settled, "/"));
  EXPECT_TRUE(f.warnings.empty());
}

TEST(DigestCache, EntriesUnusedForNinetyDaysGo) {
  CacheFixture f;
  f.Fill(2);
  f.now = kStart + 30 * kDay;
  f.Open()->Reusable(Stamp(1), "/");  // only the first is used again
  f.now = kStart + 30 * kDay + 91 * kDay;
  f.Open();
  auto cache = f.Open();
  EXPECT_TRUE(cache->Reusable(Stamp(1), "/"));
  EXPECT_FALSE(cache->Reusable(Stamp(2), "/"));
}

TEST(DigestCache, ADamagedStoreIsAWarningAndNoReuseNeverAWrongDigest) {
  CacheFixture f;
  f.Fill(5000);
  const auto size = std::filesystem::file_size(f.path);
  // The file cut in half.
  std::filesystem::resize_file(f.path, size / 2);
  auto truncated = f.Open();
  int reused = 0;
  for (std::uint64_t i = 1; i <= 5000; ++i)
    if (auto digest = truncated->Reusable(Stamp(i), "/")) {
      EXPECT_EQ(*digest, kDigest);
      ++reused;
    }
  EXPECT_LT(reused, 5000);
  ASSERT_FALSE(f.warnings.empty());
  EXPECT_NE(f.warnings.back().find("cannot be used"), std::string::npos) << f.warnings.back();

  // Another program's database is left as it is.
  truncated.reset();
  std::filesystem::remove(f.path);
  std::filesystem::remove(f.path + "-wal");
  sqlite3* db = nullptr;
  sqlite3_open(f.path.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE mine(x)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  f.warnings.clear();
  f.Fill(1);
  ASSERT_EQ(f.warnings.size(), 1u);
  EXPECT_NE(f.warnings[0].find("another kind"), std::string::npos) << f.warnings[0];
}

TEST(DigestCache, DamageFoundPartWaySaysWhatWasReused) {
  CacheFixture f;
  {
    auto cache = f.Open();
    for (std::uint64_t i = 1; i <= 4; ++i) cache->Keep(Stamp(i), i <= 3 ? "/a/f" : "/b/f", kDigest, kStart);
  }
  sqlite3* db = nullptr;
  sqlite3_open(f.path.c_str(), &db);
  sqlite3_exec(db, "UPDATE digests SET read_ns = read_ns - 1 WHERE inode = 4", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  auto cache = f.Open();
  for (std::uint64_t i = 1; i <= 3; ++i) EXPECT_EQ(cache->Reusable(Stamp(i), "/a/"), kDigest);
  EXPECT_FALSE(cache->Reusable(Stamp(4), "/b/"));
  EXPECT_EQ(f.warnings, std::vector<std::string>{"The digest cache \"" + f.path +
                                                 "\" is damaged (a stored digest is damaged): reused 3 digests before "
                                                 "the cache was found damaged; the rest were read"});
}

TEST(DigestCache, RefusesAStoreThatAnotherUserOwnsOrOthersMayWrite) {
  CacheFixture f;
  f.Fill(1);
  const std::string folder = f.tree.Path("cache");
  std::vector<std::tuple<std::string, std::function<int()>, std::function<int()>>> cases{
      {"others may write it", [&] { return chmod(f.path.c_str(), 0666); }, [&] { return chmod(f.path.c_str(), 0600); }},
      {"others may write its folder", [&] { return chmod(folder.c_str(), 0775); },
       [&] { return chmod(folder.c_str(), 0755); }}};
  if (geteuid() == 0) {
    cases.emplace_back("it belongs to another user", [&] { return chown(f.path.c_str(), 65534, 0); },
                       [&] { return chown(f.path.c_str(), 0, 0); });
    cases.emplace_back("its folder belongs to another user", [&] { return chown(folder.c_str(), 65534, 0); },
                       [&] { return chown(folder.c_str(), 0, 0); });
  }
  for (const auto& [why, change, undo] : cases) {
    ASSERT_EQ(change(), 0);
    f.warnings.clear();
    EXPECT_FALSE(f.Open()->Reusable(Stamp(1), "/")) << why;
    EXPECT_EQ(f.warnings, std::vector<std::string>{"The digest cache \"" + f.path + "\" cannot be used (" + why +
                                                   "); digests are read from the files"});
    ASSERT_EQ(undo(), 0);
  }
  f.warnings.clear();
  EXPECT_EQ(f.Open()->Reusable(Stamp(1), "/"), kDigest);
  EXPECT_TRUE(f.warnings.empty());
}

TEST(DigestCache, FollowsNoLinkPlantedInAStickySharedFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  TempTree tree;
  tree.Dir("shared");
  tree.Chmod("shared", 01777);
  tree.Dir("victim");
  tree.File("victim/digests.sqlite");
  tree.Link("shared/dir", tree.Path("victim"));
  tree.Link("shared/file.sqlite", tree.Path("victim/digests.sqlite"));
  for (const std::string link : {"shared/dir", "shared/file.sqlite"}) {
    ASSERT_EQ(lchown(tree.Path(link).c_str(), 65534, 65534), 0);
    std::vector<std::string> warnings;
    const std::string path = link == "shared/dir" ? tree.Path("shared/dir/digests.sqlite") : tree.Path(link);
    DigestCache(path, [&](const std::string& text) { warnings.push_back(text); }).Keep(Stamp(1), "/f", kDigest, kStart);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("in a shared folder belongs to another user"), std::string::npos) << warnings[0];
  }
  EXPECT_EQ(std::filesystem::file_size(tree.Path("victim/digests.sqlite")), 0u);
  EXPECT_EQ(std::filesystem::directory_iterator(tree.Path("victim"))->path().filename(), "digests.sqlite");
}

TEST(DigestCache, AStoreOnAReadOnlyMountIsReadAndNotWritten) {
  ScratchMount disk("1m");
  if (!disk.Ready()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
  CacheFixture f;
  f.path = disk.Path("digests.sqlite");
  f.Fill(1);
  ASSERT_TRUE(disk.MakeReadOnly());
  auto cache = f.Open();
  EXPECT_EQ(cache->Reusable(Stamp(1), "/"), kDigest);
  cache->Keep(Stamp(2), "/f", kDigest, kStart);
  cache.reset();
  EXPECT_EQ(f.warnings, std::vector<std::string>{"The digest cache \"" + f.path +
                                                 "\" cannot be written (Read-only file system); the digests read "
                                                 "now are not kept for the next run"});
}

}  // namespace
