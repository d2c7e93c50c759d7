#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/PosixFileReader.h"

// The system's file access with failures and changes put in its way, for the
// digest's tests: a read can fail with an error number, something can happen
// after a read, and a file can claim a size of its own. Safe to share with
// the thread that reads digests ahead.
class ScriptedFileReader : public FileReader {
 public:
  std::map<int, int> ReadErrors;                  // read call number (from 0) -> errno
  std::map<std::string, int> ReadErrorsOf;        // path -> errno of its every read
  std::function<void(int call)> AfterRead;        // after each read that went to the file
  std::optional<off_t> StatSize;                  // what fstat says of the size
  std::vector<std::string> Opened;                // every path opened
  std::vector<bool> OpenedNonBlocking;

  int Open(const std::string& path, bool nonBlocking) override {
    const int fd = system_.Open(path, nonBlocking);
    std::lock_guard<std::mutex> lock(mutex_);
    Opened.push_back(path);
    OpenedNonBlocking.push_back(nonBlocking);
    if (fd >= 0) paths_[fd] = path;
    return fd;
  }
  ssize_t Read(int fd, void* buffer, std::size_t count) override {
    int error = 0, call;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      call = reads_++;
      if (const auto found = ReadErrors.find(call); found != ReadErrors.end()) error = found->second;
      if (const auto found = ReadErrorsOf.find(paths_[fd]); found != ReadErrorsOf.end()) error = found->second;
    }
    if (error != 0) {
      errno = error;
      return -1;
    }
    const ssize_t got = system_.Read(fd, buffer, count);
    if (AfterRead) AfterRead(call);
    return got;
  }
  int Stat(int fd, struct stat& st) override {
    const int result = system_.Stat(fd, st);
    if (StatSize) st.st_size = *StatSize;
    return result;
  }
  void Close(int fd) override { system_.Close(fd); }

 private:
  PosixFileReader system_;
  std::mutex mutex_;
  std::map<int, std::string> paths_;
  int reads_ = 0;
};
