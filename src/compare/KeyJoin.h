#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The pairing rule of a comparison. Each loaded line that has a key is paired
// with the first current line of that key: none makes it Deleted, a current
// line that does not contain it makes it Modified. A current line whose key
// no loaded line has is Added. The current lines are indexed in a flat hash
// table (line numbers and hash tags, no node per key); the loaded lines need
// not be held at all, they are paired one by one as they come.
class KeyJoin {
 public:
  static constexpr std::uint32_t kNoKey = 0;

  // The length of the key a line is paired by, which is always its tail;
  // kNoKey when it has none.
  static std::uint32_t KeyLength(std::string_view line);
  static std::string_view KeyOf(std::string_view line, std::uint32_t length) {
    return line.substr(line.size() - length);
  }
  // The hash the join files a key by.
  static std::uint64_t Hash(std::string_view key);
  // Whether a paired loaded line shows its file changed.
  static bool Differs(std::string_view current, std::string_view loaded);

  // The current lines must outlive the join; keyLengths as KeyLength gives.
  KeyJoin(std::span<const std::string_view> current, std::vector<std::uint32_t> keyLengths);

  // The first current line with the key, or -1. The loaded lines come in
  // their order, each with its number, so that the earliest that met each
  // current key is known.
  long long Match(std::string_view key, std::uint64_t loadedLine);
  // Whether current line j has a key that no loaded line before loadedCount
  // had.
  bool IsAdded(std::size_t j, std::uint64_t loadedCount);

  // The bytes a join takes per line besides the line itself.
  static constexpr std::size_t kBytesPerLine = 4 + 2 * 12;

 private:
  // Where a key is found: its first current line, the high bits of its hash
  // (to skip most key compares) and the first loaded line that met it, side
  // by side so that a lookup touches one cache line.
  struct Slot {
    std::uint32_t line;  // current line + 1, 0 where free
    std::uint32_t tag;
    std::uint32_t firstLoaded;
  };
  Slot* Find(std::string_view key, std::uint64_t hash);

  std::span<const std::string_view> lines_;
  std::vector<std::uint32_t> keyLengths_;
  std::vector<Slot> slots_;  // at most half full
  std::size_t mask_ = 0;
};
