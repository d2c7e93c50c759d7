#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/ReadableFile.h"
#include "surfaces/LineSource.h"

// The lines of a listing file, read in large blocks and handed out one at a
// time as views into the block, by the same rule as ReadListingFile: CR LF, a
// lone LF and a lone CR each end a line, and a NUL byte ends the text. Only a
// line longer than a block makes the block grow, and a line longer than any
// listing line can be is an error.
class ListingLineReader : public LineSource {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{4} << 20;
  // The longest line a listing may hold. A path takes at most 32,767 UTF-16
  // units on Windows, up to 98,301 bytes in UTF-8; PATH_MAX on Linux is 4096
  // bytes, but the walk goes deeper by opening folder by folder. The fixed
  // fields and a digest of 64 digits add under 200 bytes. 1 MiB leaves room
  // for trees ten times as deep, and bounds what is held while a line end is
  // looked for in a file that has none.
  static constexpr std::size_t kLongestLine = std::size_t{1} << 20;

  // Fails with "Cannot open file %s" and the reason on a second line. Next
  // fails on a line longer than kLongestLine, naming its number.
  explicit ListingLineReader(const std::string& fileName, std::size_t blockSize = kBlockSize);

  bool Next(std::string_view& line) override;
  long long SizeHint() const override { return file_.Size(); }

 private:
  // Moves the unread bytes to the front and reads more after them.
  void Fill();
  std::size_t NextOf(char byte) const;

  std::string fileName_;
  ReadableFile file_;
  std::unique_ptr<char[]> block_;
  std::size_t capacity_;
  std::size_t begin_ = 0, end_ = 0;
  bool atEnd_ = false;
  // Where the next CR and LF at or after begin_ are (end_ for none); each is
  // looked for again only once passed, so every byte is scanned at most twice.
  std::size_t cr_ = 0, lf_ = 0;
  bool found_ = false;
  unsigned long long lineNumber_ = 0;  // of the lines handed out
};
