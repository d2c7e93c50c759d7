#pragma once

#include <vector>

// The rows a pane shows of its lines: all of them in their own order, or
// only chosen ones in a chosen order. The pane itself keeps every line; a
// row is a place in the view, a line a place in the pane.
class ShownRows {
 public:
  void ShowAll() {
    filtered_ = false;
    rows_.clear();
    rowOf_.clear();
  }
  // Only these lines, each once, in this order.
  void Show(std::vector<int> lines);
  bool Filtered() const { return filtered_; }
  // Of a pane of count lines; -1 for none.
  int Count(int count) const { return filtered_ ? static_cast<int>(rows_.size()) : count; }
  int LineOfRow(int row, int count) const;
  int RowOfLine(int line, int count) const;

 private:
  bool filtered_ = false;
  std::vector<int> rows_;
  std::vector<int> rowOf_;  // each line's row up to the last line shown, -1 for none
};
