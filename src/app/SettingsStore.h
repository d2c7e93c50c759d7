#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

// Where the user's choices outlive a session: each window keeps them its own
// way, such as in the registry or in its toolkit's settings file. A key is
// "group/name".
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::string ReadText(std::string_view key) const = 0;
  virtual void WriteText(std::string_view key, std::string_view value) const = 0;
  // A number, as text unless the store keeps numbers as such.
  virtual std::optional<int> ReadInt(std::string_view key) const {
    const std::string text = ReadText(key);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
  }
  virtual void WriteInt(std::string_view key, int value) const { WriteText(key, std::to_string(value)); }
  // A choice, as a number unless the store keeps choices as such.
  virtual bool ReadBool(std::string_view key, bool fallback) const {
    const std::optional<int> value = ReadInt(key);
    return value ? *value != 0 : fallback;
  }
  virtual void WriteBool(std::string_view key, bool value) const { WriteInt(key, value ? 1 : 0); }
};
