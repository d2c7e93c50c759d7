#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/PosixFileReader.h"

// The system's file access with failures and changes put in the way of
// chosen files; safe to share with the thread that reads digests ahead.
class ScriptedFileReader : public FileReader {
 public:
  std::map<std::string, int> ReadErrorOnce;               // path -> errno of its first read
  std::map<std::string, off_t> StatSizeOf;                // path -> the size fstat claims
  std::function<void(const std::string& path)> AfterRead;  // after each read of a file
  std::vector<std::string> Opened;

  int Open(const std::string& path, bool nonBlocking) override {
    const int fd = system_.Open(path, nonBlocking);
    std::lock_guard<std::mutex> lock(mutex_);
    Opened.push_back(path);
    paths_[fd] = path;
    return fd;
  }
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::string path = paths_[fd];
    if (const auto error = ReadErrorOnce.find(path); error != ReadErrorOnce.end()) {
      errno = error->second;
      ReadErrorOnce.erase(error);
      return -1;
    }
    lock.unlock();
    const ssize_t got = system_.Read(fd, buffer, count);
    if (AfterRead) AfterRead(path);
    return got;
  }
  int Stat(int fd, struct stat& st) override {
    const int result = system_.Stat(fd, st);
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto size = StatSizeOf.find(paths_[fd]); size != StatSizeOf.end()) st.st_size = size->second;
    return result;
  }
  void Close(int fd) override { system_.Close(fd); }

 private:
  PosixFileReader system_;
  std::mutex mutex_;
  std::map<int, std::string> paths_;
};
