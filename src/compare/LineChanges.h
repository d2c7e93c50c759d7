#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The fields in which a compared line differs from its old line, and the
// rule that says whether a pair of lines is Modified, leaving out the fields
// the user chose to ignore.
class LineChanges {
 public:
  // Every field a change can name, in the order of a line: datetime, size,
  // attributes, digest, the metadata fields, path.
  static const std::vector<std::string_view>& FieldNames();
  // The first of names that is no field; empty when all are.
  static std::string UnknownField(const std::vector<std::string>& names);

  // The names of the fields that differ, each with the old line's value (an
  // empty view where the old line has none, at its place). Empty when either
  // is neither a file line nor a folder line with metadata.
  static std::vector<std::pair<std::string_view, std::string_view>> Changed(std::string_view now,
                                                                           std::string_view before);
  static std::vector<std::string_view> ChangedNames(std::string_view now, std::string_view before);
  // Whether either line carries the metadata group.
  static bool HasMeta(std::string_view line);

  explicit LineChanges(std::vector<std::string> ignored = {}) : ignored_(std::move(ignored)) {}
  // Whether a paired loaded line shows its file changed: the current line
  // does not contain it, and, with fields ignored, one of the others differs.
  bool Differs(std::string_view current, std::string_view loaded) const;

 private:
  std::vector<std::string> ignored_;
};
