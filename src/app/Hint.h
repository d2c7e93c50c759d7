#pragma once

#include <string_view>

// A hint is a short part and a long part split at its first "|"; a hint
// without "|" is both.
namespace Hint {
inline std::string_view ShortPart(std::string_view hint) { return hint.substr(0, hint.find('|')); }
inline std::string_view LongPart(std::string_view hint) {
  const auto bar = hint.find('|');
  return bar == std::string_view::npos ? hint : hint.substr(bar + 1);
}
}  // namespace Hint
