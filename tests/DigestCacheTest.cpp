#include <sqlite3.h>

#include <filesystem>

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
