#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ShownRows.h"
#include "surfaces/ListPane.h"

// A pane's lines as its list view shows them, in both windows: every line, or
// only the rows the filter of the results leaves; and how many lines the view
// has been told of, so that the lines a run adds reach it in batches.
class PaneRows {
 public:
  ListPane& Lines() { return lines_; }
  const ListPane& Lines() const { return lines_; }
  // Empties the pane, and every row shows again.
  void Clear();
  // A listing file in place of the lines, all told of at once, also when
  // reading fails; regular files only, as a FIFO or a device could hold
  // the window.
  void Load(const std::string& fileName);
  // The rows the view shows; a row as a line of the pane and back, -1 for none.
  int Rows() const { return shown_.Count(announced_); }
  int LineOfRow(int row) const { return shown_.LineOfRow(row, announced_); }
  int RowOfLine(int line) const { return shown_.RowOfLine(line, announced_); }
  bool Filtered() const { return shown_.Filtered(); }
  // Only the given rows, ascending, or all of them again when rows is null;
  // every line is told of. False when all showed and still do.
  bool Show(const std::vector<int>* rows);
  int Announced() const { return announced_; }
  // The lines added since the last time are told of: false when there are
  // none, or while the rows are filtered.
  bool Announce();
  // The line the commands take of a selection: of many selected lines, the
  // one clicked last (the current row), else the first; -1 for none.
  int ChosenLine(int currentRow, const std::vector<int>& selectedRows) const;
  // The lines added and not yet told of; none while the rows are filtered.
  int Untold() const { return shown_.Filtered() ? 0 : lines_.Count() - announced_; }
  // The lines shown at these rows, in the order shown.
  std::vector<std::string_view> LinesAt(const std::vector<int>& rows) const;
  // Result lines drawn in the colour of their kind, when chosen.
  void ColourByKind(bool on) { colourByKind_ = on; }
  // The colour of a row's text as 0xRRGGBB; nothing for the pane's own.
  std::optional<std::uint32_t> ColourOfRow(int row) const;

 private:
  ListPane lines_;
  ShownRows shown_;
  int announced_ = 0;
  bool colourByKind_ = false;
};
