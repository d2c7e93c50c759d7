#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/SettingsStore.h"

// The user's choices that outlive a session, as a model: read from the store
// once, written back as each one changes.
class RememberedChoices {
 public:
  enum class Flag {
    Md5,
    DetectMoves,
    ReuseDigests,
    Sha256,
    Sign,
    AskBeforeDiscard,
    Metadata,
    ColourResults,
    SortResultsByPath,
    SortResultsByKind,
  };
  enum class Text { ExcludePatterns, PrivateKey, PublicKey, LastFolder, RecentListings };

  explicit RememberedChoices(const SettingsStore& store);

  bool Get(Flag flag) const { return flags_[static_cast<std::size_t>(flag)]; }
  const std::string& Get(Text text) const { return texts_[static_cast<std::size_t>(text)]; }
  void Set(Flag flag, bool value);
  void Set(Text text, std::string value);

  // The listings opened or saved last, the newest first, at most kRecent.
  static constexpr std::size_t kRecent = 8;
  std::vector<std::string> Recent() const;
  void NoteRecent(const std::string& listing);

 private:
  const SettingsStore& store_;
  std::array<bool, 10> flags_{};
  std::array<std::string, 5> texts_;
};
