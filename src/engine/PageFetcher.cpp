#include "engine/PageFetcher.h"

#include <algorithm>
#include <cerrno>

void PageFetcher::SetDepth(std::size_t files) {
  Finish();
  depth_ = files;
}

void PageFetcher::Add(std::vector<std::shared_ptr<File>> files) {
  if (depth_ == 0 || files.empty()) return;
  bool resting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // While it rests the digests pass it by; what they took is of no use.
    while (!queue_.empty() && queue_.front()->state.load() != kQueued) queue_.pop_front();
    for (auto& file : files) queue_.push_back(std::move(file));
    if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
    resting = resting_;
  }
  // A resting fetcher has nothing to do with more files until a digest
  // wakes it: waking it for each folder queued costs two system calls.
  if (!resting) changed_.notify_one();
}

bool PageFetcher::Claim(File& file) {
  int state = kQueued;
  if (file.state.compare_exchange_strong(state, kClaimed)) return false;
  // A fetch under way takes a few system calls: wait for its end, so that
  // its pages are not asked for after the digest has handed them back.
  while (state == kFetching) {
    file.state.wait(kFetching);
    state = file.state.load();
  }
  return state == kFetched;
}

void PageFetcher::Digested(File& file, bool fetched, bool waitedForDisk) {
  if (!fetched && !waitedForDisk) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fetched) {
      --filesAhead_;
      bytesAhead_ -= file.fetchedBytes;
    } else {
      // The disk is being read after all: fetch again.
      resting_ = false;
      cachedInARow_ = 0;
    }
  }
  changed_.notify_one();
}

void PageFetcher::Reset() {
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.clear();
  idle_.wait(lock, [this] { return !busy_; });
  filesAhead_ = 0;
  bytesAhead_ = 0;
  cachedInARow_ = 0;
  resting_ = false;
}

void PageFetcher::Finish() {
  Reset();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
}

void PageFetcher::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stopping_ || (!queue_.empty() && !resting_ && filesAhead_ < depth_ && bytesAhead_ < kMaxBytesAhead);
    });
    if (stopping_) return;
    std::shared_ptr<File> file = std::move(queue_.front());
    queue_.pop_front();
    int state = kQueued;
    if (!file->state.compare_exchange_strong(state, kFetching)) continue;  // its digest is under way
    busy_ = true;
    lock.unlock();
    const std::uint64_t bytes = Fetch(*file);
    lock.lock();
    busy_ = false;
    if (bytes > 0) {
      // Counted before the digest can see it fetched, and so uncount it.
      ++filesAhead_;
      bytesAhead_ += bytes;
      file->fetchedBytes = bytes;
      fetchedCount_.fetch_add(1, std::memory_order_relaxed);
      cachedInARow_ = 0;
    } else if (++cachedInARow_ >= kRestAfter) {
      resting_ = true;
    }
    file->state.store(bytes > 0 ? kFetched : kPassed);
    file->state.notify_all();
    idle_.notify_all();
  }
}

std::uint64_t PageFetcher::Fetch(const File& file) {
  if (!file.expected.regularFile || file.expected.size == 0) return 0;
  const int fd = reader_.Open(file.path);
  if (fd < 0) return 0;  // the digest tells why
  std::uint64_t bytes = 0;
  OpenFileFacts facts;
  // Only the file the search saw: never a device put in its place.
  if (reader_.Stat(fd, facts) == 0 && facts.RegularFile && facts.Size == file.expected.size) {
    char byte;
    if (reader_.ReadIfCached(fd, &byte, 1) < 0 && errno == EAGAIN) {
      bytes = std::min(file.expected.size, kFetchBytes);
      reader_.FetchAhead(fd, bytes);
    }
  }
  reader_.Close(fd);
  return bytes;
}
