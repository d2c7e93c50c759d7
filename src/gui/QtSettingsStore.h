#pragma once

#include "app/SettingsStore.h"

// The user's choices that outlive a session, in the toolkit's settings of
// the user.
class QtSettingsStore : public SettingsStore {
 public:
  bool ReadBool(std::string_view key, bool fallback) const override;
  void WriteBool(std::string_view key, bool value) const override;
  std::string ReadText(std::string_view key) const override;
  void WriteText(std::string_view key, std::string_view value) const override;
};
