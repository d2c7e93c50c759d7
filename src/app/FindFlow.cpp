#include "app/FindFlow.h"

#include <chrono>
#include <thread>

void FindFlow::Open() {
  const bool anew = pane_ != lastPane_ || !open_;
  if (anew) {
    Forget(pane_);
    pane_ = lastPane_;
  }
  open_ = true;
  port_.ShowFindBar(pane_, anew);
  if (anew) Restart();
}

void FindFlow::Restart() {
  jumped_ = false;
  finder_.Restart(Rows().Lines().Lines().Lines(), port_.FindText());
  ShowCount(-1);
  port_.PollFind(!finder_.Done());
}

void FindFlow::TakeHits(bool mayGo) {
  if (!finder_.Poll()) return;
  if (finder_.Done()) port_.PollFind(false);
  // The first hit is gone to as soon as it is found.
  if (mayGo && !jumped_ && !finder_.Hits().empty()) {
    jumped_ = true;
    Step(true);
    return;
  }
  ShowCount(ChosenLine());
}

void FindFlow::Step(bool forward) {
  if (finder_.Hits().empty()) return;
  // Lines the filter hides are passed over; a sorted view is gone through in its order.
  const PaneFind::RowOf rowOf = [this](int at) { return Rows().RowOfLine(at); };
  const int line = finder_.StepShown(Rows().RowOfLine(ChosenLine()), forward, rowOf);
  const int row = Rows().RowOfLine(line);
  if (row < 0) return;
  port_.GoToRow(pane_, row);
  ShowCount(line);
}

void FindFlow::Forget(PaneId pane) {
  // The search holds views of the pane's lines, which go now.
  if (pane != pane_) return;
  finder_.Forget();
  port_.PollFind(false);
  if (open_) port_.ShowFindCount("");
}

void FindFlow::Finish() {
  while (!finder_.Done()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TakeHits(true);
  }
}
