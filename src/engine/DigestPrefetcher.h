#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/FileDigester.h"

// Reads file digests on two cores. The listing adds the paths of the files it
// will reach, in the order it will reach them, and takes each digest in that
// order. A helper thread and the taking thread both start the oldest path not
// yet started, so both stay busy and the lines still come out in walk order.
class DigestPrefetcher {
 public:
  static constexpr std::size_t kNoJob = std::numeric_limits<std::size_t>::max();

  explicit DigestPrefetcher(FileReader& reader);
  ~DigestPrefetcher();
  DigestPrefetcher(const DigestPrefetcher&) = delete;
  DigestPrefetcher& operator=(const DigestPrefetcher&) = delete;

  // Queues a path, with what the search saw of it, and returns its job number.
  std::size_t Add(std::string path, const FileDigester::Expected& expected);
  // Jobs added and not yet taken.
  std::size_t Outstanding();
  // The digest of job, read here or by the helper, whichever comes first.
  // Jobs are taken oldest first; nothing when job is not the oldest. While it
  // waits for the helper it asks the digester's interrupt every kPollInterval;
  // when that says stop, the helper gives up its file too.
  std::optional<FileDigester::Result> Take(std::size_t job, FileDigester& digester);
  // The helper gives up the file it reads and starts no other until Reset.
  void Abort() { abort_.store(true, std::memory_order_relaxed); }
  // Drops every job; the helper gives up its file and is idle when it returns.
  void Reset();
  // Drops every job and ends the helper thread; the next Add starts it again.
  void EndHelper();
  // Bytes the helper has read for digests.
  std::uint64_t HelperBytesRead() const { return helperDigester_.BytesRead(); }

  static constexpr std::chrono::milliseconds kPollInterval{10};

 private:
  struct Job {
    std::string path;
    FileDigester::Expected expected;
    FileDigester::Result result;
    bool done = false;
  };

  void HelperLoop();
  // Reads the oldest job not yet started; the lock is held on entry and on
  // return. False when every job is started.
  bool RunNext(std::unique_lock<std::mutex>& lock, FileDigester& digester);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;  // from job number base_ on
  std::size_t base_ = 0;
  std::size_t next_ = 0;  // the job number to start next
  int helperBusy_ = 0;
  bool stopping_ = false;
  std::atomic<bool> abort_{false};
  std::thread helper_;
  FileDigester helperDigester_;
};
