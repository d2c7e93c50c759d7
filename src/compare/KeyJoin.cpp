#include "compare/KeyJoin.h"

#include <algorithm>
#include <functional>

#include "compare/ComparisonKey.h"
#include "platform/MemoryBudget.h"

namespace {

// A loaded line number as a slot keeps it. Listings have at most INT_MAX
// counted lines, so numbers from kNever on are past any count alike.
constexpr std::uint32_t kNever = 0x7FFFFFFFu;
// Paired with a loaded line that counts wherever it stands (a folder line
// with metadata): never past the count.
constexpr std::uint32_t kAlways = 0x7FFFFFFEu;
constexpr std::uint32_t kChained = 0x80000000u;
constexpr std::uint32_t kEnd = 0x7FFFFFFFu;  // the link after a key's last

std::uint32_t Stored(std::uint64_t loadedLine, bool always) {
  if (always) return kAlways;
  return loadedLine >= kAlways ? kNever : static_cast<std::uint32_t>(loadedLine);
}

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
  std::vector<std::uint32_t> repeats;  // the lines of repeated keys
  for (std::size_t j = 0; j < current.size(); ++j) {
    if (keyLengths_[j] == kNoKey) continue;
    const std::string_view key = KeyOf(lines_[j], keyLengths_[j]);
    const std::uint64_t hash = Hash(key);
    Slot* slot = Find(key, hash);
    if (slot->line == 0) {
      *slot = Slot{static_cast<std::uint32_t>(j + 1), static_cast<std::uint32_t>(hash >> 32), kNever};
      continue;
    }
    if (repeatedCurrent_ == kNoRepeat) repeatedCurrent_ = j;
    if ((slot->paired & kChained) == 0) repeats.push_back(slot->line - 1);
    slot->paired = kChained | kEnd;
    repeats.push_back(static_cast<std::uint32_t>(j));
  }
  if (!repeats.empty()) LinkRepeats(std::move(repeats));
}

void KeyJoin::LinkRepeats(std::vector<std::uint32_t> repeats) {
  std::sort(repeats.begin(), repeats.end());
  links_.resize(repeats.size());
  // From the last line back, each line goes in front of its key's chain.
  for (std::size_t k = repeats.size(); k-- > 0;) {
    const std::string_view key = KeyOf(lines_[repeats[k]], keyLengths_[repeats[k]]);
    Slot* slot = Find(key, Hash(key));
    links_[k] = Link{repeats[k], slot->paired & ~kChained, kNever};
    slot->paired = kChained | static_cast<std::uint32_t>(k);
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

long long KeyJoin::Match(std::string_view key, std::uint64_t loadedLine, bool always) {
  Slot* slot = Find(key, Hash(key));
  if (slot->line == 0) return -1;
  if ((slot->paired & kChained) == 0) {
    if (slot->paired != kNever) {
      repeatedLoaded_ = std::min(repeatedLoaded_, loadedLine);
      return -1;
    }
    slot->paired = Stored(loadedLine, always);
    return slot->line - 1;
  }
  const std::uint32_t next = slot->paired & ~kChained;
  // The chain starts at the key's first line; past it, the key was met.
  if (next == kEnd || links_[next].line != slot->line - 1) repeatedLoaded_ = std::min(repeatedLoaded_, loadedLine);
  if (next == kEnd) return -1;
  Link& link = links_[next];
  link.paired = Stored(loadedLine, always);
  slot->paired = kChained | link.next;
  return link.line;
}

bool KeyJoin::IsAdded(std::size_t j, std::uint64_t loadedCount) {
  if (keyLengths_[j] == kNoKey) return false;
  const std::string_view key = KeyOf(lines_[j], keyLengths_[j]);
  const Slot* slot = Find(key, Hash(key));
  std::uint32_t paired = slot->paired;
  if ((paired & kChained) != 0) {
    const auto link = std::lower_bound(links_.begin(), links_.end(), j,
                                       [](const Link& l, std::size_t line) { return l.line < line; });
    paired = link->paired;
  }
  return paired != kAlways && paired >= std::min<std::uint64_t>(loadedCount, kNever);
}
