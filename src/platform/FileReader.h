#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the digest checks of an open file, before and after it reads it.
struct OpenFileFacts {
  bool RegularFile = false;
  std::uint64_t Size = 0;
  std::int64_t ModifiedSeconds = 0;  // since 1970-01-01 UTC
  std::uint32_t ModifiedNanoseconds = 0;
};

// The file access that a digest reads through; the tests put failures and
// changes in its way. Errors are errno values on every system.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // Opens a file for reading without following a link at its end, by a path
  // of any length, never keeping other programs from the file; -1 with errno
  // set when it cannot. nonBlocking keeps a read that would wait from waiting.
  virtual int Open(const std::string& path, bool nonBlocking) = 0;
  // As read(2), with errno set on failure.
  virtual long long Read(int fd, void* buffer, std::size_t count) = 0;
  // The facts of the open file; -1 with errno set on failure.
  virtual int Stat(int fd, OpenFileFacts& facts) = 0;
  virtual void Close(int fd) = 0;
  // Whether the start of the file is in the page cache already, and dropping
  // its pages from the cache. By default a file counts as cached and keeps
  // its pages.
  virtual bool StartIsCached(int /*fd*/) { return true; }
  virtual void DropCache(int /*fd*/) {}
};
