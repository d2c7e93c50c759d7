#pragma once

#include <string>

#include "app/PaneFind.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"

// The find bar's flow: it searches the pane that had the focus last, goes to
// the first hit as soon as it is found, steps through the hits the result
// filter shows, and forgets its hits when the pane's lines go.
class FindFlow {
 public:
  FindFlow(WindowView& window, WindowPort& port) : window_(window), port_(port) {}

  PaneId Pane() const { return pane_; }
  void PaneFocused(PaneId pane) { lastPane_ = pane; }
  // Opens the bar over the pane that had the focus last; a bar moved to
  // another pane, or opened again, searches afresh.
  void Open();
  void Closed() { open_ = false; }
  // The text of the bar changed.
  void Restart();
  // Takes the hits found so far; the first is gone to when mayGo.
  void TakeHits(bool mayGo);
  void Step(bool forward);
  // A pane's lines go.
  void Forget(PaneId pane);
  // Waits for the search to end; for tests.
  void Finish();

 private:
  void ShowCount(int place) { port_.ShowFindCount(finder_.CountText(place)); }

  WindowView& window_;
  WindowPort& port_;
  PaneFind finder_;
  PaneId pane_ = PaneId::ListBox1;
  PaneId lastPane_ = PaneId::ListBox1;
  bool open_ = false;
  bool jumped_ = false;  // the first hit has been gone to
};
