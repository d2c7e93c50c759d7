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
  for (const std::string_view line : lines)
    if (const auto kind = KindOf(line)) ++counts_[Index(*kind)];
}

std::string ResultFilter::Caption(ChangeKind kind) const {
  return std::string(kNames[Index(kind)]) + " (" + std::to_string(CountOf(kind)) + ")";
}

void ResultFilter::SetText(std::string_view text) {
  text_ = text;
  folded_ = FoldedText::Of(text);
}

bool ResultFilter::ShowsAll() const {
  return order_ == Order::Found && text_.empty() && std::all_of(shown_.begin(), shown_.end(), [](bool s) { return s; });
}

namespace {

// Paths in tree order: a folder's own entries before its neighbours whose
// names go on past the folder's ("a/b" before "a-b").
bool PathBefore(std::string_view a, std::string_view b) {
  const auto rank = [](char c) { return c == '/' || c == '\\' ? 0 : static_cast<unsigned char>(c) + 1; };
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [&](char x, char y) { return rank(x) < rank(y); });
}

}  // namespace

std::vector<int> ResultFilter::VisibleRows(const std::vector<std::string_view>& lines) const {
  struct Row {
    int line;
    std::size_t kind;
    std::string_view path;
  };
  std::vector<Row> kept;
  std::vector<int> others;  // lines of no kind
  kept.reserve(lines.size());
  for (std::size_t at = 0; at < lines.size(); ++at) {
    const int line = static_cast<int>(at);
    const auto kind = KindOf(lines[at]);
    if (!kind) {
      if (order_ == Order::Found) {
        kept.push_back({line, 0, {}});
      } else {
        others.push_back(line);
      }
      continue;
    }
    if (!Shown(*kind) || (!folded_.empty() && !FoldedText::Holds(lines[at], folded_))) continue;
    kept.push_back({line, Index(*kind), order_ == Order::Found ? std::string_view() : PaneText::PathOf(lines[at]).value_or("")});
  }
  if (order_ == Order::Path)
    std::stable_sort(kept.begin(), kept.end(), [](const Row& a, const Row& b) {
      return PathBefore(a.path, b.path) || (!PathBefore(b.path, a.path) && a.kind < b.kind);
    });
  if (order_ == Order::Kind)
    std::stable_sort(kept.begin(), kept.end(), [](const Row& a, const Row& b) {
      return a.kind < b.kind || (a.kind == b.kind && PathBefore(a.path, b.path));
    });
  std::vector<int> rows;
  rows.reserve(kept.size() + others.size());
  for (const Row& row : kept) rows.push_back(row.line);
  rows.insert(rows.end(), others.begin(), others.end());
  return rows;
}
