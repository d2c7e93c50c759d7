#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/SystemFileReader.h"

// The system's file access with failures and changes put in the way of
// chosen files; safe to share with the thread that reads digests ahead.
class ScriptedFileReader : public FileReader {
 public:
  std::map<std::string, int> ReadErrorOnce;               // path -> errno of its first read
  std::map<std::string, std::uint64_t> StatSizeOf;        // path -> the size the system claims
  std::function<void(const std::string& path)> AfterRead;  // after each read of a file
  std::function<void(const std::string& path)> AfterOpen;  // after each open of a file
  std::vector<std::string> Opened;
  // Nonzero: change times move once per tick of this many nanoseconds, as
  // where the system stamps them from a coarse clock.
  std::int64_t ChangeTimeTickNs = 0;
  // With ModelTheCache, a file reads from the page cache only when it is in
  // Cached; a fetch puts it there, and handing its pages back takes it out.
  bool ModelTheCache = false;
  std::set<std::string> Cached;
  std::map<std::string, int> Fetches, Drops;

  int Open(const std::string& path) override {
    const int fd = system_.Open(path);
    if (AfterOpen) AfterOpen(path);
    std::lock_guard<std::mutex> lock(mutex_);
    Opened.push_back(path);
    paths_[fd] = path;
    return fd;
  }
  long long Read(int fd, void* buffer, std::size_t count) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::string path = paths_[fd];
    if (const auto error = ReadErrorOnce.find(path); error != ReadErrorOnce.end()) {
      errno = error->second;
      ReadErrorOnce.erase(error);
      return -1;
    }
    lock.unlock();
    const long long got = system_.Read(fd, buffer, count);
    if (AfterRead) AfterRead(path);
    return got;
  }
  int Stat(int fd, OpenFileFacts& facts) override {
    const int result = system_.Stat(fd, facts);
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto size = StatSizeOf.find(paths_[fd]); size != StatSizeOf.end()) facts.Size = size->second;
    if (ChangeTimeTickNs != 0) {
      const std::int64_t changed = facts.ChangedSeconds * 1'000'000'000 + facts.ChangedNanoseconds;
      const std::int64_t tick = changed - changed % ChangeTimeTickNs + 1;  // never a whole second
      facts.ChangedSeconds = tick / 1'000'000'000;
      facts.ChangedNanoseconds = static_cast<std::uint32_t>(tick % 1'000'000'000);
    }
    return result;
  }
  void Close(int fd) override { system_.Close(fd); }
  long long ReadIfCached(int fd, void* buffer, std::size_t count) override {
    if (ModelTheCache) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!Cached.count(paths_[fd])) {
        errno = EAGAIN;
        return -1;
      }
    }
    return Read(fd, buffer, count);
  }
  void FetchAhead(int fd, std::uint64_t /*bytes*/) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++Fetches[paths_[fd]];
    Cached.insert(paths_[fd]);
  }
  void DropCache(int fd) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ++Drops[paths_[fd]];
    Cached.erase(paths_[fd]);
  }

 private:
  SystemFileReader system_;
  std::mutex mutex_;
  std::map<int, std::string> paths_;
};
