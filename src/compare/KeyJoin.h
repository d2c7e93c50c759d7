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
  bool IsAdded(std::size_t j, std::uint64_t loadedCount) const;

  // The bytes a join of that many lines takes besides the lines themselves.
  static constexpr std::size_t kBytesPerLine = 4 + 4 + 16;

 private:
  static constexpr std::uint32_t kFree = 0;
  long long Find(std::string_view key, std::uint64_t hash) const;

  std::span<const std::string_view> lines_;
  std::vector<std::uint32_t> keyLengths_;
  std::vector<std::uint32_t> firstLoaded_;  // per current line: the first loaded line that met its key
  std::vector<std::uint32_t> slots_;        // current line + 1, kFree where empty
  std::vector<std::uint32_t> tags_;         // high hash bits, to skip most key compares
  std::size_t mask_ = 0;
};
