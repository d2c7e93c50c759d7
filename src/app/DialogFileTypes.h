#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "surfaces/Surfaces.h"
#include "surfaces/Texts.h"

// The file types the open, save and results dialogs offer, in both windows:
// the listing's types, then for the results CSV and JSON Lines. The first is
// selected at first.
class DialogFileTypes {
 public:
  static std::vector<Texts::FileType> Of(bool results);
  // The extension a name typed without one gets under the type of that name.
  static std::string_view ExtensionFor(std::string_view typeName);
  // The form of the results saved under the type at index, from 0.
  static ResultsFormat FormatOf(std::size_t index);
};
