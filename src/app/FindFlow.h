#pragma once

#include <array>
#include <string>

#include "app/PaneFind.h"
#include "app/PaneRows.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"

// The find bar's flow: it searches the pane that had the focus last, goes to
// the first hit as soon as it is found, steps through the hits the result
// filter shows, and forgets its hits when the pane's lines go.
class FindFlow {
 public:
  FindFlow(WindowView& window, WindowPort& port, const std::array<PaneRows, 3>& rows)
      : window_(window), port_(port), rows_(rows) {}

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
  const PaneRows& Rows() const { return rows_[static_cast<int>(pane_)]; }
  // The count of the hits the view shows, and the place of a line among them.
  void ShowCount(int line) {
    const PaneFind::RowOf rowOf = [this](int at) { return Rows().RowOfLine(at); };
    port_.ShowFindCount(finder_.CountText(finder_.PlaceOf(line, rowOf), rowOf));
  }
  int ChosenLine() const { return Rows().ChosenLine(window_.CurrentRow(pane_), window_.SelectedRows(pane_)); }

  WindowView& window_;
  WindowPort& port_;
  const std::array<PaneRows, 3>& rows_;
  PaneFind finder_;
  PaneId pane_ = PaneId::ListBox1;
  PaneId lastPane_ = PaneId::ListBox1;
  bool open_ = false;
  bool jumped_ = false;  // the first hit has been gone to
};
