#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FileReader.h"

// Hands the cached pages of files that were read once back to the system, on
// a thread of its own: dropping pages can wait for every core to flush its
// page lists, and the readers should not wait for that. One flush serves all
// the files queued by then, so the thread keeps up however many read.
class PageReleaser {
 public:
  explicit PageReleaser(FileReader& reader) : reader_(reader) {}
  ~PageReleaser();
  PageReleaser(const PageReleaser&) = delete;
  PageReleaser& operator=(const PageReleaser&) = delete;

  // Takes the open file over: its cached pages are dropped and it is closed,
  // soon, or here and now when too many files wait already.
  void Release(int fd);
  // Releases every file queued and ends the thread; the next Release starts
  // it again.
  void Finish();

 private:
  static constexpr std::size_t kMaxQueued = 256;

  void DropAndClose(int fd);
  void Loop();

  FileReader& reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> queued_;
  bool stopping_ = false;
  std::thread thread_;
};
