#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/FileOpener.h"
#include "engine/PageReleaser.h"
#include "platform/DigestAlgorithm.h"
#include "platform/FileReader.h"
#include "platform/FindData.h"
#include "platform/MapGuard.h"
#include "platform/Md5Lanes.h"
#include "platform/StreamDigest.h"

// Reads files for their digest (MD5 unless told otherwise) through one large
// buffer that is reused for every file, or, for MD5, many files at once, a
// block of each in turn, their digests made side by side in the lanes of a
// vector (DigestMany).
class FileDigester {
 public:
  static constexpr std::size_t kReadBufferSize = 256 * 1024;
  // The block read of each file at a time when many are digested at once:
  // the blocks of all the files together stay within a core's own cache.
  static constexpr std::size_t kLaneBlockSize = 64 * 1024;
  // What DigestMany asks the disk for at once of a file not in the cache.
  static constexpr std::uint64_t kFetchFirstBytes = 1 << 20;
  // From this size on, a file all in the page cache is hashed by DigestMany
  // where it lies, mapped, rather than copied out block by block; a smaller
  // one costs more to map than to copy. Its pages are let go of this many
  // bytes at a time, once hashed.
  static constexpr std::uint64_t kMapFrom = 1 << 20;
  static constexpr std::uint64_t kReleaseMappedEvery = 256 * 1024;

  // What the search saw of a file; the digest is of that file or of none.
  // Where the search tells which file it saw (inode not 0), and when it
  // last changed, the read starts from that look rather than one more.
  struct Expected {
    bool regularFile = false;
    std::uint64_t size = 0;
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t changedSeconds = 0;
    std::uint32_t changedNanoseconds = 0;
    static Expected Of(const FindData& entry) {
      return {entry.RegularFile, entry.Size,  entry.ModifiedSeconds, entry.ModifiedNanoseconds,
              entry.Device,      entry.Inode, entry.ChangedSeconds,  entry.ChangedNanoseconds};
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
  // openFd: the file opened already (as Open would), or -1; it is closed
  // by the time the result is given.
  Result ComputeFileDigest(const std::string& filePath, const Expected& expected, bool fetchedAhead = false,
                           int openFd = -1);

  // A file DigestMany is to digest, and what it is to be called back with.
  struct Task {
    const std::string* path = nullptr;  // stays in place until the task is done
    Expected expected;
    bool fetchedAhead = false;
    std::size_t id = 0;
    int fd = -1;  // the file opened already, or -1
  };
  // Where DigestMany takes its files from and hands their digests to.
  class Source {
   public:
    virtual ~Source() = default;
    // The next file, if there is one to take now; asked again later.
    virtual bool Next(Task& task) = 0;
    virtual void Done(const Task& task, Result result) = 0;
  };

  // Whether DigestMany hashes in the lanes of a vector: for MD5, where this
  // CPU has them (or QUILLON_MD5_KERNEL allows). Otherwise files are best
  // digested one at a time with ComputeFileDigest, by the system's own digest.
  bool HashesInLanes() const;
  // Digests the files source gives, up to Md5Lanes::kSlots of them open at
  // once: reads a block of each, hashes the blocks together, and hands each
  // file's result back as soon as it is made, each the same as
  // ComputeFileDigest gives. A file that ends leaves its place to the next.
  // Returns when the source has no more once every file taken is done, or
  // when the interrupt says stop, after every file it took has been handed
  // back.
  void DigestMany(Source& source);

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
  // A file open for its digest, between Begin and Finish.
  struct FileRead {
    int fd = -1;
    Expected expected;
    OpenFileFacts before;         // as the read started
    bool fetchedAhead = false;
    std::uint64_t remaining = 0;  // bytes still to be asked for
    std::uint64_t total = 0;      // bytes read
    int error = 0;
    bool first = true;            // no block read yet
    bool fromDisk = false;
    bool fetching = false;        // its start is being fetched from the disk
    const unsigned char* map = nullptr;  // the file mapped, or none: read
    std::uint64_t released = 0;   // bytes of the map let go of
    bool lost = false;            // the map lost a page under the read
  };
  // Opens the file and checks it is the one the search saw: false, with the
  // result in early, when there is nothing to read.
  // mayMap: a large file all in the cache is mapped rather than read.
  bool Begin(const std::string& filePath, const Expected& expected, bool fetchedAhead, int openFd, FileRead& read,
             Result& early, bool mayMap = false);
  // Digests the rest of a mapped file with digest_: true when given up.
  bool DigestMapped(FileRead& read);
  // Lets go of the pages of a mapped file hashed since the last time, once
  // there are enough of them.
  void ReleaseHashed(FileRead& read);
  // Feeds slot's lane the next block of its mapped file: its size.
  std::size_t FeedMapped(std::size_t slot, FileRead& read);
  // Hashes some of every lane's blocks, as Md5Lanes::HashSome. false when
  // a mapped file lost a page under it (guard_.Lost() tells which): the
  // lanes are then as they were before.
  bool HashSomeGuarded(bool anyMapped);
  // Reads the next block into buffer: its size, or 0 at the end or on a
  // failure (then read.error is set). With fetchFirst, a first block not in
  // the page cache is only asked of the disk, to be read later without the
  // wait (read.fetching): 0 then too.
  std::size_t ReadBlock(FileRead& read, unsigned char* buffer, std::size_t size, bool fetchFirst = false);
  // Closes the file; the result for the digest of what was read, given as
  // its hexadecimal digits (none when given up).
  Result Finish(FileRead& read, const char* digits, bool givenUp);

  // Counts a block; true when the read is to be given up.
  bool Interrupted(std::size_t count);

  FileReader& reader_;
  PageReleaser* releaser_;
  FileOpener opener_;
  std::unique_ptr<StreamDigest> digest_;
  std::unique_ptr<unsigned char[]> buffer_;
  std::unique_ptr<Md5Lanes> lanes_;                   // made when first wanted
  std::unique_ptr<Md5Lanes> lanesBefore_;             // as they were before a guarded hash
  MapGuard guard_;
  std::unique_ptr<unsigned char[]> laneBuffers_;       // kLaneBlockSize per slot
  std::function<bool()> interrupt_;
  std::size_t sinceCheck_ = 0;
  std::atomic<std::uint64_t> bytesRead_{0};
};
