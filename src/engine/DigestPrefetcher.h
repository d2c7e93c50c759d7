#pragma once

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

  DigestPrefetcher() = default;
  ~DigestPrefetcher();
  DigestPrefetcher(const DigestPrefetcher&) = delete;
  DigestPrefetcher& operator=(const DigestPrefetcher&) = delete;

  // Queues a path and returns its job number.
  std::size_t Add(std::string path);
  // Jobs added and not yet taken.
  std::size_t Outstanding();
  // The digest of job, read here or by the helper, whichever comes first.
  // Jobs are taken oldest first; nothing when job is not the oldest.
  std::optional<std::string> Take(std::size_t job, FileDigester& digester);
  // Drops every job; the helper is idle when it returns.
  void Reset();

 private:
  struct Job {
    std::string path;
    std::string digest;
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
  std::thread helper_;
  FileDigester helperDigester_;
};
