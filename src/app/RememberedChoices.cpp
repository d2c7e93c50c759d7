#include "app/RememberedChoices.h"

#include <algorithm>

#include "app/WindowLayout.h"

namespace {

namespace L = WindowLayout;
constexpr std::array<const char*, 10> kFlagKeys{
    L::kMd5Key,           L::kDetectMovesKey,        L::kReuseDigestsKey,       L::kSha256Key,
    L::kSignListingsKey,  L::kAskBeforeDiscardKey,   L::kMetadataKey,           L::kColourResultsKey,
    L::kSortResultsByPathKey, L::kSortResultsByKindKey};
constexpr std::array<const char*, 5> kTextKeys{L::kExcludePatternsKey, L::kPrivateKeyKey, L::kVerifyKeyKey,
                                               L::kLastFolderKey, L::kRecentListingsKey};

}  // namespace

RememberedChoices::RememberedChoices(const SettingsStore& store) : store_(store) {
  for (std::size_t i = 0; i < flags_.size(); ++i) flags_[i] = store_.ReadBool(kFlagKeys[i], false);
  for (std::size_t i = 0; i < texts_.size(); ++i) texts_[i] = store_.ReadText(kTextKeys[i]);
}

void RememberedChoices::Set(Flag flag, bool value) {
  flags_[static_cast<std::size_t>(flag)] = value;
  store_.WriteBool(kFlagKeys[static_cast<std::size_t>(flag)], value);
}

void RememberedChoices::Set(Text text, std::string value) {
  store_.WriteText(kTextKeys[static_cast<std::size_t>(text)], value);
  texts_[static_cast<std::size_t>(text)] = std::move(value);
}

std::vector<std::string> RememberedChoices::Recent() const {
  // One a line; a name that holds a line end is never kept.
  std::vector<std::string> names;
  const std::string& kept = Get(Text::RecentListings);
  for (std::size_t start = 0; start < kept.size() && names.size() < kRecent;) {
    const std::size_t end = std::min(kept.find('\n', start), kept.size());
    if (end > start) names.push_back(kept.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

void RememberedChoices::NoteRecent(const std::string& listing) {
  if (listing.empty() || listing.find_first_of("\r\n") != std::string::npos) return;
  std::vector<std::string> names = Recent();
  if (!names.empty() && names.front() == listing) return;
  std::erase(names, listing);
  names.insert(names.begin(), listing);
  if (names.size() > kRecent) names.resize(kRecent);
  std::string kept;
  for (const std::string& name : names) kept += name + "\n";
  Set(Text::RecentListings, std::move(kept));
}
