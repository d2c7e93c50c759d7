#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/ComparisonResult.h"

// Which result lines the window shows, and in which order: the kinds chosen,
// with the count of each, the lines that hold a text, sorted by path or by
// kind or in the order they were found. It only chooses rows to show: the
// results pane keeps every line, and Save Comparison Results writes them all
// in their own order.
class ResultFilter {
 public:
  static constexpr std::array<ChangeKind, 4> kKinds = {ChangeKind::Modified, ChangeKind::Deleted, ChangeKind::Added,
                                                       ChangeKind::Moved};

  // The kind of a result line by its prefix; nothing for other lines, such
  // as "No differences found... ;-)" or the closing line of a stop.
  static std::optional<ChangeKind> KindOf(std::string_view line);

  // Counts the lines of the results pane afresh; the results changed.
  void Count(const std::vector<std::string_view>& lines);
  long long CountOf(ChangeKind kind) const { return counts_[Index(kind)]; }
  // "Modified (12)", for a toggle.
  std::string Caption(ChangeKind kind) const;

  void Show(ChangeKind kind, bool shown) { shown_[Index(kind)] = shown; }
  bool Shown(ChangeKind kind) const { return shown_[Index(kind)]; }
  // The order of the rows; lines of no kind, such as the closing line of a
  // stop, follow a sorted view in their own order.
  enum class Order { Found, Path, Kind };
  void SetOrder(Order order) { order_ = order; }
  // Only the lines of a kind that hold text, whatever the case of its ASCII
  // letters; every line without a text.
  void SetText(std::string_view text);
  // Every line, in the order found.
  bool ShowsAll() const;
  // The rows to show, in order: lines of a shown kind that hold the text,
  // and lines of no kind.
  std::vector<int> VisibleRows(const std::vector<std::string_view>& lines) const;

 private:
  static std::size_t Index(ChangeKind kind) { return static_cast<std::size_t>(kind); }
  // Every line in the chosen order, kept until the results or the order change.
  const std::vector<int>& Ordered(const std::vector<std::string_view>& lines) const;

  std::array<long long, 4> counts_{};
  std::array<bool, 4> shown_{true, true, true, true};
  Order order_ = Order::Found;
  std::string folded_;  // the text, its ASCII letters folded
  mutable std::vector<int> ordered_;
  mutable Order orderedBy_ = Order::Found;  // the order ordered_ holds; Found: none
};
