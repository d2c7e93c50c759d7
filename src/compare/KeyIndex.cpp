#include "compare/KeyIndex.h"

#include <functional>

namespace {
std::uint64_t HashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }
}  // namespace

KeyIndex::KeyIndex(std::size_t expected) {
  std::size_t size = 16;
  while (size < expected * 2) size *= 2;  // at most half full
  slots_.assign(size, kEmpty);
  tags_.assign(size, 0);
  entries_.reserve(expected);
  mask_ = size - 1;
}

void KeyIndex::InsertFirst(std::string_view key, int line) {
  const std::uint64_t hash = HashOf(key);
  const auto tag = static_cast<std::uint32_t>(hash >> 32);
  for (std::size_t slot = SlotOf(hash);; slot = (slot + 1) & mask_) {
    const std::uint32_t entry = slots_[slot];
    if (entry == kEmpty) {
      slots_[slot] = static_cast<std::uint32_t>(entries_.size());
      tags_[slot] = tag;
      entries_.push_back({key, line});
      if (entries_.size() * 2 > slots_.size()) {
        // Grow: rebuild the slots from the entries, in their order.
        std::vector<Entry> entries = std::move(entries_);
        *this = KeyIndex(entries.size() * 2);
        for (const Entry& e : entries) InsertFirst(e.key, e.line);
      }
      return;
    }
    if (tags_[slot] == tag && entries_[entry].key == key) return;
  }
}

int KeyIndex::Find(std::string_view key) const {
  const std::uint64_t hash = HashOf(key);
  const auto tag = static_cast<std::uint32_t>(hash >> 32);
  for (std::size_t slot = SlotOf(hash);; slot = (slot + 1) & mask_) {
    const std::uint32_t entry = slots_[slot];
    if (entry == kEmpty) return -1;
    if (tags_[slot] == tag && entries_[entry].key == key) return entries_[entry].line;
  }
}
