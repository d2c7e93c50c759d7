#include "app/ResultFilter.h"

#include <algorithm>

#include "app/FoldedText.h"
#include "app/PaneText.h"

namespace {

constexpr std::array<std::string_view, 4> kPrefixes = {"Modified: ", "Deleted: ", "Added: ", "Moved: "};
constexpr std::array<const char*, 4> kNames = {"Modified", "Deleted", "Added", "Moved"};

}  // namespace

std::optional<ChangeKind> ResultFilter::KindOf(std::string_view line) {
  for (const ChangeKind kind : kKinds) {
    const std::string_view prefix = kPrefixes[Index(kind)];
    if (line.substr(0, prefix.size()) == prefix) return kind;
  }
  return std::nullopt;
}

void ResultFilter::Count(const std::vector<std::string_view>& lines) {
  counts_.fill(0);
  ordered_.clear();
  orderedBy_ = Order::Found;
  for (const std::string_view line : lines)
    if (const auto kind = KindOf(line)) ++counts_[Index(*kind)];
}

std::string ResultFilter::Caption(ChangeKind kind) const {
  return std::string(kNames[Index(kind)]) + " (" + std::to_string(CountOf(kind)) + ")";
}

void ResultFilter::SetText(std::string_view text) {
  folded_ = FoldedText::Of(text);
}

bool ResultFilter::ShowsAll() const {
  return order_ == Order::Found && folded_.empty() && std::all_of(shown_.begin(), shown_.end(), [](bool s) { return s; });
}

namespace {

// Paths in tree order: a folder's own entries before its neighbours whose
// names go on past the folder's ("a/b" before "a-b"). Negative, 0 or
// positive as a comes before, with or after b.
int ComparePaths(std::string_view a, std::string_view b) {
  const auto [atA, atB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (atA == a.end()) return atB == b.end() ? 0 : -1;
  if (atB == b.end()) return 1;
  const auto rank = [](char c) { return c == '/' || c == '\\' ? 0 : static_cast<unsigned char>(c) + 1; };
  return rank(*atA) - rank(*atB);
}

}  // namespace

const std::vector<int>& ResultFilter::Ordered(const std::vector<std::string_view>& lines) const {
  if (orderedBy_ == order_ && ordered_.size() == lines.size()) return ordered_;
  // Sorted once for the results as they are, not at each toggle or letter typed.
  struct Row {
    int line;
    std::size_t kind;
    std::string_view path;
  };
  std::vector<Row> sorted;
  std::vector<int> others;  // lines of no kind, after the sorted ones
  sorted.reserve(lines.size());
  for (std::size_t at = 0; at < lines.size(); ++at) {
    if (const auto kind = KindOf(lines[at])) {
      sorted.push_back({static_cast<int>(at), Index(*kind), PaneText::PathOf(lines[at]).value_or("")});
    } else {
      others.push_back(static_cast<int>(at));
    }
  }
  const bool byPath = order_ == Order::Path;
  std::stable_sort(sorted.begin(), sorted.end(), [byPath](const Row& a, const Row& b) {
    if (!byPath && a.kind != b.kind) return a.kind < b.kind;
    const int paths = ComparePaths(a.path, b.path);
    return paths != 0 ? paths < 0 : a.kind < b.kind;
  });
  ordered_.clear();
  ordered_.reserve(lines.size());
  for (const Row& row : sorted) ordered_.push_back(row.line);
  ordered_.insert(ordered_.end(), others.begin(), others.end());
  orderedBy_ = order_;
  return ordered_;
}

std::vector<int> ResultFilter::VisibleRows(const std::vector<std::string_view>& lines) const {
  const auto shown = [&](int line) {
    const auto kind = KindOf(lines[static_cast<std::size_t>(line)]);
    return !kind || (Shown(*kind) && (folded_.empty() || FoldedText::Holds(lines[static_cast<std::size_t>(line)], folded_)));
  };
  std::vector<int> rows;
  rows.reserve(lines.size());
  if (order_ == Order::Found) {
    for (std::size_t line = 0; line < lines.size(); ++line)
      if (shown(static_cast<int>(line))) rows.push_back(static_cast<int>(line));
    return rows;
  }
  for (const int line : Ordered(lines))
    if (shown(line)) rows.push_back(line);
  return rows;
}
