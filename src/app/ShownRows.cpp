#include "app/ShownRows.h"

#include <algorithm>

int ShownRows::LineOfRow(int row, int count) const {
  if (row < 0 || row >= Count(count)) return -1;
  return filtered_ ? rows_[static_cast<std::size_t>(row)] : row;
}

int ShownRows::RowOfLine(int line, int count) const {
  if (!filtered_) return line >= 0 && line < count ? line : -1;
  const auto at = std::lower_bound(rows_.begin(), rows_.end(), line);
  return at != rows_.end() && *at == line ? static_cast<int>(at - rows_.begin()) : -1;
}
