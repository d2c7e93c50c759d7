#include "engine/PageReleaser.h"

PageReleaser::~PageReleaser() { Finish(); }

void PageReleaser::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  for (const int fd : queued_) DropAndClose(fd);
  queued_.clear();
  stopping_ = false;
}

void PageReleaser::Release(int fd) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queued_.size() < kMaxQueued) {
      queued_.push_back(fd);
      if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
      changed_.notify_one();
      return;
    }
  }
  DropAndClose(fd);
}

void PageReleaser::DropAndClose(int fd) {
  reader_.DropCache(fd);
  reader_.Close(fd);
}

void PageReleaser::Loop() {
  std::vector<int> batch;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
    if (queued_.empty()) return;
    batch.swap(queued_);
    lock.unlock();
    for (const int fd : batch) DropAndClose(fd);
    batch.clear();
    lock.lock();
  }
}
