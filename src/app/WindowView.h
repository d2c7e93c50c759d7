#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "surfaces/ListPane.h"
#include "surfaces/Surfaces.h"

// The surface operations a window draws and reads itself; the controller
// answers the rest (the work's polls, the choices, the dialogs) for it. They
// mean what the surface operations of the same names mean.
class WindowView {
 public:
  virtual ~WindowView() = default;
  virtual void PaneClear(PaneId pane) = 0;
  virtual void PaneAddLine(PaneId pane, std::string_view line) = 0;
  // A pane's lines, all of them whatever its view shows: the controller
  // counts, reads, saves and searches them.
  virtual const ListPane& PaneLines(PaneId pane) const = 0;
  // The lines selected in a pane, in pane order, of the rows it shows.
  virtual std::vector<std::string_view> SelectedLines(PaneId pane) const = 0;
  virtual int PaneSelectedIndex(PaneId pane) = 0;
  virtual void PaneSetScrollExtent(PaneId pane, int pixels) = 0;
  virtual int PaneFontSize(PaneId pane) = 0;
  virtual int PanePixelsPerInch(PaneId pane) = 0;
  // Reads a listing file into a pane; the controller has it shown from its
  // first line after, also when reading failed.
  virtual void PaneLoadFromFile(PaneId pane, const std::string& fileName) = 0;
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
