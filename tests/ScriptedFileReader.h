#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
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
  // With Ring, MakeRing gives a ring that asks this reader for each
  // operation of a batch; RingBatches counts the batches it was asked.
  bool Ring = false;
  int RingBatches = 0;

  int Open(const std::string& path) override {
    const int fd = system_.Open(path);
    if (AfterOpen) AfterOpen(path);
    std::lock_guard<std::mutex> lock(mutex_);
    Opened.push_back(path);
    paths_[fd] = path;
    return fd;
  }
  int OpenFolder(const std::string& path) override {
    if (!Ring) return -1;  // files by their whole path, as they were
    const int fd = system_.OpenFolder(path);
    std::lock_guard<std::mutex> lock(mutex_);
    paths_[fd] = path.empty() || path.back() == '/' ? path : path + "/";
    return fd;
  }
  int OpenFolderIn(int folder, const char* name) override {
    const int fd = system_.OpenFolderIn(folder, name);
    std::lock_guard<std::mutex> lock(mutex_);
    paths_[fd] = paths_[folder] + name + "/";
    return fd;
  }
  int OpenIn(int folder, const char* name) override {
    std::string path;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      path = paths_[folder] + name;
    }
    const int fd = system_.OpenIn(folder, name);
    if (AfterOpen) AfterOpen(path);
    std::lock_guard<std::mutex> lock(mutex_);
    Opened.push_back(path);
    paths_[fd] = path;
    return fd;
  }
  std::unique_ptr<FileRing> MakeRing() override {
    if (!Ring) return nullptr;
    // Each operation of a batch as the reader would do it on its own.
    class ScriptedRing final : public FileRing {
     public:
      explicit ScriptedRing(ScriptedFileReader& reader) : reader_(reader) {}
      void OpenAll(std::span<const OpenAt> opens, std::span<int> results) override {
        Count();
        for (std::size_t i = 0; i < opens.size(); ++i) {
          const int fd = reader_.OpenIn(opens[i].folder, opens[i].name);
          results[i] = fd >= 0 ? fd : -errno;
        }
      }
      void ProbeAll(std::span<const Probe> probes, std::span<int> results) override {
        Count();
        std::vector<char> scratch;
        for (std::size_t i = 0; i < probes.size(); ++i) {
          scratch.resize(probes[i].bytes);
          const long long got = reader_.ReadIfCached(probes[i].fd, scratch.data(), scratch.size());
          results[i] = got >= 0 ? static_cast<int>(got) : -errno;
        }
      }
      void CloseAll(std::span<const int> fds) override {
        Count();
        for (const int fd : fds) reader_.Close(fd);
      }
      bool Working() const override { return true; }

     private:
      void Count() {
        std::lock_guard<std::mutex> lock(reader_.mutex_);
        ++reader_.RingBatches;
      }
      ScriptedFileReader& reader_;
    };
    return std::make_unique<ScriptedRing>(*this);
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
