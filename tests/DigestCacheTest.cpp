#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "TestSupport.h"
#include "engine/DigestCache.h"
#include "platform/DigestStore.h"

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
  // One byte of the digest kept for /b/f changed.
  const std::int64_t folder = DigestStore::FolderKeyOf(DigestStore::KeyOf(42, 4, "/b/", DigestAlgorithm::Md5));
  sqlite3* db = nullptr;
  sqlite3_open(f.path.c_str(), &db);
  const std::string damage = "UPDATE folders SET rows = substr(rows, 1, 70) || x'ff' || substr(rows, 72) WHERE key = " +
                             std::to_string(folder);
  ASSERT_EQ(sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(sqlite3_changes(db), 1);
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

TEST(DigestCache, KeepsEachAlgorithmsDigestApart) {
  CacheFixture f;
  const std::string sha(64, 'c');
  {
    auto cache = f.Open();
    cache->Keep(Stamp(1), "/f", kDigest, kStart);
    cache->Keep(Stamp(2), "/g", sha, kStart);
    cache->Keep(Stamp(1), "/f", sha, kStart);  // the same file, the other algorithm: a row of its own
  }
  auto cache = f.Open();
  EXPECT_EQ(cache->Reusable(Stamp(1), "/", DigestAlgorithm::Md5), kDigest);
  EXPECT_EQ(cache->Reusable(Stamp(1), "/", DigestAlgorithm::Sha256), sha);
  EXPECT_EQ(cache->Reusable(Stamp(2), "/", DigestAlgorithm::Sha256), sha);
  EXPECT_FALSE(cache->Reusable(Stamp(2), "/", DigestAlgorithm::Md5));
  EXPECT_TRUE(f.warnings.empty());
}

namespace {

// A store as the version that kept a row per file wrote it: an MD5 digest
// of /a/f (inode 1) and of /b/h (inode 3), an SHA-256 one of /a/g (inode 2).
void WriteRowPerFileStore(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  const std::string sql =
      "PRAGMA journal_mode=WAL;"
      "CREATE TABLE digests(id INTEGER PRIMARY KEY, device INTEGER NOT NULL, inode INTEGER NOT NULL, path BLOB NOT "
      "NULL, size INTEGER NOT NULL, mtime_ns INTEGER NOT NULL, ctime_ns INTEGER NOT NULL, digest BLOB NOT NULL, "
      "read_ns INTEGER NOT NULL, used_day INTEGER NOT NULL, check_value INTEGER NOT NULL);"
      "INSERT INTO digests VALUES(3182875146373300226,42,2,X'2f612f67',1000,1699999940000000000,1699999990000000000,"
      "X'cccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccccc',1700000000000000000,19675,"
      "7308429317027290166);"
      "INSERT INTO digests VALUES(5526671858163777539,42,3,X'2f622f68',1000,1699999940000000000,1699999990000000000,"
      "X'0123456789abcdef0123456789abcdef',1700000000000000000,19675,4015446420772994697);"
      "INSERT INTO digests VALUES(6735856510930255873,42,1,X'2f612f66',1000,1699999940000000000,1699999990000000000,"
      "X'0123456789abcdef0123456789abcdef',1700000000000000000,19675,7324879886545265483);"
      "CREATE TABLE meta(key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
      "PRAGMA application_id=" + std::to_string(0x51444331) + "; PRAGMA user_version=1;";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

std::int64_t UserVersion(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
  const std::int64_t version = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return version;
}

}  // namespace

TEST(DigestCache, TakesOverTheDigestsOfAStoreOfARowPerFile) {
  const std::string sha(64, 'c');
  CacheFixture f;
  std::filesystem::create_directory(f.tree.Path("cache"));
  std::filesystem::permissions(f.tree.Path("cache"), std::filesystem::perms::owner_all);
  WriteRowPerFileStore(f.path);
  {
    auto cache = f.Open();
    EXPECT_EQ(cache->Reusable(Stamp(1), "/a/"), kDigest);
    EXPECT_EQ(cache->Reusable(Stamp(2), "/a/", DigestAlgorithm::Sha256), sha);
    EXPECT_EQ(cache->Reusable(Stamp(3), "/b/"), kDigest);
    EXPECT_FALSE(cache->Reusable(Stamp(2), "/a/"));
    cache->Keep(Stamp(5), "/a/k", kDigest, kStart);
  }
  EXPECT_EQ(UserVersion(f.path), 2);
  auto cache = f.Open();
  for (std::uint64_t inode : {1, 5}) EXPECT_EQ(cache->Reusable(Stamp(inode), "/a/"), kDigest);
  EXPECT_TRUE(f.warnings.empty()) << f.warnings.front();

  // One that cannot be written is read as it stands.
  ScratchMount disk("1m");
  if (!disk.Ready()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
  f.path = disk.Path("digests.sqlite");
  WriteRowPerFileStore(f.path);
  ASSERT_TRUE(disk.MakeReadOnly());
  auto readOnly = f.Open();
  EXPECT_EQ(readOnly->Reusable(Stamp(2), "/a/", DigestAlgorithm::Sha256), sha);
  EXPECT_EQ(readOnly->Reusable(Stamp(3), "/b/"), kDigest);
  EXPECT_FALSE(readOnly->Reusable(Stamp(4), "/b/"));
  ASSERT_EQ(f.warnings.size(), 1u);
  EXPECT_NE(f.warnings[0].find("cannot be written"), std::string::npos) << f.warnings[0];
}
