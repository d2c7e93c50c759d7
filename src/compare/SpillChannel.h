#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/SpillFile.h"

// Records written once and then read from the start: in memory while they
// fit in the buffer, in a temporary file once they outgrow it (made only
// then), or in memory alone for work that fits. A failure of the file
// fails with the program's text, which names the folder and, for a full disk,
// about how many bytes the work needs.
class SpillChannel {
 public:
  // Where the temporary files go, and what a failure says.
  struct Place {
    std::string folder;
    unsigned long long bytesNeeded = 0;  // the whole work's, where known; else 0: the bytes written tell
  };

  // In memory.
  SpillChannel() = default;
  // Going to a temporary file in place->folder once more than bufferSize
  // bytes are written.
  SpillChannel(const Place* place, std::size_t bufferSize);

  void Put(const void* data, std::size_t size);
  // Ends the writing; reading starts at the first byte.
  void StartReading();
  // The next size bytes in one piece, valid until the next Take; nullptr at
  // the end.
  const char* Take(std::size_t size);
  // Up to size bytes, fewer only at the end; empty at the end.
  std::string_view TakeUpTo(std::size_t size);
  // All that was written, in one piece, valid until Release.
  std::string_view TakeAll();
  // Frees the memory and the file.
  void Release();

  unsigned long long Written() const { return written_; }
  bool OnDisk() const { return file_ != nullptr; }

 private:
  void Flush();
  static constexpr std::size_t kReadChunk = std::size_t{1} << 20;
  [[noreturn]] void Fail(int errorNumber) const;

  const Place* place_ = nullptr;
  std::unique_ptr<SpillFile> file_;
  std::string buffer_;
  std::size_t bufferSize_ = 0;
  std::size_t readAt_ = 0;
  unsigned long long written_ = 0;
  unsigned long long taken_ = 0;
  bool fileAtEnd_ = false;
};
