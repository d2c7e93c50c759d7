#pragma once

#include <vector>

// The rows a pane shows of its lines: all of them, or only chosen ones in
// ascending order. The pane itself keeps every line; a row is a place in
// the view, a line a place in the pane.
class ShownRows {
 public:
  void ShowAll() {
    filtered_ = false;
    rows_.clear();
  }
  void Show(std::vector<int> lines) {
    rows_ = std::move(lines);
    filtered_ = true;
  }
  bool Filtered() const { return filtered_; }
  // Of a pane of count lines; -1 for none.
  int Count(int count) const { return filtered_ ? static_cast<int>(rows_.size()) : count; }
  int LineOfRow(int row, int count) const;
  int RowOfLine(int line, int count) const;

 private:
  bool filtered_ = false;
  std::vector<int> rows_;
};
