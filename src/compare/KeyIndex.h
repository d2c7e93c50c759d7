#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// A flat hash index from a line's key to the first line that has it. Open
// addressing keeps a million keys in two arrays, without a node per key.
class KeyIndex {
 public:
  explicit KeyIndex(std::size_t expected);

  // Records the line under its key unless an earlier line has that key.
  void InsertFirst(std::string_view key, int line);
  // The first line with that key, or -1.
  int Find(std::string_view key) const;

 private:
  struct Entry {
    std::string_view key;
    int line;
  };
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

  std::size_t SlotOf(std::uint64_t hash) const { return static_cast<std::size_t>(hash) & mask_; }

  std::vector<std::uint32_t> slots_;  // entry numbers, kEmpty where free
  std::vector<std::uint32_t> tags_;   // high hash bits, to skip most key compares
  std::vector<Entry> entries_;
  std::size_t mask_;
};
