#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "compare/ComparisonResult.h"
#include "compare/KeyJoin.h"

#include "surfaces/MainWindowState.h"
#include "surfaces/Surfaces.h"

// Compares the current listing (ListBox1) with the loaded one (ListBox2) and
// writes the Modified, Deleted and Added lines into ListBox3. When the user
// asks for moves, a Deleted and an Added line that are one file moved become
// one Moved line instead.
class ListingComparison {
 public:
  ListingComparison(MainWindowState& state, Surfaces& surfaces) : state_(state), surfaces_(surfaces) {}

  // The user may stop it: then ListBox3 holds the results found so far and a
  // closing line, and they cannot be saved.
  void Run();
  // What the last run found; complete only when it ended without failure.
  const ComparisonResult& Outcome() const { return outcome_; }
  // Forgets the last run's outcome once its results are gone.
  void Forget() { outcome_.Clear(); }

 private:
  int ReadCount(PaneId pane, const char* listingName);
  void ShowProgress(long long step, long long steps);
  void AddResult(const std::array<std::string_view, 4>& parts);
  void AddChange(ChangeKind kind, int current, int loaded);
  void AddChangeLine(const Change& change);
  void PairMovesAndAddLines();
  void WarnOfRepeats(const KeyJoin& join);
  std::string_view CurrentLine(const Change& change);
  std::string_view LoadedLine(const Change& change);
  // True when the user asked to stop; then the partial results are closed.
  bool Stopped();
  void Finish(std::string_view panelText);

  MainWindowState& state_;
  Surfaces& surfaces_;
  int widestResult_ = 0;
  long long shownPercent_ = -1;
  std::string progressText_;
  std::string result_;
  std::vector<std::string_view> working_;  // the current file lines, during a run
  ComparisonResult outcome_;
};
