#pragma once

#include "platform/FileReader.h"

// The file access of the system itself.
class PosixFileReader : public FileReader {
 public:
  int Open(const std::string& path, bool nonBlocking) override;
  long long Read(int fd, void* buffer, std::size_t count) override;
  int Stat(int fd, OpenFileFacts& facts) override;
  void Close(int fd) override;
  // A read that may not wait for the disk gets the first byte; an empty file
  // counts as cached.
  bool StartIsCached(int fd) override;
  void DropCache(int fd) override;
};
