#pragma once

#include "platform/FileReader.h"

// The file access of the system itself.
class PosixFileReader : public FileReader {
 public:
  int Open(const std::string& path) override;
  int OpenFolder(const std::string& path) override;
  int OpenIn(int folder, const char* name) override;
  int OpenFolderIn(int folder, const char* name) override;
  long long Read(int fd, void* buffer, std::size_t count) override;
  int Stat(int fd, OpenFileFacts& facts) override;
  void Close(int fd) override;
  long long ReadIfCached(int fd, void* buffer, std::size_t count) override;
  void FetchAhead(int fd, std::uint64_t bytes) override;
  void AdviseSequential(int fd) override;
  void DropCache(int fd) override;
  const unsigned char* MapIfCached(int fd, std::uint64_t size) override;
  void ReleaseMapped(const unsigned char* view, std::uint64_t from, std::uint64_t to) override;
  void Unmap(const unsigned char* view, std::uint64_t size) override;
  // io_uring's, unless QUILLON_IO_URING is "off".
  std::unique_ptr<FileRing> MakeRing() override;
};
