#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/PageReleaser.h"
#include "platform/DigestAlgorithm.h"
#include "platform/FileReader.h"
#include "platform/FindData.h"
#include "platform/StreamDigest.h"

// Reads files for their digest (MD5 unless told otherwise) through one large
// buffer that is reused for every file.
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

  // 32 hexadecimal digits (64 for SHA-256), held in place: a digest is made
  // on one thread and used on another, and a block allocated on one thread
  // and freed on another costs the allocator a lock each time.
  struct Text {
    char digits[kMaxDigestDigits];
    std::uint8_t length = 32;
    std::string_view View() const { return {digits, length}; }
    // The digits of a file without a digest: all "0".
    static Text Zeros(DigestAlgorithm algorithm);
    friend bool operator==(const Text& text, std::string_view other) { return text.View() == other; }
    friend std::ostream& operator<<(std::ostream& out, const Text& text) { return out << text.View(); }
  };

  struct Result {
    Text text;  // all "0" unless the outcome is Read
    Outcome outcome = Outcome::Read;
    int error = 0;
    bool waitedForDisk = false;  // its start was not in the page cache
    // The result for digits from elsewhere, such as the digest cache.
    static Result Of(std::string_view digits);
  };

  // A file that was not in the page cache has its pages handed back once
  // read, through releaser, or here when there is none.
  explicit FileDigester(FileReader& reader, PageReleaser* releaser = nullptr,
                        DigestAlgorithm algorithm = DigestAlgorithm::Md5);
  ~FileDigester() { ForgetFolder(); }
  FileDigester(const FileDigester&) = delete;
  FileDigester& operator=(const FileDigester&) = delete;

  // Only a regular file is opened, and it is read up to its listed size, or
  // one byte of a file listed as empty, so that a file that grows, or a file
  // of /proc, never keeps the read going. Symbolic links are not followed.
  // fetchedAhead: its pages were read into the cache for this digest alone,
  // so they are handed back whatever the read finds in the cache.
  Result ComputeFileDigest(const std::string& filePath, const Expected& expected, bool fetchedAhead = false);

  // The digest the next files get.
  void SetAlgorithm(DigestAlgorithm algorithm);

  // Asked between blocks, every kInterruptEvery bytes, whether to give up
  // the file; a file given up gets all "0" too. Nothing set: never.
  void SetInterrupt(std::function<bool()> interrupt) { interrupt_ = std::move(interrupt); }
  bool PollInterrupt() { return interrupt_ && interrupt_(); }
  // Bytes read so far, by any thread; counted at every interrupt check.
  std::uint64_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

  static constexpr std::size_t kInterruptEvery = 128 * 1024;

  // Closes the folder kept open for the files in it.
  void ForgetFolder();

 private:
  // Counts a block; true when the read is to be given up.
  bool Interrupted(std::size_t count);
  // Files come folder by folder, so the last folder stays open and the next
  // file in it opens by its name alone.
  int OpenFile(const std::string& filePath);

  FileReader& reader_;
  PageReleaser* releaser_;
  std::unique_ptr<StreamDigest> digest_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::function<bool()> interrupt_;
  std::size_t sinceCheck_ = 0;
  std::string folder_;  // with its separator; the one folderFd_ is
  int folderFd_ = -1;
  std::atomic<std::uint64_t> bytesRead_{0};
};
