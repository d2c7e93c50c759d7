#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/FileDigester.h"
#include "engine/FileOpener.h"
#include "platform/FileReader.h"
#include "platform/FileRing.h"

// Starts the disk reads of the files queued for their digests, in the order
// they are queued, ahead of the threads that hash them. It asks the system to
// read each file into the page cache and goes on at once, so that one thread
// keeps many reads under way while no more threads hash than there are cores.
// It rests once it meets a long run of files that are cached already, and
// wakes when a digest has to wait for the disk.
class PageFetcher {
 public:
  // A file queued for its digest, shared by the fetcher and the digest job.
  struct File {
    File(std::string filePath, const FileDigester::Expected& fileExpected)
        : path(std::move(filePath)), expected(fileExpected) {}
    ~File() {
      if (heldFd >= 0) holder->Close(heldFd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    const std::string path;
    const FileDigester::Expected expected;
    std::atomic<int> state{kQueued};
    std::uint64_t fetchedBytes = 0;  // set before state becomes kFetched
    // The file as the fetcher opened it, kept open for its digest; set
    // before state becomes kFetched, closed through holder if never taken.
    int heldFd = -1;
    FileReader* holder = nullptr;
  };

  // The first bytes of a file fetched; the rest comes as it is read. Fetched
  // bytes not yet digested stay below kMaxBytesAhead.
  static constexpr std::uint64_t kFetchBytes = 1 << 20;
  static constexpr std::uint64_t kMaxBytesAhead = 64 << 20;
  // Files found cached in a row before the fetcher rests.
  static constexpr int kRestAfter = 64;
  // Files a ring asks for at once: their reads reach the disk together.
  static constexpr std::size_t kRingBatch = 32;
  // Fetched files kept open for their digests, at most: a digest need not
  // open again what the fetcher opened, and the limit of open files stays
  // far off.
  static constexpr std::size_t kMaxHeld = 128;

  explicit PageFetcher(FileReader& reader) : reader_(reader) {}
  ~PageFetcher() { Finish(); }
  PageFetcher(const PageFetcher&) = delete;
  PageFetcher& operator=(const PageFetcher&) = delete;

  // How many fetched files may wait for their digest at once; 0 fetches
  // nothing. Drops every queued file.
  void SetDepth(std::size_t files);
  // Queues files in walk order; starts the thread when it is not running.
  void Add(std::vector<std::shared_ptr<File>> files);
  // Before the digest of file is made: true when its pages were fetched, so
  // that the digest hands them back. The fetcher leaves it alone from then on.
  bool Claim(File& file);
  // After Claim said fetched: the file as the fetcher opened it, for the
  // digest to read and close, or -1 when the digest is to open it itself.
  static int TakeHeld(File& file) { return std::exchange(file.heldFd, -1); }
  // After the digest of a file fetched, or of one that was not in the cache.
  void Digested(File& file, bool fetched, bool waitedForDisk);
  // Drops every queued file; none is being fetched when it returns.
  void Reset();
  // Drops every queued file and ends the thread; the next Add starts it.
  void Finish();
  // Files fetched since the fetcher was made.
  std::uint64_t FetchedCount() const { return fetchedCount_.load(std::memory_order_relaxed); }

  enum : int { kQueued, kFetching, kFetched, kPassed, kClaimed };

 private:
  void Loop();
  // How many more files, and bytes, may be fetched now; the lock is held.
  std::uint64_t Room() const;
  std::uint64_t RoomBytes() const;
  static bool Fetchable(const File& file);
  // Whether another fetched file may be kept open for its digest; keeps it.
  bool CanHold() const;
  void Hold(File& file, int fd);
  // Fetches file when it is not cached already; the bytes asked for, or 0.
  std::uint64_t Fetch(FileOpener& opener, File& file, bool hold);
  // The same for a batch of files through ring: the bytes of each in fetched.
  void FetchAll(FileRing& ring, FileOpener& opener, const std::vector<std::shared_ptr<File>>& batch,
                std::vector<std::uint64_t>& fetched);

  FileReader& reader_;
  std::size_t depth_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::condition_variable idle_;
  std::deque<std::shared_ptr<File>> queue_;
  std::size_t filesAhead_ = 0;      // fetched and not yet digested
  std::uint64_t bytesAhead_ = 0;
  int cachedInARow_ = 0;
  bool resting_ = false;
  bool busy_ = false;
  bool stopping_ = false;
  std::atomic<std::uint64_t> fetchedCount_{0};
  std::size_t held_ = 0;  // files fetched and not yet digested, and those kept open since, on the thread
  std::thread thread_;
};
