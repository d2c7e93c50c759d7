#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

// Runs jobs ahead of one taker on helper threads, and hands their results to
// the taker in the order the jobs were added. Helpers start the oldest job not
// yet started; a taker whose job is not done yet starts the next one itself
// rather than wait. The number of helpers sets how many jobs, and so how many
// reads of the disk, are under way at once. Each helper, and the taker, works
// with a Context of its own (a read buffer, say), which a job may ask whether
// the pool has been told to give up (Aborted). Work is what a job calls; a
// type of its own spares the allocation a std::function may need per job.
// A Work type with a static RunBatch(Context&, Batch&) runs many jobs at once
// instead: each worker draws jobs from a Batch and hands back each result as
// soon as it is made.
template <typename Result, typename Context, typename Work = std::function<Result(Context&)>>
class ReadAheadPool {
 public:
  using MakeContext = std::function<std::unique_ptr<Context>()>;
  static constexpr std::size_t kNoJob = std::numeric_limits<std::size_t>::max();
  static constexpr std::chrono::milliseconds kPollInterval{10};

  // The jobs one worker runs at once, when Work runs them in batches.
  class Batch {
   public:
    // Claims the oldest job not yet started: its work, and its number in
    // job; null when none is left or the pool gave up. While other workers
    // idle, a batch that holds jobs already leaves them their share of what
    // is left; the taker's batch takes no more once the job it waits for is
    // done.
    const Work* Next(std::size_t& job) {
      std::lock_guard<std::mutex> lock(pool_.mutex_);
      HandBack();
      const std::size_t end = pool_.base_ + pool_.jobs_.size();
      if (!pool_.MayStart()) return nullptr;
      if (taker_ && pool_.jobs_.front().done) return nullptr;
      if (held_ > 0) {
        const std::size_t workers = pool_.wantedHelpers_ + (pool_.TakerWorks() ? 1 : 0);
        const std::size_t idle = workers > static_cast<std::size_t>(pool_.busy_) ? workers - pool_.busy_ : 0;
        const std::size_t share = (end - pool_.next_ + held_ + idle) / (idle + 1);
        if (held_ >= share) return nullptr;
      }
      job = pool_.next_++;
      ++held_;
      return &pool_.jobs_[job - pool_.base_].work;
    }
    // The result of a job. It reaches the pool with the next Next, which
    // follows at once, or as the batch ends: the lock that the workers and
    // the taker share is then taken once per job, not twice.
    void Done(std::size_t job, Result result) { finished_.emplace_back(job, std::move(result)); }
    bool Aborted() const { return pool_.Aborted(); }

   private:
    friend class ReadAheadPool;
    Batch(ReadAheadPool& pool, bool taker) : pool_(pool), taker_(taker) {}
    // Puts the results of Done in their jobs; the lock is held.
    void HandBack() {
      bool oldest = false;
      for (auto& [job, result] : finished_) {
        Job& slot = pool_.jobs_[job - pool_.base_];
        slot.result = std::move(result);
        slot.done = true;
        --held_;
        oldest = oldest || job == pool_.base_;
      }
      finished_.clear();
      // Only the oldest job is waited for.
      if (oldest) pool_.doneChanged_.notify_all();
    }
    ReadAheadPool& pool_;
    bool taker_;
    std::size_t held_ = 0;
    std::vector<std::pair<std::size_t, Result>> finished_;
  };

  explicit ReadAheadPool(MakeContext makeContext) : makeContext_(std::move(makeContext)) {}
  ~ReadAheadPool() { EndHelpers(); }
  ReadAheadPool(const ReadAheadPool&) = delete;
  ReadAheadPool& operator=(const ReadAheadPool&) = delete;

  // How many helpers to run from the next job on; drops every job.
  void SetHelpers(std::size_t helpers) {
    EndHelpers();
    wantedHelpers_ = helpers;
  }
  // Jobs start only once this many wait to be started, or once the taker
  // waits for one, so that a batch starts with many at once; the taker then
  // leaves the work to the helpers. 0: whenever there is a job.
  void SetGather(std::size_t jobs) { gather_ = jobs; }

  // Queues a job and returns its number; starts the helpers if they are not
  // running.
  std::size_t Add(Work work) {
    std::vector<Work> one;
    one.push_back(std::move(work));
    return AddMany(std::move(one));
  }
  // Queues jobs, numbered one after the other from the number returned.
  std::size_t AddMany(std::vector<Work> works) {
    std::size_t job;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job = base_ + jobs_.size();
      for (Work& work : works) jobs_.push_back(Job{std::move(work), {}, false});
    }
    while (helpers_.size() < wantedHelpers_) {
      contexts_.push_back(makeContext_());
      Context& context = *contexts_.back();
      helpers_.emplace_back([this, &context] { HelperLoop(context); });
    }
    changed_.notify_one();
    return job;
  }

  // Jobs added and not yet taken.
  std::size_t Outstanding() {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.size();
  }

  // True when the oldest job is done, so that Take would not wait or work.
  bool OldestDone() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !jobs_.empty() && jobs_.front().done;
  }

  // The result of job, made here or by a helper, whichever comes first.
  // Jobs are taken oldest first; nothing when job is not the oldest, or when
  // the pool gave up before anyone started it. While it waits it asks stop,
  // if given, every kPollInterval; once that says yes the pool gives up
  // (Abort), and the job ends as soon as it notices.
  std::optional<Result> Take(std::size_t job, Context& context, const std::function<bool()>& stop = {}) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (job != base_ || jobs_.empty()) return std::nullopt;
    const auto done = [this] { return jobs_.front().done; };
    // Gathering helpers start for a taker that waits.
    if (gather_ > 0 && !done()) {
      takerWaiting_ = true;
      changed_.notify_all();
    }
    while (!done()) {
      // Given up before any worker took it, it never will be done.
      if (Aborted() && next_ <= job) {
        takerWaiting_ = false;
        return std::nullopt;
      }
      if (TakerWorks() && RunNext(lock, context, true)) continue;
      if (!stop || Aborted()) {
        doneChanged_.wait(lock, done);
      } else if (!doneChanged_.wait_for(lock, kPollInterval, done)) {
        lock.unlock();
        if (stop()) Abort();
        lock.lock();
      }
    }
    takerWaiting_ = false;
    Result result = std::move(jobs_.front().result);
    jobs_.pop_front();
    ++base_;
    return result;
  }

  // Jobs under way are to end as soon as they notice, and no other starts
  // until Reset.
  void Abort() {
    aborted_.store(true, std::memory_order_relaxed);
    changed_.notify_all();
  }
  bool Aborted() const { return aborted_.load(std::memory_order_relaxed); }

  // Drops every job; no helper is working when it returns.
  void Reset() {
    std::unique_lock<std::mutex> lock(mutex_);
    next_ = base_ + jobs_.size();
    Abort();  // what a helper works on is dropped anyway
    doneChanged_.wait(lock, [this] { return busy_ == 0; });
    base_ += jobs_.size();
    jobs_.clear();
    next_ = base_;
    aborted_.store(false, std::memory_order_relaxed);
  }

  // Drops every job and ends the helper threads; the next Add starts them
  // again.
  void EndHelpers() {
    Reset();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& helper : helpers_) helper.join();
    helpers_.clear();
    contexts_.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
  }

  // The contexts of the helpers running now, for figures they keep.
  const std::vector<std::unique_ptr<Context>>& HelperContexts() const { return contexts_; }

 private:
  struct Job {
    Work work;
    Result result;
    bool done = false;
  };

  void HelperLoop(Context& context) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || MayStart(); });
      if (stopping_) return;
      RunNext(lock, context);
    }
  }

  bool TakerWorks() const { return gather_ == 0 || wantedHelpers_ == 0; }
  // Whether the oldest job not yet started may start now; the lock is held.
  bool MayStart() const {
    const std::size_t waiting = base_ + jobs_.size() - next_;
    return waiting > 0 && !Aborted() && (waiting >= gather_ || takerWaiting_);
  }

  static constexpr bool kBatches = requires(Context& context, Batch& batch) { Work::RunBatch(context, batch); };

  // Runs the oldest job not yet started, or a batch from it on; the lock is
  // held on entry and on return. False when every job is started.
  bool RunNext(std::unique_lock<std::mutex>& lock, Context& context, bool taker = false) {
    if (next_ >= base_ + jobs_.size()) return false;
    if constexpr (kBatches) {
      ++busy_;
      lock.unlock();
      Batch batch(*this, taker);
      Work::RunBatch(context, batch);
      lock.lock();
      batch.HandBack();
      --busy_;
      doneChanged_.notify_all();
      return true;
    }
    const std::size_t job = next_++;
    // The deque may grow meanwhile, but a job is only dropped once it is done
    // or once no one works (Reset), so its work stays where it is.
    const Work& work = jobs_[job - base_].work;
    ++busy_;
    lock.unlock();
    Result result = work(context);
    lock.lock();
    --busy_;
    Job& slot = jobs_[job - base_];
    slot.result = std::move(result);
    slot.done = true;
    doneChanged_.notify_all();
    return true;
  }

  MakeContext makeContext_;
  std::size_t wantedHelpers_ = 1;
  std::size_t gather_ = 0;
  bool takerWaiting_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;      // a job was added, or the helpers are to stop
  std::condition_variable doneChanged_;  // a job is done, or a worker went idle
  std::deque<Job> jobs_;                 // from job number base_ on
  std::size_t base_ = 0;
  std::size_t next_ = 0;                 // the job number to start next
  int busy_ = 0;                         // jobs running now
  bool stopping_ = false;
  std::atomic<bool> aborted_{false};
  std::vector<std::thread> helpers_;                // only the taker's thread changes these two
  std::vector<std::unique_ptr<Context>> contexts_;
};
