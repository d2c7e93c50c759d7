#include "surfaces/ScrollExtent.h"

#include <limits>

int ScrollExtentFor(int fontSize, int longestLine, int pixelsPerInch) {
  if (pixelsPerInch <= 0) return 0;
  const double extent = static_cast<double>(fontSize) * longestLine * 80.0 / pixelsPerInch;
  if (extent >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (extent <= 0.0) return 0;
  return static_cast<int>(extent);
}

void SetPaneScrollExtent(Surfaces& surfaces, PaneId pane, int longestLine) {
  const int fontSize = surfaces.PaneFontSize(pane);
  const int pixelsPerInch = surfaces.PanePixelsPerInch(pane);
  surfaces.PaneSetScrollExtent(pane, ScrollExtentFor(fontSize, longestLine, pixelsPerInch));
}
