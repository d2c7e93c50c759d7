#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// The pairing rule of a comparison. Lines are paired by key in the order they
// come: the first loaded line of a key with the first current line of that
// key, the second with the second, and so on. A loaded line left without a
// partner is Deleted, a paired one whose current line does not contain it is
// Modified, and a current line left without a partner is Added. A listing of
// a walk holds each key once; a hand-made one may not, and its repeats are
// told. The current lines are indexed in a flat hash table (line numbers and
// hash tags, no node per key); the loaded lines need not be held at all, they
// are paired one by one as they come.
class KeyJoin {
 public:
  static constexpr std::uint32_t kNoKey = 0;
  static constexpr std::uint64_t kNoRepeat = UINT64_MAX;

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

  // The current line the loaded line pairs with, or -1. The loaded lines come
  // in their order, each with its number; one that always counts (see
  // ComparisonKey::ComparedPastCount) pairs whatever the loaded count.
  long long Match(std::string_view key, std::uint64_t loadedLine, bool always = false);
  // Whether current line j is left without a partner among the loaded lines
  // before loadedCount.
  bool IsAdded(std::size_t j, std::uint64_t loadedCount);

  // The first current line whose key an earlier one has, and the first loaded
  // line whose key met a current key that an earlier loaded line met;
  // kNoRepeat for none.
  std::uint64_t RepeatedCurrent() const { return repeatedCurrent_; }
  std::uint64_t RepeatedLoaded() const { return repeatedLoaded_; }

  // The bytes a join takes per line besides the line itself: its key length,
  // two slots, and a link should its key be repeated.
  static constexpr std::size_t kBytesPerLine = 4 + 2 * 12 + 12;

 private:
  // Where a key is found: its first current line, the high bits of its hash
  // (to skip most key compares) and its pairing, side by side so that a
  // lookup touches one cache line.
  struct Slot {
    std::uint32_t line;  // current line + 1, 0 where free
    std::uint32_t tag;
    // The loaded line the current line was paired with; for a repeated key,
    // kChained and the link of the next current line to pair.
    std::uint32_t paired;
  };
  // A current line of a repeated key, in line order; next links the key's
  // lines.
  struct Link {
    std::uint32_t line;
    std::uint32_t next;
    std::uint32_t paired;
  };
  Slot* Find(std::string_view key, std::uint64_t hash);
  void LinkRepeats(std::vector<std::uint32_t> repeats);

  std::span<const std::string_view> lines_;
  std::vector<std::uint32_t> keyLengths_;
  std::vector<Slot> slots_;  // at most half full
  std::vector<Link> links_;  // by line; only for repeated keys
  std::size_t mask_ = 0;
  std::uint64_t repeatedCurrent_ = kNoRepeat, repeatedLoaded_ = kNoRepeat;
};
