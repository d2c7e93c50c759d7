#include "compare/KeyJoin.h"

#include <algorithm>
#include <functional>

#include "compare/ComparisonKey.h"

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
    : lines_(current), keyLengths_(std::move(keyLengths)), firstLoaded_(current.size(), kNever) {
  std::size_t size = 16;
  while (size < current.size() * 2) size *= 2;  // at most half full
  slots_.assign(size, kFree);
  tags_.assign(size, 0);
  mask_ = size - 1;
  for (std::size_t j = 0; j < current.size(); ++j) {
    if (keyLengths_[j] == kNoKey) continue;
    const std::string_view key = KeyOf(lines_[j], keyLengths_[j]);
    const std::uint64_t hash = Hash(key);
    const auto tag = static_cast<std::uint32_t>(hash >> 32);
    for (std::size_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
      const std::uint32_t entry = slots_[slot];
      if (entry == kFree) {
        slots_[slot] = static_cast<std::uint32_t>(j + 1);
        tags_[slot] = tag;
        break;
      }
      // Only the first line of a key is kept.
      if (tags_[slot] == tag && KeyOf(lines_[entry - 1], keyLengths_[entry - 1]) == key) break;
    }
  }
}

long long KeyJoin::Find(std::string_view key, std::uint64_t hash) const {
  const auto tag = static_cast<std::uint32_t>(hash >> 32);
  for (std::size_t slot = hash & mask_;; slot = (slot + 1) & mask_) {
    const std::uint32_t entry = slots_[slot];
    if (entry == kFree) return -1;
    if (tags_[slot] == tag && KeyOf(lines_[entry - 1], keyLengths_[entry - 1]) == key) return entry - 1;
  }
}

long long KeyJoin::Match(std::string_view key, std::uint64_t loadedLine) {
  const long long j = Find(key, Hash(key));
  if (j >= 0) {
    std::uint32_t& first = firstLoaded_[static_cast<std::size_t>(j)];
    first = static_cast<std::uint32_t>(std::min<std::uint64_t>(first, std::min<std::uint64_t>(loadedLine, kNever - 1)));
  }
  return j;
}

bool KeyJoin::IsAdded(std::size_t j, std::uint64_t loadedCount) const {
  if (keyLengths_[j] == kNoKey) return false;
  const std::string_view key = KeyOf(lines_[j], keyLengths_[j]);
  const long long first = Find(key, Hash(key));
  return firstLoaded_[static_cast<std::size_t>(first)] >= std::min<std::uint64_t>(loadedCount, kNever);
}
