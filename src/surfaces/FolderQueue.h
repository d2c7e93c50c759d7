#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class SpillFile;

// The folders of a listing run in walk order: the queue the walk takes its
// next folder from, and at the end the folder section. Folders the walk has
// passed are needed only for that section, so once they take more than a
// limit they wait in a temporary file rather than in memory, and the memory
// of a run depends on the folders still ahead of the walk.
class FolderQueue {
 public:
  static constexpr std::size_t kMemoryLimit = std::size_t{1} << 20;

  FolderQueue();
  ~FolderQueue();
  FolderQueue(FolderQueue&&) noexcept;
  FolderQueue& operator=(FolderQueue&&) noexcept;

  std::size_t size() const { return spilled_ + held_.size(); }
  bool empty() const { return size() == 0; }
  // Folder i, which the walk has not passed.
  const std::string& operator[](std::size_t i) const { return held_[i - spilled_]; }
  void push_back(std::string folder);
  void clear();

  // The walk needs no folder before i any more. Fails with "Cannot use
  // temporary files in %s" and the reason when they cannot be kept.
  void Passed(std::size_t i);
  // Every folder in walk order.
  void ForEach(const std::function<void(const std::string&)>& take);

  // The folders in walk order, one at a time, so that two queues can be read
  // side by side. The queue must not change meanwhile.
  class Cursor {
   public:
    explicit Cursor(FolderQueue& queue);
    // False past the last one.
    bool Next(std::string& folder);

   private:
    void Need(std::size_t n);
    FolderQueue& queue_;
    std::string block_;
    std::size_t at_ = 0;
    std::size_t index_ = 0;  // of the next folder
  };

  void SetMemoryLimit(std::size_t bytes) { limit_ = bytes; }

 private:
  [[noreturn]] void Fail(int errorNumber) const;

  std::deque<std::string> held_;
  std::size_t spilled_ = 0;         // folders in the file, before held_
  std::size_t passedBytes_ = 0;     // of the held folders the walk has passed
  std::size_t passed_ = 0;          // how many of them
  std::size_t limit_ = kMemoryLimit;
  std::unique_ptr<SpillFile> file_;
  std::string folder_;              // where the file is
};
