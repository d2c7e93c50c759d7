#include "app/PaneRows.h"

#include <algorithm>

#include "app/ResultFilter.h"
#include "app/WindowLayout.h"
#include "documents/ListingFile.h"

void PaneRows::Clear() {
  lines_.Clear();
  shown_.ShowAll();
  announced_ = 0;
}

void PaneRows::Load(const std::string& fileName) {
  struct Announce {
    PaneRows& rows;
    ~Announce() { rows.announced_ = rows.lines_.Count(); }
  } announce{*this};
  shown_.ShowAll();
  ReadListingFile(fileName, lines_, {.regularFileOnly = true});
}

bool PaneRows::Show(const std::vector<int>* rows) {
  if (rows == nullptr && !shown_.Filtered()) return false;
  if (rows == nullptr) {
    shown_.ShowAll();
  } else {
    shown_.Show(*rows);
  }
  announced_ = lines_.Count();
  return true;
}

bool PaneRows::Announce() {
  if (Untold() <= 0) return false;
  announced_ = lines_.Count();
  return true;
}

int PaneRows::ChosenLine(int currentRow, const std::vector<int>& selectedRows) const {
  if (selectedRows.empty()) return -1;
  const bool current = std::find(selectedRows.begin(), selectedRows.end(), currentRow) != selectedRows.end();
  return LineOfRow(current ? currentRow : *std::min_element(selectedRows.begin(), selectedRows.end()));
}

std::vector<std::string_view> PaneRows::LinesAt(const std::vector<int>& rows) const {
  std::vector<int> sorted = rows;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string_view> texts;
  for (const int row : sorted) {
    if (const int line = LineOfRow(row); line >= 0) texts.push_back(lines_.LineAt(line));
  }
  return texts;
}

std::optional<std::uint32_t> PaneRows::ColourOfRow(int row) const {
  if (!colourByKind_) return std::nullopt;
  const int line = LineOfRow(row);
  const auto kind = line >= 0 ? ResultFilter::KindOf(lines_.LineAt(line)) : std::nullopt;
  if (!kind) return std::nullopt;
  return WindowLayout::kKindColours[static_cast<std::size_t>(*kind)];
}
