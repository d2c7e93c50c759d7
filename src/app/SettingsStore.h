#pragma once

#include <string>
#include <string_view>

// Where the user's choices outlive a session: each window keeps them its own
// way, such as in the registry or in its toolkit's settings file. A key is
// "group/name".
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual bool ReadBool(std::string_view key, bool fallback) const = 0;
  virtual void WriteBool(std::string_view key, bool value) const = 0;
  virtual std::string ReadText(std::string_view key) const = 0;
  virtual void WriteText(std::string_view key, std::string_view value) const = 0;
};
