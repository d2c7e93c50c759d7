#pragma once

#include "platform/FileReader.h"

// The file access of Windows: files opened with every kind of sharing, by
// extended-length paths, a reparse point as itself.
class WindowsFileReader : public FileReader {
 public:
  int Open(const std::string& path) override;
  long long Read(int fd, void* buffer, std::size_t count) override;
  int Stat(int fd, OpenFileFacts& facts) override;
  void Close(int fd) override;
};
