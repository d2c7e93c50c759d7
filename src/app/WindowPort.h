#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/Surfaces.h"

class ResultFilter;

// What a window does for its controller beyond the surface operations: the
// few things only its toolkit can do. Each window realises it.
class WindowPort {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~WindowPort() = default;

  // The clock the work session paces itself by.
  virtual Clock::time_point Now() { return Clock::now(); }
  // Answers the input that is waiting now, once, and returns.
  virtual void ProcessInput() = 0;
  // Shows the lines added to the panes since the last time (each pane's
  // rows tell which); during work a pane follows its end until the user
  // scrolls away from it.
  virtual void AnnouncePanes() = 0;
  // Work starts or ends: the window holds back, or lets go, what it must.
  virtual void WorkChanged(bool working) = 0;
  // Closes the window, after the command under way has returned.
  virtual void CloseLater() = 0;

  // A status panel's tooltip, lines apart by "\n"; whether a text fits in a
  // panel whole.
  virtual void SetPanelTip(int panel, const std::string& tip) = 0;
  virtual bool PanelFits(int panel, std::string_view text) = 0;
  // A text's width in a panel, and a panel's width, at 96 pixels per inch.
  virtual int PanelTextWidth(int panel, std::string_view text) = 0;
  virtual void SetPanelWidth(int panel, int width) = 0;

  // Cut, Copy or Paste on the line that has the focus.
  virtual void EditLine(ActionId action) = 0;

  // A checkable action's check mark, as the choices hold it.
  virtual void SetActionChecked(ActionId action, bool checked) = 0;

  // Selects a row alone and brings it to the middle of the pane.
  virtual void GoToRow(PaneId pane, int row) = 0;
  // Shows the find bar over a pane, placed anew when asked, with the focus
  // and its text selected; its text; its count of hits; its polling timer.
  virtual void ShowFindBar(PaneId pane, bool place) = 0;
  // Hides the find bar and gives the pane it searched the focus.
  virtual void HideFindBar(PaneId pane) = 0;
  virtual std::string FindText() = 0;
  virtual void ShowFindCount(std::string_view text) = 0;
  virtual void PollFind(bool on) = 0;
  // The toggles of the result kinds, with their counts, shown when any.
  virtual void ShowResultKinds(const ResultFilter& filter, bool any) = 0;
};
