#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

// The metadata group of a listing line (see ListingLineFormat::AppendMeta),
// read by its shape: a fixed sequence of "name=value " fields, so that where
// it ends and the path begins is never in doubt. A value holds no blank; a
// link target or a stream name has its blanks as U+2420.
struct MetaFields {
  enum class Form { Posix, Windows };
  Form Of = Form::Posix;
  std::string_view Text;  // the whole group, its last blank included
  // The values by the field names of the form; a link's target is empty
  // for a line of anything else. "streams" is the count and the streams.
  std::array<std::string_view, 6> Values{};

  // The group at the start of text, whose streams carry digests of that
  // many digits (0: none); nothing when text does not begin with one.
  static std::optional<MetaFields> Parse(std::string_view text, std::size_t streamDigestDigits);

  // The field names of a form, in the order of the line.
  static std::span<const std::string_view> NamesOf(Form form);
  std::span<const std::string_view> Names() const { return NamesOf(Of); }
  // Every name either form has, and whether a name is one of them.
  static const std::vector<std::string_view>& AllNames();
  static bool Known(std::string_view name);
  // The value of a field by name; nothing when this form lacks it.
  std::optional<std::string_view> Value(std::string_view name) const;
};

// The fields in which two metadata groups differ, with the old group's
// value (an empty view where the old line has none, at the group's place).
// A group on one side only differs in every field of the side that has it.
std::vector<std::pair<std::string_view, std::string_view>> ChangedMeta(const std::optional<MetaFields>& now,
                                                                     const std::optional<MetaFields>& before,
                                                                     std::string_view placeInOld);
