#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A listing file opened for reading, closed when destroyed.
class ReadableFile {
 public:
  ReadableFile() = default;
  ~ReadableFile() { Close(); }
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;

  // Opens a listing file; others may go on reading it. With regularOnly, a
  // FIFO without a writer cannot hold the open. A folder opens on POSIX and
  // is told by IsFolder; the caller refuses it.
  bool OpenForLoading(const std::string& path, bool regularOnly);

  bool IsFolder() const { return folder_; }
  bool IsRegular() const { return regular_; }
  // The size of a regular file; -1 when it is not known in advance.
  long long Size() const { return size_; }
  // Reads up to size bytes: the count, 0 at the end, -1 on a read error.
  long long Read(char* buffer, std::size_t size);
  void Close();
  // Why the last open or read failed, as an errno value on every system.
  int Error() const { return error_; }

 private:
  std::intptr_t handle_ = -1;
  long long size_ = -1;
  bool folder_ = false;
  bool regular_ = false;
  int error_ = 0;
};
