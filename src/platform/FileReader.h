#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <string>

// The file access that a digest reads through; the tests put failures and
// changes in its way.
class FileReader {
 public:
  virtual ~FileReader() = default;
  // Opens a file for reading without following a symbolic link at its end, by
  // a path of any length; -1 with errno set when it cannot. nonBlocking keeps
  // a read that would wait from waiting.
  virtual int Open(const std::string& path, bool nonBlocking) = 0;
  // As read(2) and fstat(2), with errno set on failure.
  virtual ssize_t Read(int fd, void* buffer, std::size_t count) = 0;
  virtual int Stat(int fd, struct stat& st) = 0;
  virtual void Close(int fd) = 0;
  // Whether the start of the file is in the page cache already, and dropping
  // its pages from the cache. By default a file counts as cached and keeps
  // its pages.
  virtual bool StartIsCached(int /*fd*/) { return true; }
  virtual void DropCache(int /*fd*/) {}
};
