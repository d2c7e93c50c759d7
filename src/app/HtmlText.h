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
};
