#include "app/ResultFilter.h"

#include <algorithm>

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

bool ResultFilter::ShowsAll() const { return std::all_of(shown_.begin(), shown_.end(), [](bool s) { return s; }); }

std::vector<int> ResultFilter::VisibleRows(const std::vector<std::string_view>& lines) const {
  std::vector<int> rows;
  rows.reserve(lines.size());
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const auto kind = KindOf(lines[row]);
    if (!kind || Shown(*kind)) rows.push_back(static_cast<int>(row));
  }
  return rows;
}
