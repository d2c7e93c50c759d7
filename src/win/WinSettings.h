#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/SettingsStore.h"

// The user's choices that outlive a session, in the registry below
// HKEY_CURRENT_USER\<root>. A key "group/name" is the value name in the
// subkey group.
class WinSettings : public SettingsStore {
 public:
  explicit WinSettings(std::wstring root) : root_(std::move(root)) {}

  std::optional<int> ReadInt(std::string_view key) const override;
  void WriteInt(std::string_view key, int value) const override;
  std::string ReadText(std::string_view key) const override;
  void WriteText(std::string_view key, std::string_view value) const override;
  // Removes the whole root, for tests.
  void RemoveAll() const;

 private:
  std::wstring root_;
};
