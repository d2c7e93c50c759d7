#pragma once

#include <string>
#include <string_view>

#include "surfaces/MainWindowState.h"
#include "surfaces/Surfaces.h"

// Compares the current listing (ListBox1) with the loaded one (ListBox2) and
// writes the Modified, Deleted and Added lines into ListBox3.
class ListingComparison {
 public:
  ListingComparison(MainWindowState& state, Surfaces& surfaces) : state_(state), surfaces_(surfaces) {}

  void Run();

 private:
  int ReadCount(PaneId pane, const char* listingName);
  void ShowProgress(long long step, long long steps);
  void AddResult(std::string_view prefix, std::string_view line);

  MainWindowState& state_;
  Surfaces& surfaces_;
  int widestResult_ = 0;
  long long shownPercent_ = -1;
  std::string progressText_;
  std::string result_;
};
