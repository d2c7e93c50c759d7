#include "app/PaneText.h"

#include <algorithm>

#include "app/ResultFilter.h"
#include "compare/FileLineFields.h"

namespace {

constexpr std::size_t kDateTimeLength = 19;  // "dd.mm.yyyy hh:nn:ss"
constexpr std::string_view kMovedFrom = " <= ";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// A result line without its prefix, and a move without its old path.
std::string_view ListingPart(std::string_view line) {
  if (const auto kind = ResultFilter::KindOf(line)) {
    line.remove_prefix(line.find(": ") + 2);
    if (*kind == ChangeKind::Moved) {
      const std::size_t from = line.rfind(kMovedFrom);
      if (from != std::string_view::npos) line = line.substr(0, from);
    }
  }
  return line;
}

std::size_t OffsetIn(std::string_view line, std::string_view field) {
  return static_cast<std::size_t>(field.data() - line.data());
}

}  // namespace

namespace PaneText {

std::string Joined(const std::vector<std::string_view>& lines) {
  std::string text;
  for (const std::string_view line : lines) text.append(line).append("\n");
  return text;
}

std::optional<std::string_view> PathOf(std::string_view line) {
  line = ListingPart(line);
  if (const auto fields = FileLineFields::Parse(line)) return fields->Path;
  if (const auto folder = FolderLineFields::Parse(line)) return folder->Path;
  // A line of the folder section is the folder's path.
  if (!line.empty() && IsSeparator(line.back()) && line.find(' ') != 0) return line;
  return std::nullopt;
}

std::string Paths(const std::vector<std::string_view>& lines) {
  std::string text;
  for (const std::string_view line : lines)
    if (const auto path = PathOf(line)) text.append(*path).append("\n");
  return text;
}

std::optional<std::string> ContainingFolder(std::string_view line) {
  auto path = PathOf(line);
  if (!path) return std::nullopt;
  std::string_view folder = *path;
  if (IsSeparator(folder.back())) folder.remove_suffix(1);
  const std::size_t last = folder.find_last_of("/\\");
  if (last == std::string_view::npos) return std::nullopt;
  return std::string(folder.substr(0, last + 1));
}

std::vector<MarkedField> ChangedFields(std::string_view newLine, std::string_view oldLine) {
  newLine = ListingPart(newLine);
  const auto now = FileLineFields::Parse(newLine);
  const auto before = FileLineFields::Parse(oldLine);
  std::vector<MarkedField> changed;
  // The metadata fields by their own names, each marked at its value.
  const auto markMeta = [&](const std::optional<MetaFields>& a, const std::optional<MetaFields>& b, std::string_view place) {
    for (const auto& [name, value] : ChangedMeta(a, b, place)) changed.push_back({OffsetIn(oldLine, value), value.size(), name});
  };
  if (!now || !before) {
    // Folder lines with metadata.
    const auto nowFolder = FolderLineFields::Parse(newLine);
    const auto oldFolder = FolderLineFields::Parse(oldLine);
    if (!nowFolder || !oldFolder) return {};
    markMeta(nowFolder->Meta, oldFolder->Meta, oldFolder->Meta.Text);
    if (nowFolder->Path != oldFolder->Path)
      changed.push_back({OffsetIn(oldLine, oldFolder->Path), oldFolder->Path.size(), "path"});
    return changed;
  }
  const auto mark = [&](std::string_view a, std::string_view b, std::string_view name) {
    if (a != b) changed.push_back({OffsetIn(oldLine, b), b.size(), name});
  };
  if (now->DateTimeNumber() != before->DateTimeNumber())
    changed.push_back({0, std::min(kDateTimeLength, oldLine.size()), "date-time"});
  if (now->Size() != before->Size()) changed.push_back({OffsetIn(oldLine, before->SizeDigits), before->SizeDigits.size(), "size"});
  mark(now->Attributes, before->Attributes, "attributes");
  if (now->Digest != before->Digest) {
    // A digest on one side only marks the place where it is, or would be.
    const std::string_view where = before->Meta ? before->Meta->Text : before->Path;
    const std::string_view digest = before->Digest.empty() ? where.substr(0, 0) : before->Digest;
    changed.push_back({OffsetIn(oldLine, digest), digest.size(), "digest"});
  }
  markMeta(now->Meta, before->Meta, before->Meta ? before->Meta->Text : before->Path.substr(0, 0));
  mark(now->Path, before->Path, "path");
  return changed;
}

std::string ChangedNames(const std::vector<MarkedField>& changed) {
  std::string names;
  for (const MarkedField& field : changed) names.append(names.empty() ? "Changed: " : ", ").append(field.name);
  return names;
}

std::vector<LinePiece> Pieces(std::string_view line, const std::vector<MarkedField>& changed) {
  std::vector<LinePiece> pieces;
  std::size_t at = 0;
  for (const MarkedField& field : changed) {
    if (field.offset > at) pieces.push_back({line.substr(at, field.offset - at), false});
    if (field.offset >= at) pieces.push_back({line.substr(field.offset, field.length), true});
    at = std::max(at, field.offset + field.length);
  }
  if (at < line.size()) pieces.push_back({line.substr(at), false});
  return pieces;
}

}  // namespace PaneText
