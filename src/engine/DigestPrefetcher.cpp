#include "engine/DigestPrefetcher.h"

DigestPrefetcher::DigestPrefetcher(FileReader& reader) : helperDigester_(reader) {
  helperDigester_.SetInterrupt([this] { return abort_.load(std::memory_order_relaxed); });
}

DigestPrefetcher::~DigestPrefetcher() { EndHelper(); }

void DigestPrefetcher::EndHelper() {
  Reset();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (helper_.joinable()) helper_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = false;
}

std::size_t DigestPrefetcher::Add(std::string path, const FileDigester::Expected& expected) {
  std::size_t job;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job = base_ + jobs_.size();
    jobs_.push_back(Job{std::move(path), expected, {}, false});
  }
  if (!helper_.joinable()) helper_ = std::thread([this] { HelperLoop(); });
  changed_.notify_all();
  return job;
}

std::size_t DigestPrefetcher::Outstanding() {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_.size();
}

bool DigestPrefetcher::RunNext(std::unique_lock<std::mutex>& lock, FileDigester& digester) {
  if (next_ >= base_ + jobs_.size()) return false;
  const std::size_t job = next_++;
  const std::string path = jobs_[job - base_].path;
  const FileDigester::Expected expected = jobs_[job - base_].expected;
  lock.unlock();
  FileDigester::Result result = digester.ComputeFileDigest(path, expected);
  lock.lock();
  // A job is only dropped once it is done, or once the helper is idle.
  Job& slot = jobs_[job - base_];
  slot.result = std::move(result);
  slot.done = true;
  changed_.notify_all();
  return true;
}

std::optional<FileDigester::Result> DigestPrefetcher::Take(std::size_t job, FileDigester& digester) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (job != base_ || jobs_.empty()) return std::nullopt;
  while (!jobs_.front().done) {
    // Rather than wait for the helper, read the next file here.
    if (RunNext(lock, digester) || changed_.wait_for(lock, kPollInterval, [this] { return jobs_.front().done; }))
      continue;
    lock.unlock();
    const bool stop = digester.PollInterrupt();
    lock.lock();
    if (stop) Abort();
  }
  FileDigester::Result result = std::move(jobs_.front().result);
  jobs_.pop_front();
  ++base_;
  return result;
}

void DigestPrefetcher::Reset() {
  std::unique_lock<std::mutex> lock(mutex_);
  next_ = base_ + jobs_.size();
  Abort();  // the file the helper reads is dropped anyway
  changed_.wait(lock, [this] { return helperBusy_ == 0; });
  base_ += jobs_.size();
  jobs_.clear();
  next_ = base_;
  abort_.store(false, std::memory_order_relaxed);
}

void DigestPrefetcher::HelperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stopping_ || (next_ < base_ + jobs_.size() && !abort_.load(std::memory_order_relaxed));
    });
    if (stopping_) return;
    ++helperBusy_;
    RunNext(lock, helperDigester_);
    --helperBusy_;
    changed_.notify_all();
  }
}
