#pragma once

#include "surfaces/Surfaces.h"

// The scroll-extent rule shared by every pane: font size × longest line ×
// 80 ÷ pixels per inch, in floating point, truncated toward zero.
int ScrollExtentFor(int fontSize, int longestLine, int pixelsPerInch);

// Reads the pane's font size and resolution and sets its extent by the rule.
void SetPaneScrollExtent(Surfaces& surfaces, PaneId pane, int longestLine);
