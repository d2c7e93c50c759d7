#pragma once

#include <string>
#include <string_view>

// Whether a file looks like a saved listing before it is loaded: text, whose
// last line is a summary line. Only the head is read when the file is
// binary; a file that cannot be opened passes, so that loading it reports why.
class ListingFileCheck {
 public:
  static bool LooksLikeListing(const std::string& fileName);
  // The same judgement on the first and the last bytes of a text.
  static bool LooksLikeListing(std::string_view head, std::string_view tail);
};
