#include "compare/ListingComparison.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "surfaces/ErrorText.h"
#include "surfaces/ScrollExtent.h"
#include "surfaces/Texts.h"
#include "compare/ComparisonKey.h"
#include "compare/KeyJoin.h"
#include "compare/MovePairing.h"
#include "platform/QuillonError.h"

int ListingComparison::ReadCount(PaneId pane, const char* listingName) {
  const int lines = surfaces_.PaneLineCount(pane);
  const auto count = ComparisonKey::ReadFileCount(surfaces_.PaneLineAt(pane, lines - 1));
  // A count past the pane's lines fails later, at the first line it lacks.
  if (!count || *count < 0 || *count > std::numeric_limits<int>::max())
    throw QuillonError(ErrorText::NoFileCount(listingName));
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

void ListingComparison::AddResult(const std::array<std::string_view, 4>& parts) {
  result_.clear();
  for (const std::string_view part : parts) result_.append(part);
  surfaces_.PaneAddLine(PaneId::ListBox3, result_);
  if (static_cast<int>(result_.size()) > widestResult_) widestResult_ = static_cast<int>(result_.size());
}

void ListingComparison::AddChange(ChangeKind kind, int current, int loaded) {
  outcome_.Changes.push_back({kind, current, loaded});
  // With moves detected, the lines are written once the pairing is known.
  if (!outcome_.MovesDetected) AddChangeLine(outcome_.Changes.back());
}

void ListingComparison::AddChangeLine(const Change& change) {
  outcome_.Count(change.Kind);
  AddResult(ResultLineParts(change.Kind, change.Current >= 0 ? CurrentLine(change) : std::string_view(),
                            change.Loaded >= 0 ? LoadedLine(change) : std::string_view()));
}

std::string_view ListingComparison::CurrentLine(const Change& change) {
  return working_[static_cast<std::size_t>(change.Current)];
}

std::string_view ListingComparison::LoadedLine(const Change& change) {
  return surfaces_.PaneLineAt(PaneId::ListBox2, change.Loaded);
}

void ListingComparison::PairMovesAndAddLines() {
  std::vector<std::string_view> deleted, added;
  std::vector<std::size_t> deletedAt, addedAt;  // their places among the changes
  for (std::size_t k = 0; k < outcome_.Changes.size(); ++k) {
    const Change& change = outcome_.Changes[k];
    if (change.Kind == ChangeKind::Deleted) {
      deleted.push_back(LoadedLine(change));
      deletedAt.push_back(k);
    } else if (change.Kind == ChangeKind::Added) {
      added.push_back(CurrentLine(change));
      addedAt.push_back(k);
    }
  }
  const MovePairing pairing(deleted, added);
  outcome_.AmbiguousMoves = pairing.Ambiguous();
  // A move stands where its Added line stood, and its Deleted line goes.
  std::vector<bool> dropped(outcome_.Changes.size(), false);
  for (std::size_t j = 0; j < added.size(); ++j) {
    const int partner = pairing.PartnerOfAdded()[j];
    if (partner < 0) continue;
    const std::size_t deletedChange = deletedAt[static_cast<std::size_t>(partner)];
    dropped[deletedChange] = true;
    Change& change = outcome_.Changes[addedAt[j]];
    change.Kind = ChangeKind::Moved;
    change.Loaded = outcome_.Changes[deletedChange].Loaded;
  }
  std::vector<Change> kept;
  kept.reserve(outcome_.Changes.size());
  for (std::size_t k = 0; k < outcome_.Changes.size(); ++k)
    if (!dropped[k]) kept.push_back(outcome_.Changes[k]);
  outcome_.Changes = std::move(kept);
  for (const Change& change : outcome_.Changes) AddChangeLine(change);
}

void ListingComparison::WarnOfRepeats(const KeyJoin& join) {
  if (join.RepeatedCurrent() != KeyJoin::kNoRepeat) {
    const std::string_view line = working_[static_cast<std::size_t>(join.RepeatedCurrent())];
    surfaces_.ShowWarning(ErrorText::RepeatedPath("current listing", ComparisonKey::ShownPath(line)));
  }
  if (join.RepeatedLoaded() != KeyJoin::kNoRepeat) {
    const std::string_view line = surfaces_.PaneLineAt(PaneId::ListBox2, static_cast<int>(join.RepeatedLoaded()));
    surfaces_.ShowWarning(ErrorText::RepeatedPath("loaded listing", ComparisonKey::ShownPath(line)));
  }
}

bool ListingComparison::Stopped() {
  if (!surfaces_.StopRequested()) return false;
  // With moves detected nothing is written before the end: the changes found
  // so far are written as they are, no move paired among them.
  if (outcome_.MovesDetected)
    for (const Change& change : outcome_.Changes) AddChangeLine(change);
  AddResult({Texts::kComparisonStopped});
  Finish("");
  surfaces_.SetActionEnabled(ActionId::FileSaveResultAction, false);
  working_.clear();
  return true;
}

void ListingComparison::Finish(std::string_view panelText) {
  SetPaneScrollExtent(surfaces_, PaneId::ListBox3, widestResult_);
  surfaces_.SetNormalCursor();
  surfaces_.StatusSetPanelText(3, panelText);
  surfaces_.StatusRefresh();
}

void ListingComparison::Run() {
  surfaces_.PaneClear(PaneId::ListBox3);
  widestResult_ = 0;
  shownPercent_ = -1;
  outcome_.Clear();
  working_.clear();
  surfaces_.SetBusyCursor();
  const int currentCount = ReadCount(PaneId::ListBox1, "current listing");
  const int loadedCount = ReadCount(PaneId::ListBox2, "loaded listing");
  // From here on the user may stop it; however it ends, Stop goes grey.
  struct WorkEnd {
    Surfaces& surfaces;
    ~WorkEnd() { surfaces.SetActionEnabled(ActionId::EditStopAction, false); }
  } workEnd{surfaces_};
  surfaces_.SetActionEnabled(ActionId::EditStopAction, true);
  surfaces_.StatusSetPanelText(3, "0 %");
  surfaces_.StatusRefresh();
  outcome_.MovesDetected = surfaces_.DetectMovesChecked();

  // The working list, indexed by key: lines are paired when their keys are
  // equal, and the first line in listing order wins.
  std::vector<std::string_view>& working = working_;
  std::vector<std::uint32_t> keyLengths;
  const auto currentLines = static_cast<std::size_t>(std::min(currentCount, surfaces_.PaneLineCount(PaneId::ListBox1)));
  working.reserve(currentLines);
  keyLengths.reserve(currentLines);
  for (int i = 0; i < currentCount; ++i) {
    if (Stopped()) return;
    working.push_back(surfaces_.PaneLineAt(PaneId::ListBox1, i));
    keyLengths.push_back(KeyJoin::KeyLength(working.back()));
  }
  // Past the file lines, the folder lines that carry metadata are compared too.
  for (int i = currentCount; i < surfaces_.PaneLineCount(PaneId::ListBox1); ++i) {
    working.push_back(surfaces_.PaneLineAt(PaneId::ListBox1, i));
    keyLengths.push_back(ComparisonKey::ComparedPastCount(working.back()) ? KeyJoin::KeyLength(working.back())
                                                                           : KeyJoin::kNoKey);
  }
  KeyJoin join(working, std::move(keyLengths));

  const long long steps = static_cast<long long>(currentCount) + loadedCount;
  const int loadedLines = std::max(loadedCount, surfaces_.PaneLineCount(PaneId::ListBox2));
  for (int i = 0; i < loadedLines; ++i) {
    const bool counted = i < loadedCount;
    const bool always = !counted && ComparisonKey::ComparedPastCount(surfaces_.PaneLineAt(PaneId::ListBox2, i));
    if (!counted && !always) continue;
    if (Stopped()) return;
    if (counted) ShowProgress(i + 1, steps);
    const std::string_view loaded = surfaces_.PaneLineAt(PaneId::ListBox2, i);
    if (const std::uint32_t keyLength = KeyJoin::KeyLength(loaded); keyLength != KeyJoin::kNoKey) {
      const long long match = join.Match(KeyJoin::KeyOf(loaded, keyLength), static_cast<std::uint64_t>(i), always);
      if (match < 0) {
        AddChange(ChangeKind::Deleted, -1, i);
      } else if (KeyJoin::Differs(working[static_cast<std::size_t>(match)], loaded)) {
        AddChange(ChangeKind::Modified, static_cast<int>(match), i);
      }
    }
    if (counted) state_.LastCommand = 2;
  }

  for (std::size_t j = 0; j < working.size(); ++j) {
    const bool counted = j < static_cast<std::size_t>(currentCount);
    if (!counted && !ComparisonKey::ComparedPastCount(working[j])) continue;
    if (Stopped()) return;
    if (counted) ShowProgress(loadedCount + static_cast<long long>(j), steps);
    if (join.IsAdded(j, static_cast<std::uint64_t>(loadedCount)))
      AddChange(ChangeKind::Added, static_cast<int>(j), -1);
  }
  if (outcome_.MovesDetected) PairMovesAndAddLines();
  WarnOfRepeats(join);

  if (surfaces_.PaneLineCount(PaneId::ListBox3) == 0) AddResult({Texts::kNoDifferences});
  // The counts take the place of the percentage once the comparison is done.
  Finish(outcome_.CountsText());
  surfaces_.SetActionEnabled(ActionId::FileSaveResultAction, true);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, true);
  working_.clear();
  outcome_.Completed = true;
}
