#pragma once

#include <array>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/WindowDialogs.h"
#include "app/WindowView.h"
#include "surfaces/ListPane.h"
#include "surfaces/Surfaces.h"

// Records every surface operation, in order, with its arguments, and answers
// the dialogs, the confirmation box and the check box as a test scripts them.
// As a window's view and dialogs it stands in for a window under a controller.
class RecordingSurfaces : public Surfaces, public WindowView, public WindowDialogs {
 public:
  RecordingSurfaces();

  // The recorded operations, optionally only those whose text starts with
  // one of the prefixes.
  std::vector<std::string> Ops(const std::vector<std::string>& prefixes = {}) const;
  void ClearLog() { log_.clear(); }

  ListPane& Pane(PaneId pane) { return panes_[static_cast<int>(pane)]; }
  // As a window's view: the selected index is the one row selected, if any.
  void PaneReset(PaneId pane) override;
  void PaneRepaint(PaneId pane) override;
  std::vector<int> SelectedRows(PaneId pane) const override;
  int CurrentRow(PaneId pane) const override { return panes_[static_cast<int>(pane)].SelectedIndex(); }
  void PaneShowFromTop(PaneId pane) override;
  std::vector<std::string> Lines(PaneId pane);
  void SetPaneLines(PaneId pane, const std::vector<std::string>& lines);

  // Scripted answers; an empty queue answers "cancelled".
  std::deque<std::optional<std::string>> FolderAnswers, OpenAnswers, SaveAnswers;
  std::deque<ConfirmAnswer> ConfirmAnswers;
  std::function<bool()> Md5 = [] { return false; };
  bool DetectMoves = false;
  // Polls for a stop and the run's figures are too many to log: they are
  // counted and kept instead. Stop answers every poll.
  std::function<bool()> Stop = [] { return false; };
  int StopPolls = 0;
  RunProgress Progress;
  int ProgressShown = 0;
  bool ReuseDigests = false;
  std::vector<std::string> Excludes;
  std::vector<std::string> Warnings;

  std::array<std::string, 5> Panels;
  std::string Caption, Label1, Label2, EditText;
  std::array<std::optional<bool>, kActionCount> Enabled;
  bool Busy = false;
  std::vector<std::string> Errors, Questions;
  std::vector<std::string> Unreadable;  // "folder PATH: REASON" or "file PATH: REASON"
  std::vector<std::string> FolderStarts;  // the folders the browser was opened at
  std::string OldLine;                    // with each changed field as [name:text]

  bool IsEnabled(ActionId action) const { return Enabled[static_cast<int>(action)].value_or(false); }

  void PaneClear(PaneId pane) override;
  void PaneAddLine(PaneId pane, std::string_view line) override;
  int PaneLineCount(PaneId pane) override;
  std::string_view PaneLineAt(PaneId pane, int index) override;
  int PaneSelectedIndex(PaneId pane) override;
  void PaneSetScrollExtent(PaneId pane, int pixels) override;
  int PaneFontSize(PaneId pane) override;
  int PanePixelsPerInch(PaneId pane) override;
  void PaneLoadFromFile(PaneId pane, const std::string& fileName) override;
  void PaneSaveToFile(PaneId pane, const std::string& fileName) override;
  void StatusSetPanelText(int panel, std::string_view text) override;
  void StatusRefresh() override;
  void SetCaption(std::string_view text) override;
  void RefreshWindow() override;
  void SetLabelText(LabelId label, std::string_view text) override;
  void EditSetText(std::string_view text) override;
  void EditFocus() override;
  void EditSelectAll() override;
  bool Md5Ticked() override;
  bool DetectMovesChecked() override;
  void SetActionEnabled(ActionId action, bool enabled) override;
  void SetBusyCursor() override;
  void SetNormalCursor() override;
  bool StopRequested() override;
  void ShowRunProgress(const RunProgress& progress) override;
  bool ReuseDigestsChecked() override;
  std::vector<std::string> ExcludePatternList() override;
  void ShowWarning(std::string_view text) override;
  ConfirmAnswer AskConfirmation(std::string_view question) override;
  std::optional<std::string> RunOpenDialog() override;
  std::optional<std::string> RunSaveDialog() override;
  std::optional<std::string> RunFolderBrowser(std::string_view title) override;
  std::optional<std::string> RunFolderBrowserAt(std::string_view title, const std::string& start) override {
    FolderStarts.push_back(start);
    return RunFolderBrowser(title);
  }
  void ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) override;
  void ReportUnreadable(UnreadableKind kind, std::string_view path, std::string_view reason) override;
  void ShowErrorBox(std::string_view message) override;
  void ShowAboutBox() override;
  void ShowHelpContents() override;
  void QuitHelp() override;
  void CloseWindow() override;

  // The dialogs, answered as the surface operations of the same purpose are.
  std::optional<std::string> BrowseForFolder(std::string_view title, const std::string& start) override {
    return RunFolderBrowserAt(title, start);
  }
  std::optional<std::string> OpenFile() override { return RunOpenDialog(); }
  std::optional<std::string> SaveFile() override { return RunSaveDialog(); }
  std::optional<ResultsFileChoice> SaveResultsFile() override { return RunSaveResultsDialog(); }
  std::optional<std::string> ChooseKeyFile(std::string_view) override { return std::nullopt; }
  ConfirmAnswer Confirm(std::string_view question) override { return AskConfirmation(question); }
  void ShowError(std::string_view message) override { ShowErrorBox(message); }
  void ShowAbout() override { ShowAboutBox(); }
  std::optional<std::string> EditExcludePatterns(const std::string&) override { return std::nullopt; }
  bool OpenFolder(const std::string&) override { return false; }

 private:
  void Record(std::string op) { log_.push_back(std::move(op)); }

  std::array<ListPane, 3> panes_;
  std::vector<std::string> log_;
};

std::string NameOf(PaneId pane);
