#pragma once

#include <string>
#include <string_view>
#include <vector>

// The help file's HTML as plain text for a read-only text box: headings
// underlined, paragraphs apart, list items bulleted, table cells separated by
// tabs, preformatted text kept as it is; lines end with CR LF.
class HtmlText {
 public:
  static std::string ToPlain(std::string_view html);

  // The help as it holds for one build: an element whose class is "only-X"
  // is kept where the build has X, one whose class is "not-X" where it lacks
  // X; everything else stays as it is.
  static std::string ForBuild(std::string_view html, const std::vector<std::string>& features);
  // What this build has: its system ("windows" or "posix"), and "signing"
  // and "digest-cache" where it signs listings and keeps a digest cache.
  static std::vector<std::string> Features();
};
