#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "FakeFolderSearch.h"
#include "ScriptedFileReader.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "engine/PageFetcher.h"
#include "engine/ReadAheadPool.h"
#include "platform/PosixFileReader.h"
#include "platform/PosixFolderSearch.h"
#include "platform/Vexmd5.h"

namespace {

std::string Md5Hex(const std::string& data) {
  md5_context context;
  md5_starts(&context);
  md5_update(&context, reinterpret_cast<const unsigned char*>(data.data()), static_cast<std::uint32_t>(data.size()));
  unsigned char digest[16];
  md5_finish(&context, digest);
  char text[33];
  md5_toHexStr(text, digest);
  return text;
}

// The descriptors this process has open.
std::size_t OpenDescriptors() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                std::filesystem::directory_iterator{}));
}

FileDigester::Expected ExpectedOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return {S_ISREG(st.st_mode), static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
          static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
}

// A tree of folders three deep whose every file has content of its own, one
// of them large enough to keep a core busy for a while.
std::map<std::string, std::string> MakeTree(TempTree& tree) {
  std::map<std::string, std::string> contentByPath;
  int n = 0;
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 5; ++b) {
      const std::string folder = "d" + std::to_string(a) + "/e" + std::to_string(b);
      tree.Dir(folder);
      for (int f = 0; f < 7; ++f) {
        std::string content = "file " + std::to_string(n++) + std::string(static_cast<std::size_t>(f * 97), 'x');
        if (n == 40) content += std::string(3 << 20, 'L');
        const std::string relative = folder + "/f" + std::to_string(f);
        tree.File(relative, content);
        contentByPath[tree.Path(relative)] = content;
      }
    }
  }
  return contentByPath;
}

}  // namespace

TEST(ReadAheadPool, HandsOutResultsInTheOrderTheJobsWereAdded) {
  for (const std::size_t helpers : {0, 1, 7}) {
    ReadAheadPool<int, int> pool([] { return std::make_unique<int>(0); });
    pool.SetHelpers(helpers);
    int mine = 0;
    std::vector<std::size_t> jobs;
    for (int i = 0; i < 300; ++i) jobs.push_back(pool.Add([i](int&) { return i * i; }));
    EXPECT_FALSE(pool.Take(jobs[1], mine).has_value());  // only the oldest may be taken
    for (int i = 0; i < 150; ++i) EXPECT_EQ(pool.Take(jobs[static_cast<std::size_t>(i)], mine), i * i);
    pool.Reset();
    EXPECT_EQ(pool.Outstanding(), 0u);
    EXPECT_FALSE(pool.Take(jobs[150], mine).has_value());
    const std::size_t again = pool.Add([](int&) { return 7; });
    EXPECT_EQ(pool.Take(again, mine), 7);
  }
}

TEST(ReadAheadPool, GatheringHelpersWaitForEnoughJobsOrTheTaker) {
  ReadAheadPool<std::thread::id, int> pool([] { return std::make_unique<int>(0); });
  pool.SetHelpers(1);
  pool.SetGather(3);
  std::atomic<int> started{0};
  const auto job = [&](int&) {
    ++started;
    return std::this_thread::get_id();
  };
  std::vector<std::size_t> jobs{pool.Add(job), pool.Add(job)};
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(started, 0);  // two are fewer than three
  jobs.push_back(pool.Add(job));
  int mine = 0;
  for (const std::size_t added : jobs) EXPECT_NE(pool.Take(added, mine), std::this_thread::get_id());
  EXPECT_EQ(started, 3);
  // One job alone starts once the taker waits for it, on the helper still.
  const std::size_t alone = pool.Add(job);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(started, 3);
  EXPECT_NE(pool.Take(alone, mine), std::this_thread::get_id());
  // Given up before the helper took it, a job is not waited for.
  const std::size_t unstarted = pool.Add(job);
  pool.Abort();
  EXPECT_FALSE(pool.Take(unstarted, mine, [] { return true; }).has_value());
  EXPECT_EQ(started, 4);
  // With no helper the taker does the work itself.
  pool.SetHelpers(0);
  EXPECT_EQ(pool.Take(pool.Add(job), mine), std::this_thread::get_id());
}

namespace {

// The second job waits until the taker has the result of the first, which
// the batch that runs both hands back before it ends.
struct HandedOnWork {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool secondStarted = false;
    bool firstTaken = false;
    bool firstTakenInTime = false;
  };
  using Pool = ReadAheadPool<int, int, HandedOnWork>;
  int value;
  Shared* shared;
  int operator()(int&) const { return value * 10; }
  static void RunBatch(int&, Pool::Batch& batch) {
    std::size_t job;
    while (const HandedOnWork* work = batch.Next(job)) {
      if (work->value == 1) {
        std::unique_lock<std::mutex> lock(work->shared->mutex);
        work->shared->secondStarted = true;
        work->shared->changed.notify_all();
        work->shared->firstTakenInTime =
            work->shared->changed.wait_for(lock, std::chrono::seconds(5), [&] { return work->shared->firstTaken; });
      }
      batch.Done(job, work->value * 10);
    }
  }
};

}  // namespace

TEST(ReadAheadPool, ABatchHandsBackEachResultWhileItGoesOn) {
  HandedOnWork::Shared shared;
  HandedOnWork::Pool pool([] { return std::make_unique<int>(0); });
  pool.SetHelpers(1);
  // The helper's batch takes the first two of four jobs, leaving the taker
  // its share; the second starts before the taker asks for anything.
  const std::size_t first = pool.AddMany(
      {HandedOnWork{0, &shared}, HandedOnWork{1, &shared}, HandedOnWork{2, &shared}, HandedOnWork{3, &shared}});
  {
    std::unique_lock<std::mutex> lock(shared.mutex);
    ASSERT_TRUE(shared.changed.wait_for(lock, std::chrono::seconds(5), [&] { return shared.secondStarted; }));
  }
  int mine = 0;
  EXPECT_EQ(pool.Take(first, mine), 0);
  {
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.firstTaken = true;
  }
  shared.changed.notify_all();
  for (int i = 1; i < 4; ++i) EXPECT_EQ(pool.Take(first + static_cast<std::size_t>(i), mine), i * 10);
  EXPECT_TRUE(shared.firstTakenInTime);
}

TEST(ReadAheadPool, KeepsAJobUnderWayOnEveryHelperAndTheTaker) {
  // Each job ends only once all of them have started, which they do only if
  // the five helpers and the taker all run one at the same time.
  constexpr int kHelpers = 5;
  ReadAheadPool<bool, int> pool([] { return std::make_unique<int>(0); });
  pool.SetHelpers(kHelpers);
  std::mutex mutex;
  std::condition_variable allStarted;
  int started = 0;
  std::vector<std::size_t> jobs;
  for (int i = 0; i <= kHelpers; ++i) {
    jobs.push_back(pool.Add([&](int&) {
      std::unique_lock<std::mutex> lock(mutex);
      if (++started == kHelpers + 1) allStarted.notify_all();
      return allStarted.wait_for(lock, std::chrono::seconds(30), [&] { return started == kHelpers + 1; });
    }));
  }
  int mine = 0;
  for (const std::size_t job : jobs) EXPECT_EQ(pool.Take(job, mine), true);
}

namespace {

// Lists the tree with the check box answering as md5 says, and checks that
// each file line with a digest carries the digest of its own file. Returns
// how many lines had one.
int ListAndCheckDigests(TMainWindow& window, RecordingSurfaces& surfaces, const TempTree& tree,
                        const std::map<std::string, std::string>& contentByPath, std::function<bool(int)> md5) {
  int asked = 0;
  surfaces.Md5 = [&] { return md5(asked++); };
  surfaces.FolderAnswers.push_back(tree.Root());
  EXPECT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  EXPECT_EQ(window.State().FileCount, static_cast<int>(contentByPath.size()));
  const auto lines = surfaces.Lines(PaneId::ListBox1);
  int withDigest = 0;
  for (int i = 0; i < window.State().FileCount; ++i) {
    const std::string& line = lines[static_cast<std::size_t>(i)];
    const bool digest = md5(i);
    const std::string path = line.substr(digest ? 82 : 49);
    EXPECT_TRUE(contentByPath.count(path)) << line;
    if (digest && contentByPath.count(path)) {
      ++withDigest;
      EXPECT_EQ(line.substr(49, 32), Md5Hex(contentByPath.at(path))) << line;
    }
  }
  return withDigest;
}

}  // namespace

TEST(DigestReadAhead, EveryLineCarriesTheDigestOfItsOwnFile) {
  TempTree tree;
  const auto contentByPath = MakeTree(tree);
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  const auto always = [](int) { return true; };
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(ListAndCheckDigests(window, surfaces, tree, contentByPath, always),
              static_cast<int>(contentByPath.size()));
}

TEST(DigestReadAhead, FollowsTheCheckBoxWhenItChangesDuringARun) {
  TempTree tree;
  const auto contentByPath = MakeTree(tree);
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  // Digests on for a while, then off, then on again, several times.
  const auto inTurns = [](int file) { return (file / 25) % 2 == 0; };
  EXPECT_GT(ListAndCheckDigests(window, surfaces, tree, contentByPath, inTurns), 100);
}

TEST(DigestReadAhead, AFileGoneSinceTheSearchGetsZerosWhateverTheReaders) {
  TempTree tree;
  constexpr std::int64_t kTime = 1700000000;
  tree.File("a", "alpha");
  tree.File("c", "gamma");
  tree.SetTime("a", kTime);
  tree.SetTime("c", kTime);
  const std::string root = tree.Root() + "/";
  // The search still sees "b" and the folder "sub", both gone from the disk.
  FakeFolderSearch search;
  search.AddFolder(root, {FakeFolderSearch::File("a", 5, kTime), FakeFolderSearch::File("b", 4, kTime),
                          FakeFolderSearch::Folder("sub"), FakeFolderSearch::File("c", 5, kTime)});
  search.AddFolder(root + "sub/", {FakeFolderSearch::File("gone", 3, kTime)});
  std::vector<std::vector<std::string>> listings;
  for (const std::size_t readers : {1, 8}) {
    RecordingSurfaces surfaces;
    TMainWindow window(surfaces, search, RegionalSettings{});
    window.SetReaders(readers);
    surfaces.Md5 = [] { return true; };
    surfaces.FolderAnswers.push_back(root);
    ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
    listings.push_back(surfaces.Lines(PaneId::ListBox1));
  }
  const std::vector<std::string>& lines = listings[0];
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0].substr(49), Md5Hex("alpha") + " " + root + "a");
  EXPECT_EQ(lines[1].substr(49), std::string(32, '0') + " " + root + "b");
  EXPECT_EQ(lines[2].substr(49), Md5Hex("gamma") + " " + root + "c");
  EXPECT_EQ(lines[3].substr(49), std::string(32, '0') + " " + root + "sub/gone");
  EXPECT_TRUE(SameLines(listings[0], listings[1]));
}

TEST(DigestReadAhead, ListsLikeOneReaderWithFifosLinksDevicesAndUnreadableEntries) {
  TempTree tree;
  for (int f = 0; f < 60; ++f) {
    const std::string folder = "d" + std::to_string(f % 7) + "/e" + std::to_string(f % 5);
    tree.Dir(folder);
    tree.File(folder + "/f" + std::to_string(f), std::string(static_cast<std::size_t>(f * 4099), static_cast<char>(f)));
  }
  // Large files are read ahead of their turn, in lanes of their own, one of
  // them unreadable.
  for (int f = 0; f < 20; ++f) {
    tree.File("d" + std::to_string(f % 7) + "/large" + std::to_string(f),
              std::string(static_cast<std::size_t>((1 << 20) + f * 4099), static_cast<char>('A' + f)));
  }
  tree.Chmod("d3/large3", 0);
  tree.Fifo("d1/fifo");
  tree.Link("d2/link", "../d1/e1/f1");
  tree.Link("d2/folder link", "../d3");
  tree.Link("d2/dangling", "nowhere");
  tree.File("d3/closed", "closed");
  tree.Chmod("d3/closed", 0);
  tree.Dir("d4/locked/inner");
  tree.Chmod("d4/locked", 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(mknod(tree.Path("d5/device").c_str(), S_IFCHR | 0644, makedev(1, 3)), 0);
  }
  tree.Chmod("", 0755);
  // Root reads everything, so there the listings are made as an ordinary user.
  std::vector<std::string> command;
  if (root) command = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  command.push_back(CliPath());
  const auto list = [&](const std::vector<std::string>& options, bool ring = true) {
    std::vector<std::string> args = command;
    if (!ring) args.insert(args.begin(), {"/usr/bin/env", "QUILLON_IO_URING=off"});
    args.push_back("list");
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(tree.Root());
    const ProgramResult result = RunProgram(args);
    EXPECT_EQ(result.exitCode, 3) << result.err;  // some entries could not be read
    return result.out;
  };
  for (const bool md5 : {true, false}) {
    const std::vector<std::string> digest = md5 ? std::vector<std::string>{"--md5"} : std::vector<std::string>{};
    auto withReaders = [&](const char* readers) {
      auto options = digest;
      options.insert(options.end(), {"--readers", readers});
      return list(options);
    };
    const std::string one = withReaders("1");
    EXPECT_NE(one.find("Number of Files = " + std::string(root ? "86" : "85")), std::string::npos) << one;
    if (md5) {
      EXPECT_NE(one.find(std::string(32, '0') + " " + tree.Path("d3/closed")), std::string::npos) << one;
      EXPECT_NE(one.find(std::string(32, '0') + " " + tree.Path("d3/large3")), std::string::npos) << one;
      EXPECT_NE(one.find(Md5Hex(std::string((1 << 20) + 4099, 'B')) + " " + tree.Path("d1/large1")), std::string::npos);
    }
    EXPECT_EQ(withReaders("3"), one);
    EXPECT_EQ(withReaders("64"), one);
    EXPECT_EQ(list(digest), one);
    EXPECT_EQ(list(digest, false), one);  // read ahead one file at a time, without io_uring
  }
}

TEST(DigestReadAhead, SearchesFarAheadOfTheQueueYetEachFolderOnce) {
  // Three subfolders to a folder, four levels deep, mixed with files as a
  // real search returns them, one excluded, one that cannot be searched and
  // one that fails part-way. The searches ahead go into subfolders the walk
  // has not queued yet, and must foretell exactly what it will queue, or a
  // folder is searched twice.
  FakeFolderSearch search;
  std::vector<std::string> folders{"/r/"}, searched;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    const bool deepest = std::count(folders[i].begin(), folders[i].end(), '/') == 5;
    std::vector<FindData> entries;
    for (const std::string name : {"a", "f", "b", "skip", "f", "c", "f"}) {
      for (int f = 0; f < 40 && name == "f"; ++f) entries.push_back(FakeFolderSearch::File(name + std::to_string(entries.size()), 10));
      if (name != "f" && !deepest) entries.push_back(FakeFolderSearch::Folder(name));
    }
    search.AddFolder(folders[i], FakeFolderSearch::WithDots(entries));
    for (const char* sub : {"a", "b", "c"})
      if (!deepest) folders.push_back(folders[i] + sub + "/");
    // What the failures below hide is never found: all under "/r/b/a/", and
    // what "/r/c/" holds after its first folder and two files.
    const std::string& folder = folders[i];
    if (!(folder.starts_with("/r/b/a/") && folder != "/r/b/a/") && !folder.starts_with("/r/c/b/") &&
        !folder.starts_with("/r/c/c/"))
      searched.push_back(folder + "*.*");
  }
  search.FailFolder("/r/b/a/", 0, EACCES);
  search.FailFolder("/r/c/", 5, EIO);
  std::sort(searched.begin(), searched.end());
  std::vector<std::vector<std::string>> listings;
  for (const std::size_t readers : {1, 2, 8}) {
    search.Patterns.clear();
    RecordingSurfaces surfaces;
    TMainWindow window(surfaces, search, RegionalSettings{});
    window.SetReaders(readers);
    surfaces.Md5 = [] { return true; };
    surfaces.Excludes = {"skip/"};
    surfaces.FolderAnswers.push_back("/r");
    ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
    listings.push_back(surfaces.Lines(PaneId::ListBox1));
    std::sort(search.Patterns.begin(), search.Patterns.end());  // searches side by side start in any order
    EXPECT_EQ(search.Patterns, searched) << readers << " readers";
    EXPECT_TRUE(SameLines(listings[0], listings.back()));
  }
}

TEST(DigestReadAhead, FetchesAndHandsBackOnlyWhatWasNotCached) {
  // 400 files in walk order against a model of the page cache: the first
  // half cached already, as the user's own files would be, the rest not;
  // fetched one by one, and in batches through a ring.
  for (const bool ring : {false, true}) {
    SCOPED_TRACE(ring ? "ring" : "one by one");
    TempTree tree;
    constexpr std::int64_t kTime = 1700000000;
    const std::string root = tree.Root() + "/";
    ScriptedFileReader reader;
    reader.ModelTheCache = true;
    reader.Ring = ring;
    std::vector<FindData> entries;
    std::vector<std::string> contents;
    for (int i = 0; i < 400; ++i) {
      const std::string name = "f" + std::to_string(1000 + i);
      contents.push_back("content of " + name);
      tree.File(name, contents.back());
      tree.SetTime(name, kTime);
      entries.push_back(FakeFolderSearch::File(name, contents.back().size(), kTime));
      if (i < 200) reader.Cached.insert(root + name);
    }
    FakeFolderSearch search;
    search.AddFolder(root, entries);
    // Slow reads keep the digests behind the fetcher.
    reader.AfterRead = [](const std::string&) { std::this_thread::sleep_for(std::chrono::microseconds(300)); };
    RecordingSurfaces surfaces;
    const std::size_t openBefore = OpenDescriptors();
    TMainWindow window(surfaces, search, RegionalSettings{}, &reader);
    window.SetReaders(16);
    surfaces.Md5 = [] { return true; };
    surfaces.FolderAnswers.push_back(root);
    ASSERT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
    const auto lines = surfaces.Lines(PaneId::ListBox1);
    int openedCached = 0;
    int fetched = 0;
    for (int i = 0; i < 400; ++i) {
      const std::string path = root + entries[static_cast<std::size_t>(i)].Name;
      EXPECT_EQ(lines[static_cast<std::size_t>(i)].substr(49),
                Md5Hex(contents[static_cast<std::size_t>(i)]) + " " + path);
      if (i < 200) {
        EXPECT_EQ(reader.Fetches.count(path) + reader.Drops.count(path), 0u) << path;  // the user's cache as it was
        openedCached += static_cast<int>(std::count(reader.Opened.begin(), reader.Opened.end(), path));
      } else {
        EXPECT_LE(reader.Fetches[path], 1) << path;  // never read twice
        EXPECT_EQ(reader.Drops[path], 1) << path;    // and handed back
        // The digest reads the file as the fetcher opened it.
        EXPECT_EQ(std::count(reader.Opened.begin(), reader.Opened.end(), path), 1) << path;
        fetched += reader.Fetches[path];
      }
    }
    // Among the cached files the fetcher soon rested, and it woke once the
    // digests had to wait for the disk.
    // A batch under way when it rests is ended first.
    EXPECT_LE(openedCached, 200 + PageFetcher::kRestAfter + 16 + (ring ? PageFetcher::kRingBatch : 0));
    EXPECT_GT(fetched, 100);
    EXPECT_EQ(reader.RingBatches > 0, ring);
    EXPECT_EQ(OpenDescriptors(), openBefore);  // every file closed
  }
}

TEST(PageFetcher, KeepsNoMoreFilesAheadThanItsDepthAndLeavesClaimedOnesAlone) {
  for (const bool ring : {false, true}) {
    SCOPED_TRACE(ring ? "ring" : "one by one");
    TempTree tree;
    ScriptedFileReader reader;
    reader.ModelTheCache = true;
    reader.Ring = ring;
    std::vector<std::shared_ptr<PageFetcher::File>> files;
    for (int i = 0; i < 12; ++i) {
      tree.File("f" + std::to_string(i), "data");
      const std::string path = tree.Path("f" + std::to_string(i));
      files.push_back(std::make_shared<PageFetcher::File>(path, ExpectedOf(path)));
    }
    PageFetcher fetcher(reader);
    fetcher.SetDepth(4);
    EXPECT_FALSE(fetcher.Claim(*files[11]));  // its digest began before the fetcher came to it
    fetcher.Add(files);
    // Waits until the fetcher has fetched count files, then a little longer
    // for any it should not have.
    const auto fetchedOnce = [&](std::uint64_t count) {
      for (int i = 0; i < 500 && fetcher.FetchedCount() < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      return fetcher.FetchedCount();
    };
    EXPECT_EQ(fetchedOnce(4), 4u);
    for (std::size_t i = 0; i < 11; ++i) {
      ASSERT_TRUE(fetcher.Claim(*files[i])) << i;
      fetcher.Digested(*files[i], true, false);  // room for one more
      EXPECT_EQ(fetchedOnce(std::min<std::uint64_t>(i + 5, 11)), std::min<std::uint64_t>(i + 5, 11));
    }
    EXPECT_EQ(fetcher.FetchedCount(), 11u);
    EXPECT_EQ(reader.Fetches.count(files[11]->path), 0u);
  }
}

namespace {

// How many pages of the file are in the page cache.
std::size_t CachedPages(const std::string& path, std::size_t size) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) return 0;
  std::vector<unsigned char> pages((size + 4095) / 4096);
  std::size_t cached = 0;
  if (mincore(map, size, pages.data()) == 0)
    for (const unsigned char page : pages) cached += page & 1;
  munmap(map, size);
  return cached;
}

}  // namespace

TEST(FileDigester, HandsBackThePagesOfAFileOnlyWhenItReadThemFromTheDisk) {
  TempTree tree;
  const std::string content(1 << 20, 'q');
  tree.File("big", content);
  const std::string path = tree.Path("big");
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  fsync(fd);
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
  if (CachedPages(path, content.size()) != 0) GTEST_SKIP() << "this file system keeps the pages of its files";
  PosixFileReader reader;
  {
    PageReleaser releaser(reader);
    FileDigester digester(reader, &releaser);
    EXPECT_EQ(digester.ComputeFileDigest(path, ExpectedOf(path)).text, Md5Hex(content));
  }  // a releaser has handed everything back once it is gone
  EXPECT_EQ(CachedPages(path, content.size()), 0u);
  // A file that was in the cache already, as the user's own files are, stays.
  EXPECT_EQ(tree.Read("big"), content);
  const std::size_t cached = CachedPages(path, content.size());
  ASSERT_GT(cached, 0u);
  EXPECT_EQ(FileDigester(reader).ComputeFileDigest(path, ExpectedOf(path)).text, Md5Hex(content));
  EXPECT_EQ(CachedPages(path, content.size()), cached);
}

namespace {

// Gives DigestMany the files in order and keeps what it hands back, once each.
class RecordingSource : public FileDigester::Source {
 public:
  explicit RecordingSource(const std::vector<std::pair<std::string, FileDigester::Expected>>& files) : files_(files) {}
  bool Next(FileDigester::Task& task) override {
    if (next_ == files_.size()) return false;
    task = FileDigester::Task{&files_[next_].first, files_[next_].second, false, next_};
    ++next_;
    return true;
  }
  void Done(const FileDigester::Task& task, FileDigester::Result result) override {
    EXPECT_TRUE(results.emplace(task.id, result).second) << "handed back twice: " << *task.path;
  }
  std::map<std::size_t, FileDigester::Result> results;

 private:
  const std::vector<std::pair<std::string, FileDigester::Expected>>& files_;
  std::size_t next_ = 0;
};

}  // namespace

TEST(FileDigester, AFileSwappedSinceTheSearchSawItGetsNoDigest) {
  TempTree tree;
  tree.File("seen", "12345\n");
  tree.File("spare", "54321\n");
  tree.SetTime("seen", 1700000000);
  tree.SetTime("spare", 1700000000);
  // What a search that tells the inode saw, once the change times have settled.
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  struct stat st;
  ASSERT_EQ(lstat(tree.Path("seen").c_str(), &st), 0);
  FileDigester::Expected seen = ExpectedOf(tree.Path("seen"));
  seen.device = st.st_dev;
  seen.inode = st.st_ino;
  seen.changedSeconds = st.st_ctim.tv_sec;
  seen.changedNanoseconds = static_cast<std::uint32_t>(st.st_ctim.tv_nsec);
  PosixFileReader reader;
  FileDigester digester(reader);
  EXPECT_EQ(digester.ComputeFileDigest(tree.Path("seen"), seen).text, Md5Hex("12345\n"));
  // Another file of the same size and time put in its place before the open.
  ASSERT_EQ(rename(tree.Path("spare").c_str(), tree.Path("seen").c_str()), 0);
  EXPECT_EQ(digester.ComputeFileDigest(tree.Path("seen"), seen).outcome, FileDigester::Outcome::Changed);
}

TEST(FileDigester, ManyFilesAtOnceGiveWhatOneAtATimeGives) {
  // Sizes around the block and padding edges, files larger than a lane's
  // block, and every kind of failure, more files than there are lanes.
  TempTree tree;
  const std::string r = tree.Root() + "/";
  std::vector<std::pair<std::string, FileDigester::Expected>> files;
  int n = 0;
  for (std::size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, 65535, 65536, 65537, 200000, 1 << 20}) {
    const std::string name = "f" + std::to_string(n++);
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7 + n);
    tree.File(name, content);
    files.emplace_back(r + name, ExpectedOf(r + name));
  }
  for (const char* name : {"eio", "grows", "proc", "gone"}) {
    tree.File(name, std::string(100000, 'x'));
    files.emplace_back(r + name, ExpectedOf(r + name));
  }
  tree.Fifo("fifo");
  files.emplace_back(r + "fifo", ExpectedOf(r + "fifo"));
  std::remove((r + "gone").c_str());
  const auto script = [&](ScriptedFileReader& reader) {
    reader.ReadErrorOnce = {{r + "eio", EIO}};
    reader.StatSizeOf[r + "proc"] = 0;
    reader.ModelTheCache = true;  // every file comes from the disk
    reader.AfterRead = [&](const std::string& path) {
      if (path == r + "grows") tree.File("grows", std::string(100001, 'x'));
    };
  };
  for (auto& [path, expected] : files)
    if (path == r + "proc") expected.size = 0;
  std::vector<FileDigester::Result> alone;
  {
    ScriptedFileReader reader;
    script(reader);
    FileDigester digester(reader);
    for (const auto& [path, expected] : files) alone.push_back(digester.ComputeFileDigest(path, expected));
  }
  tree.File("grows", std::string(100000, 'x'));
  for (auto& [path, expected] : files)
    if (path == r + "grows") expected = ExpectedOf(path);
  ScriptedFileReader reader;
  script(reader);
  FileDigester digester(reader);
  RecordingSource source(files);
  digester.DigestMany(source);
  ASSERT_EQ(source.results.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    const FileDigester::Result& many = source.results[i];
    EXPECT_EQ(many.text.View(), alone[i].text.View()) << files[i].first;
    EXPECT_EQ(many.outcome, alone[i].outcome) << files[i].first;
    EXPECT_EQ(many.error, alone[i].error) << files[i].first;
    EXPECT_TRUE(many.waitedForDisk || many.outcome != FileDigester::Outcome::Read) << files[i].first;
    // What came from the disk went back to it, once.
    if (many.waitedForDisk) {
      EXPECT_EQ(reader.Drops[files[i].first], 1) << files[i].first;
    }
  }
  EXPECT_EQ(source.results[0].text, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(source.results[16].outcome, FileDigester::Outcome::Failed);   // eio
  EXPECT_EQ(source.results[18].outcome, FileDigester::Outcome::Changed);  // proc: more than it claims

  // Told to stop, it gives up every file it holds, each handed back once.
  FileDigester stopping(reader);
  stopping.SetInterrupt([] { return true; });
  RecordingSource stopped(files);
  stopping.DigestMany(stopped);
  ASSERT_FALSE(stopped.results.empty());
  // Files are taken in order, none after the stop.
  EXPECT_EQ(stopped.results.rbegin()->first + 1, stopped.results.size());
  EXPECT_LT(stopped.results.size(), files.size());
  EXPECT_GT(std::count_if(stopped.results.begin(), stopped.results.end(),
                          [](const auto& result) { return result.second.outcome == FileDigester::Outcome::GivenUp; }),
            0);
}

namespace {

// The system's reader, which shortens the chosen files once they are mapped,
// before a byte of them is hashed, as another program may at any time.
class ShorteningReader : public PosixFileReader {
 public:
  std::vector<std::string> Shorten;
  int Maps = 0;
  const unsigned char* MapIfCached(int fd, std::uint64_t size) override {
    const unsigned char* view = PosixFileReader::MapIfCached(fd, size);
    Maps += view != nullptr ? 1 : 0;
    struct stat open, named;
    fstat(fd, &open);
    for (const std::string& path : Shorten) {
      if (stat(path.c_str(), &named) == 0 && named.st_ino == open.st_ino && named.st_dev == open.st_dev) {
        EXPECT_EQ(truncate(path.c_str(), 5000), 0);
      }
    }
    return view;
  }
};

}  // namespace

TEST(FileDigester, AFileShortenedUnderAMappedReadGetsNoDigestAndTheOthersTheirs) {
  // Files large enough to be hashed where they lie in the cache, two of them
  // shortened under the read; one at a time, and many at once.
  TempTree tree;
  const std::string r = tree.Root() + "/";
  const std::size_t size = FileDigester::kMapFrom + 3 * FileDigester::kLaneBlockSize + 17;
  std::vector<std::string> contents;
  std::vector<std::pair<std::string, FileDigester::Expected>> files;
  const auto write = [&] {
    files.clear();
    contents.clear();
    for (int n = 0; n < 6; ++n) {
      std::string content(size, '\0');
      for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 31 + n);
      tree.File("f" + std::to_string(n), content);
      contents.push_back(content);
      files.emplace_back(r + "f" + std::to_string(n), ExpectedOf(r + "f" + std::to_string(n)));
    }
  };
  const auto check = [&](const std::vector<FileDigester::Result>& results, const ShorteningReader& reader) {
    if (reader.Maps == 0) GTEST_SKIP() << "this file system maps no files from the cache";
    for (std::size_t n = 0; n < files.size(); ++n) {
      if (n == 1 || n == 4) {
        EXPECT_EQ(results[n].outcome, FileDigester::Outcome::Changed) << n;
        EXPECT_EQ(results[n].text, std::string(32, '0')) << n;
      } else {
        EXPECT_EQ(results[n].text, Md5Hex(contents[n])) << n;
      }
    }
  };
  for (const bool many : {false, true}) {
    write();
    ShorteningReader reader;
    reader.Shorten = {r + "f1", r + "f4"};
    FileDigester digester(reader);
    std::vector<FileDigester::Result> results;
    if (many) {
      ASSERT_TRUE(digester.HashesInLanes());
      RecordingSource source(files);
      digester.DigestMany(source);
      for (const auto& [id, result] : source.results) results.push_back(result);
    } else {
      for (const auto& [path, expected] : files) results.push_back(digester.ComputeFileDigest(path, expected));
    }
    ASSERT_EQ(results.size(), files.size());
    check(results, reader);
  }
}
