#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Reads files for their MD5 digest through one large stream buffer that is
// reused for every file.
class FileDigester {
 public:
  static constexpr std::size_t kStreamBufferSize = 256 * 1024;
  static constexpr std::size_t kReadBlock = 512;

  FileDigester();

  // The 32 hexadecimal digits of the file's MD5 digest; 32 "0" when the entry
  // is no regular file, cannot be opened, or a read fails part-way. Symbolic
  // links are not followed, and FIFOs and devices are never read.
  std::string ComputeFileDigest(const std::string& filePath);

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

  std::unique_ptr<char[]> streamBuffer_;
  std::function<bool()> interrupt_;
  std::size_t sinceCheck_ = 0;
  std::atomic<std::uint64_t> bytesRead_{0};
};
