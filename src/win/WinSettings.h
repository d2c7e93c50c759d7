#pragma once

#include <string>
#include <string_view>

// The user's choices that outlive a session, in the registry below
// HKEY_CURRENT_USER\<root>. A key "group/name" is the value name in the
// subkey group.
class WinSettings {
 public:
  explicit WinSettings(std::wstring root) : root_(std::move(root)) {}

  bool ReadBool(std::string_view key, bool fallback) const;
  void WriteBool(std::string_view key, bool value) const;
  std::string ReadText(std::string_view key) const;
  void WriteText(std::string_view key, std::string_view value) const;
  // Removes the whole root, for tests.
  void RemoveAll() const;

 private:
  std::wstring root_;
};
