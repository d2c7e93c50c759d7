#include "app/RememberedChoices.h"

#include "app/WindowLayout.h"

namespace {

namespace L = WindowLayout;
constexpr std::array<const char*, 6> kFlagKeys{L::kMd5Key,    L::kDetectMovesKey,  L::kReuseDigestsKey,
                                               L::kSha256Key, L::kSignListingsKey, L::kMetadataKey};
constexpr std::array<const char*, 4> kTextKeys{L::kExcludePatternsKey, L::kPrivateKeyKey, L::kVerifyKeyKey,
                                               L::kLastFolderKey};

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
