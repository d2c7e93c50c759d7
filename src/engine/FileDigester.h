#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/PageReleaser.h"
#include "platform/FileReader.h"
#include "platform/FindData.h"

// Reads files for their MD5 digest through one large buffer that is reused
// for every file.
class FileDigester {
 public:
  static constexpr std::size_t kReadBufferSize = 256 * 1024;

  // What the search saw of a file; the digest is of that file or of none.
  struct Expected {
    bool regularFile = false;
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    static Expected Of(const FindData& entry) {
      return {entry.RegularFile, entry.Size, entry.ModifiedSeconds, entry.ModifiedNanoseconds};
    }
  };

  enum class Outcome {
    Read,      // the digest of the file as its line shows it
    NotAFile,  // no regular file: never opened
    Failed,    // could not be opened or read; error holds the reason
    Changed,   // its size, time or kind changed under the read
    GivenUp,   // the interrupt said stop
  };

  struct Result {
    std::string text;  // 32 hexadecimal digits, or 32 "0" unless the outcome is Read
    Outcome outcome = Outcome::Read;
    int error = 0;
  };

  // A file that was not in the page cache has its pages handed back once
  // read, through releaser, or here when there is none.
  explicit FileDigester(FileReader& reader, PageReleaser* releaser = nullptr);

  // Only a regular file is opened, and it is read up to its listed size and
  // one byte more, so that a file that grows, or a file of /proc that claims
  // a size of 0, never keeps the read going. Symbolic links are not followed.
  Result ComputeFileDigest(const std::string& filePath, const Expected& expected);

  // Asked between blocks, every kInterruptEvery bytes, whether to give up
  // the file; a file given up gets 32 "0" too. Nothing set: never.
  void SetInterrupt(std::function<bool()> interrupt) { interrupt_ = std::move(interrupt); }
  bool PollInterrupt() { return interrupt_ && interrupt_(); }
  // Bytes read so far, by any thread; counted at every interrupt check.
  std::uint64_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

  static constexpr std::size_t kInterruptEvery = 128 * 1024;

 private:
  // Counts a block; true when the read is to be given up.
  bool Interrupted(std::size_t count);

  FileReader& reader_;
  PageReleaser* releaser_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::function<bool()> interrupt_;
  std::size_t sinceCheck_ = 0;
  std::atomic<std::uint64_t> bytesRead_{0};
};
