#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/Surfaces.h"

// What the window copies from the lines a user selected in a pane.
namespace PaneText {

// The lines, one a line, in pane order.
std::string Joined(const std::vector<std::string_view>& lines);
// The path a line names: a file line's path, after the prefix of a result
// line and without the old path of a move, or a folder line as it stands;
// nothing for other lines.
std::optional<std::string_view> PathOf(std::string_view line);
// The paths of the lines that name one, one a line.
std::string Paths(const std::vector<std::string_view>& lines);
// The folder that holds the file or folder a line names.
std::optional<std::string> ContainingFolder(std::string_view line);

// The fields of an old line that differ from the new one: date-time, size,
// attributes, digest, the metadata fields (mode, uid, ...) and path, as byte
// ranges of the old line. Empty when either is no file line, nor a folder
// line with metadata.
std::vector<MarkedField> ChangedFields(std::string_view newLine, std::string_view oldLine);
// An old line in pieces to draw in turn: its changed fields, marked, and the
// text between them.
struct LinePiece {
  std::string_view text;
  bool changed = false;
};
std::vector<LinePiece> Pieces(std::string_view line, const std::vector<MarkedField>& changed);
// "Changed: size, digest", naming the fields; empty for none.
std::string ChangedNames(const std::vector<MarkedField>& changed);

}  // namespace PaneText
