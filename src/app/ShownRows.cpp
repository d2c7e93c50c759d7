#include "app/ShownRows.h"

#include <algorithm>

void ShownRows::Show(std::vector<int> lines) {
  rows_ = std::move(lines);
  filtered_ = true;
  // A sorted view is no longer ascending: each line keeps its row.
  rowOf_.assign(rows_.empty() ? 0 : static_cast<std::size_t>(*std::max_element(rows_.begin(), rows_.end())) + 1, -1);
  for (std::size_t row = 0; row < rows_.size(); ++row) rowOf_[static_cast<std::size_t>(rows_[row])] = static_cast<int>(row);
}

int ShownRows::LineOfRow(int row, int count) const {
  if (row < 0 || row >= Count(count)) return -1;
  return filtered_ ? rows_[static_cast<std::size_t>(row)] : row;
}

int ShownRows::RowOfLine(int line, int count) const {
  if (!filtered_) return line >= 0 && line < count ? line : -1;
  return line >= 0 && static_cast<std::size_t>(line) < rowOf_.size() ? rowOf_[static_cast<std::size_t>(line)] : -1;
}
