#include "app/DialogFileTypes.h"

#include <iterator>

std::vector<Texts::FileType> DialogFileTypes::Of(bool results) {
  std::vector<Texts::FileType> types(std::begin(Texts::kFileTypes), std::end(Texts::kFileTypes));
  if (results) types.insert(types.end(), std::begin(Texts::kResultsFileTypes), std::end(Texts::kResultsFileTypes));
  return types;
}

std::string_view DialogFileTypes::ExtensionFor(std::string_view typeName) {
  for (const Texts::FileType& type : Of(true)) {
    if (typeName == type.name) return type.extension;
  }
  return Texts::kDefaultExtension;
}

ResultsFormat DialogFileTypes::FormatOf(std::size_t index) {
  constexpr std::size_t kCsv = std::size(Texts::kFileTypes);
  if (index == kCsv) return ResultsFormat::Csv;
  if (index == kCsv + 1) return ResultsFormat::JsonLines;
  return ResultsFormat::Text;
}
