#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "surfaces/Surfaces.h"

// The surface operations a window draws and reads itself; the controller
// answers the rest (the work's polls, the choices, the dialogs) for it. They
// mean what the surface operations of the same names mean.
class WindowView {
 public:
  virtual ~WindowView() = default;
  // The controller keeps each pane's lines and the rows the view shows of
  // them; the view draws the rows. They changed all at once: emptied, loaded
  // or filtered anew, and the view takes their count anew.
  virtual void PaneReset(PaneId pane) = 0;
  // The same rows are drawn anew, as their colours changed.
  virtual void PaneRepaint(PaneId pane) = 0;
  // The rows selected in a pane, and the row clicked last, -1 for none.
  virtual std::vector<int> SelectedRows(PaneId pane) const = 0;
  virtual int CurrentRow(PaneId pane) const = 0;
  virtual void PaneSetScrollExtent(PaneId pane, int pixels) = 0;
  virtual int PaneFontSize(PaneId pane) = 0;
  virtual int PanePixelsPerInch(PaneId pane) = 0;
  virtual void PaneShowFromTop(PaneId pane) = 0;
  virtual void StatusSetPanelText(int panel, std::string_view text) = 0;
  virtual void StatusRefresh() = 0;
  virtual void SetCaption(std::string_view text) = 0;
  virtual void SetLabelText(LabelId label, std::string_view text) = 0;
  virtual void EditSetText(std::string_view text) = 0;
  virtual void EditFocus() = 0;
  virtual void EditSelectAll() = 0;
  virtual bool Md5Ticked() = 0;
  virtual void SetActionEnabled(ActionId action, bool enabled) = 0;
  virtual void SetBusyCursor() = 0;
  virtual void SetNormalCursor() = 0;
  virtual void ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) = 0;
  virtual void ShowHelpContents() = 0;
  virtual void QuitHelp() = 0;
  virtual void CloseWindow() = 0;
};
