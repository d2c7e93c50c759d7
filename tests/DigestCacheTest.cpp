#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

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

TEST(DigestCache, ReusesADigestOnlyWhileTheWholeStampIsUnchanged) {
  CacheFixture f;
  f.Fill(1);
  auto cache = f.Open();
  EXPECT_EQ(cache->Reusable(Stamp(1), "/"), kDigest);
  for (int field = 0; field < 5; ++field) {
    FileStamp changed = Stamp(1);
    if (field == 0) changed.Device += 1;
    if (field == 1) changed.Inode += 1;
    if (field == 2) changed.Size += 1;
    if (field == 3) changed.ModifiedNs += 1;
    if (field == 4) changed.ChangedNs += 1;
    EXPECT_FALSE(cache->Reusable(changed, "/")) << field;
  }
  // A clock set back before the read began trusts nothing of that time.
  f.now = kStart - kSecond;
  EXPECT_FALSE(cache->Reusable(Stamp(1), "/"));
  EXPECT_TRUE(f.warnings.empty());
}

TEST(DigestCache, AFileChangedWithinTwoSecondsOfItsReadIsReadAgain) {
  CacheFixture f;
  {
    auto cache = f.Open();
    cache->Keep(Stamp(1, kStart - 2 * kSecond - 1), "/settled", kDigest, kStart);
    cache->Keep(Stamp(2, kStart - 2 * kSecond + 1), "/racy-ctime", kDigest, kStart);
    FileStamp racyMtime = Stamp(3);
    racyMtime.ModifiedNs = kStart - kSecond;
    cache->Keep(racyMtime, "/racy-mtime", kDigest, kStart);
    cache->Keep(Stamp(4), "/unreadable", std::string(32, '0'), kStart);
  }
  auto cache = f.Open();
  EXPECT_TRUE(cache->Reusable(Stamp(1, kStart - 2 * kSecond - 1), "/"));
  EXPECT_FALSE(cache->Reusable(Stamp(2, kStart - 2 * kSecond + 1), "/"));
  FileStamp racyMtime = Stamp(3);
  racyMtime.ModifiedNs = kStart - kSecond;
  EXPECT_FALSE(cache->Reusable(racyMtime, "/"));
  EXPECT_FALSE(cache->Reusable(Stamp(4), "/"));
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
  // Every way of damage: the file cut in half, garbage, another program's database.
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

  for (const std::string& content : {std::string(10000, 'x'), std::string()}) {
    truncated.reset();
    std::filesystem::remove(f.path + "-wal");
    std::filesystem::remove(f.path + "-shm");
    std::ofstream(f.path, std::ios::binary) << content;
    if (content.empty()) {
      sqlite3* db = nullptr;
      sqlite3_open(f.path.c_str(), &db);
      sqlite3_exec(db, "CREATE TABLE mine(x)", nullptr, nullptr, nullptr);
      sqlite3_close(db);
    }
    f.warnings.clear();
    auto cache = f.Open();
    EXPECT_FALSE(cache->Reusable(Stamp(1), "/"));
    cache->Keep(Stamp(9), "/f", kDigest, kStart);
    cache.reset();
    ASSERT_EQ(f.warnings.size(), 1u);
    EXPECT_NE(f.warnings[0].find(f.path), std::string::npos);
    // A file that is not the cache's own is left as it is.
    if (!content.empty()) {
      EXPECT_EQ(f.tree.Read("cache/digests.sqlite"), content);
    }
  }
  EXPECT_NE(f.warnings[0].find("another kind"), std::string::npos) << f.warnings[0];
}

TEST(DigestCache, TwoWritersAtOnceBothKeepEverything) {
  CacheFixture f;
  f.Fill(1);  // the store exists before the writers race
  const auto writer = [&f](std::uint64_t first) {
    DigestCache cache(f.path, nullptr, [] { return kStart + kSecond; });
    for (std::uint64_t i = first; i < first + 20000; ++i) {
      cache.Keep(Stamp(i), "/f", kDigest, kStart);
      cache.Reusable(Stamp(i - first + 1), "/");
    }
  };
  std::thread one(writer, 100000), two(writer, 200000);
  one.join();
  two.join();
  auto cache = f.Open();
  for (std::uint64_t i : {100000u, 119999u, 200000u, 219999u})
    EXPECT_EQ(cache->Reusable(Stamp(i), "/"), kDigest) << i;
  EXPECT_TRUE(f.warnings.empty());
}

}  // namespace
