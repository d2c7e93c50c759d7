#include "compare/KeyJoin.h"

#include <algorithm>
#include <functional>

#include "compare/ComparisonKey.h"
#include "platform/MemoryBudget.h"

namespace {

constexpr std::uint32_t kNever = 0xFFFFFFFFu;

}  // namespace

std::uint32_t KeyJoin::KeyLength(std::string_view line) {
  const auto key = ComparisonKey::KeyOf(line);
  return key ? static_cast<std::uint32_t>(key->size()) : kNoKey;
}

std::uint64_t KeyJoin::Hash(std::string_view key) { return std::hash<std::string_view>{}(key); }

bool KeyJoin::Differs(std::string_view current, std::string_view loaded) {
  // Lines of equal length contain each other only by being equal, which is
  // the common case of an unchanged file.
  if (current.size() == loaded.size()) return current != loaded;
  return current.size() < loaded.size() || current.find(loaded) == std::string_view::npos;
}

KeyJoin::KeyJoin(std::span<const std::string_view> current, std::vector<std::uint32_t> keyLengths)
    : lines_(current), keyLengths_(std::move(keyLengths)) {
  std::size_t size = 16;
  while (size < current.size() * 2) size *= 2;
  slots_.reserve(size);
  MemoryBudget::PreferLargePages(slots_.data(), size * sizeof(Slot));
  slots_.assign(size, Slot{0, 0, kNever});
  mask_ = size - 1;
  for (std::size_t j = 0; j < current.size(); ++j) {
    if (keyLengths_[j] == kNoKey) continue;
    const std::string_view key = KeyOf(lines_[j], keyLengths_[j]);
    const std::uint64_t hash = Hash(key);
    // Only the first line of a key is kept.
    Slot* slot = Find(key, hash);
    if (slot->line == 0)
      *slot = Slot{static_cast<std::uint32_t>(j + 1), static_cast<std::uint32_t>(hash >> 32), kNever};
  }
}

KeyJoin::Slot* KeyJoin::Find(std::string_view key, std::uint64_t hash) {
  const auto tag = static_cast<std::uint32_t>(hash >> 32);
  for (std::size_t at = hash & mask_;; at = (at + 1) & mask_) {
    Slot& slot = slots_[at];
    if (slot.line == 0) return &slot;
    if (slot.tag == tag && KeyOf(lines_[slot.line - 1], keyLengths_[slot.line - 1]) == key) return &slot;
  }
}

long long KeyJoin::Match(std::string_view key, std::uint64_t loadedLine) {
  Slot* slot = Find(key, Hash(key));
  if (slot->line == 0) return -1;
  slot->firstLoaded = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(slot->firstLoaded, std::min<std::uint64_t>(loadedLine, kNever - 1)));
  return slot->line - 1;
}

bool KeyJoin::IsAdded(std::size_t j, std::uint64_t loadedCount) {
  if (keyLengths_[j] == kNoKey) return false;
  const std::string_view key = KeyOf(lines_[j], keyLengths_[j]);
  return Find(key, Hash(key))->firstLoaded >= std::min<std::uint64_t>(loadedCount, kNever);
}
