#include "compare/ListingComparison.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "surfaces/ScrollExtent.h"
#include "surfaces/Texts.h"
#include "compare/ComparisonKey.h"
#include "compare/KeyIndex.h"
#include "platform/QuillonError.h"

namespace {

// Whether line holds part as one unbroken run of bytes; lines of equal length
// only by being equal, which is the common case of an unchanged file.
bool Contains(std::string_view line, std::string_view part) {
  if (line.size() == part.size()) return line == part;
  return line.size() > part.size() && line.find(part) != std::string_view::npos;
}

}  // namespace

int ListingComparison::ReadCount(PaneId pane, const char* listingName) {
  const int lines = surfaces_.PaneLineCount(pane);
  const auto count = ComparisonKey::ReadFileCount(surfaces_.PaneLineAt(pane, lines - 1));
  // A count past the pane's lines fails later, at the first line it lacks.
  if (!count || *count < 0 || *count > std::numeric_limits<int>::max())
    throw QuillonError(std::string("No file count can be read from the last line of the ") + listingName);
  return static_cast<int>(*count);
}

void ListingComparison::ShowProgress(long long step, long long steps) {
  const long long percent = step * 100 / steps;
  if (percent != shownPercent_) {
    shownPercent_ = percent;
    progressText_ = std::to_string(percent) + " %";
  }
  surfaces_.StatusSetPanelText(3, progressText_);
  surfaces_.StatusRefresh();
}

void ListingComparison::AddResult(std::string_view prefix, std::string_view line) {
  result_.assign(prefix).append(line);
  surfaces_.PaneAddLine(PaneId::ListBox3, result_);
  if (static_cast<int>(result_.size()) > widestResult_) widestResult_ = static_cast<int>(result_.size());
}

void ListingComparison::Run() {
  surfaces_.PaneClear(PaneId::ListBox3);
  widestResult_ = 0;
  shownPercent_ = -1;
  surfaces_.SetBusyCursor();
  const int currentCount = ReadCount(PaneId::ListBox1, "current listing");
  const int loadedCount = ReadCount(PaneId::ListBox2, "loaded listing");
  surfaces_.StatusSetPanelText(3, "0 %");
  surfaces_.StatusRefresh();

  // The working list, and the first current line of each key. Lines are paired
  // when their keys are equal, so an index replaces the scan of the other side
  // and the first line in listing order still wins.
  std::vector<std::string_view> working;
  std::vector<std::string_view> workingKeys;  // empty where a line has no key; a key never is
  const auto currentLines = static_cast<std::size_t>(std::min(currentCount, surfaces_.PaneLineCount(PaneId::ListBox1)));
  working.reserve(currentLines);
  workingKeys.reserve(currentLines);
  KeyIndex currentByKey(currentLines);
  for (int i = 0; i < currentCount; ++i) {
    working.push_back(surfaces_.PaneLineAt(PaneId::ListBox1, i));
    workingKeys.push_back(ComparisonKey::KeyOf(working.back()).value_or(std::string_view()));
    if (!workingKeys.back().empty()) currentByKey.InsertFirst(workingKeys.back(), i);
  }

  const long long steps = static_cast<long long>(currentCount) + loadedCount;
  KeyIndex loadedKeys(static_cast<std::size_t>(std::min(loadedCount, surfaces_.PaneLineCount(PaneId::ListBox2))));
  for (int i = 0; i < loadedCount; ++i) {
    ShowProgress(i + 1, steps);
    const std::string_view loaded = surfaces_.PaneLineAt(PaneId::ListBox2, i);
    if (const auto key = ComparisonKey::KeyOf(loaded)) {
      loadedKeys.InsertFirst(*key, i);
      const int match = currentByKey.Find(*key);
      if (match < 0) {
        AddResult("Deleted: ", loaded);
      } else if (!Contains(working[static_cast<std::size_t>(match)], loaded)) {
        AddResult("Modified: ", working[static_cast<std::size_t>(match)]);
      }
    }
    state_.LastCommand = 2;
  }

  for (std::size_t j = 0; j < working.size(); ++j) {
    ShowProgress(loadedCount + static_cast<long long>(j), steps);
    if (!workingKeys[j].empty() && loadedKeys.Find(workingKeys[j]) < 0) AddResult("Added: ", working[j]);
  }

  if (surfaces_.PaneLineCount(PaneId::ListBox3) == 0) AddResult("", Texts::kNoDifferences);
  SetPaneScrollExtent(surfaces_, PaneId::ListBox3, widestResult_);
  surfaces_.SetNormalCursor();
  surfaces_.StatusSetPanelText(3, "");
  surfaces_.StatusRefresh();
  surfaces_.SetActionEnabled(ActionId::FileSaveResultAction, true);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, true);
}
