#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Text found in a pane's lines whatever the case of its ASCII letters, as
// the find bar and the results' filter both look for it.
namespace FoldedText {

inline char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string Of(std::string_view text) {
  std::string folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(), Folded);
  return folded;
}

// Whether line holds folded, which Of gave.
inline bool Holds(std::string_view line, std::string_view folded) {
  return std::search(line.begin(), line.end(), folded.begin(), folded.end(),
                     [](char a, char b) { return Folded(a) == b; }) != line.end();
}

}  // namespace FoldedText
