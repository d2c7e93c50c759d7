#pragma once

#include <array>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "app/FindFlow.h"
#include "app/PaneMenu.h"
#include "app/PaneRows.h"
#include "app/RememberedChoices.h"
#include "app/ResultFilter.h"
#include "app/StatusPanels.h"
#include "app/TMainWindow.h"
#include "app/WindowDialogs.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"
#include "app/WorkSession.h"

// What both windows do alike, written once: the surfaces the window logic
// sees, passed on to the window's own surfaces after the window's rules; and
// the calls the window turns its input into. The window itself only lays out
// its controls, draws and reads them, and realises the port.
//
// It holds the work session, the warn-once rule, the enabled states beyond
// the action table, the find and filter flow, the listing and signing
// choices, the dialogs and the commands' dispatch.
class WindowController : public Surfaces {
 public:
  WindowController(WindowView& window, WindowPort& port, WindowDialogs& dialogs, const SettingsStore& store,
                   FolderSearch& search, RegionalSettings settings);
  ~WindowController() override;

  TMainWindow& Logic() { return *logic_; }
  const RememberedChoices& Choices() const { return choices_; }
  bool Working() const { return session_.Working(); }
  // A pane's lines and the rows its view shows of them. The window tells
  // its view of the lines added when it announces them.
  PaneRows& Rows(PaneId pane) { return rows_[static_cast<int>(pane)]; }
  const PaneRows& Rows(PaneId pane) const { return rows_[static_cast<int>(pane)]; }
  // The enabled state the commands gave an action.
  bool Enabled(ActionId id) const { return enabled_[static_cast<std::size_t>(id)]; }

  // Input, as the window turns it into calls.
  // An action chosen in the menu, on the toolbar or by its shortcut.
  void Execute(ActionId action);
  void PaneClicked(PaneId pane);
  void PaneFocused(PaneId pane) { find_.PaneFocused(pane); }
  // Input that comes while work runs; true when it is dropped.
  bool DropsDuringWork(WorkSession::Input input) { return session_.Drops(input); }
  // The focus or the selection moved, or the clipboard changed.
  void UpdateEditActions(bool lineFocused, bool lineSelection, bool clipboardText);
  // What has the keyboard focus, as the edit commands see it.
  enum class Focus { Other, Pane, EditLine, FindLine, ResultText };
  // The line Cut, Copy and Paste act on: a focused pane stands for the line
  // beside the MD5 box, which shows its clicked row; Other: none.
  static Focus LineForEdits(Focus focused) { return focused == Focus::Pane ? Focus::EditLine : focused; }
  // The user asked to close the window: true when it may close now; else it
  // closes once the command under way has returned. It remembers the MD5 box.
  bool CloseAsked();
  // The window goes: the logic's FormDestroy, once.
  void Destroy();
  void ShowHint(std::string_view text) { panels_.ShowHint(text); }
  // The right-click menu of a pane over its selected lines; none while work
  // runs or when no line is selected.
  std::optional<PaneMenu> MenuOfPane(PaneId pane);
  void HintRoomChanged() { panels_.HintRoomChanged(); }
  // Open Containing Folder: a folder no file manager takes is told of.
  void ShowFolder(const std::string& folder);

  // The recent listings of the File menu, newest first, as "&1 NAME"; and
  // opening one of them.
  std::vector<std::string> RecentItems() const;
  void OpenRecent(std::size_t index);

  // The listing choices.
  void SetChoice(RememberedChoices::Flag flag, bool on);
  void EditExcludePatterns();
  // Signing on Save on or off; on asks for the private key when none is
  // remembered, and a key that cannot sign switches it off again.
  void ChooseSigning(bool on);
  void ChooseVerifyKey();

  // The find bar and the result kinds.
  void FindTextChanged() { find_.Restart(); }
  // Enter in the find bar goes to the next line found, with Shift to the one
  // before; Escape closes the bar and gives its pane the focus back.
  void FindBarKey(bool escape, bool shift);
  PaneId FindPane() const { return find_.Pane(); }
  void TakeHits() { find_.TakeHits(!Working()); }
  void FinishFind() { find_.Finish(); }
  void ShowKind(ChangeKind kind, bool shown);
  // The text the result lines shown must hold; none shows them all.
  void ShowResultText(std::string_view text);

  // Surfaces.
  void PaneClear(PaneId pane) override;
  void PaneAddLine(PaneId pane, std::string_view line) override;
  int PaneLineCount(PaneId pane) override { return Rows(pane).Lines().Count(); }
  std::string_view PaneLineAt(PaneId pane, int index) override { return Rows(pane).Lines().LineAt(index); }
  int PaneSelectedIndex(PaneId pane) override {
    return Rows(pane).ChosenLine(window_.CurrentRow(pane), window_.SelectedRows(pane));
  }
  void PaneSetScrollExtent(PaneId pane, int pixels) override;
  int PaneFontSize(PaneId pane) override { return window_.PaneFontSize(pane); }
  int PanePixelsPerInch(PaneId pane) override { return window_.PanePixelsPerInch(pane); }
  void PaneLoadFromFile(PaneId pane, const std::string& fileName) override;
  void PaneSaveToFile(PaneId pane, const std::string& fileName) override;
  void StatusSetPanelText(int panel, std::string_view text) override { panels_.Set(panel, text); }
  void StatusRefresh() override;
  void SetCaption(std::string_view text) override { session_.SetCaption(text); }
  void RefreshWindow() override { session_.Refresh(); }
  void SetLabelText(LabelId label, std::string_view text) override { window_.SetLabelText(label, text); }
  void EditSetText(std::string_view text) override { window_.EditSetText(text); }
  void EditFocus() override { window_.EditFocus(); }
  void EditSelectAll() override { window_.EditSelectAll(); }
  bool Md5Ticked() override;
  bool DetectMovesChecked() override { return choices_.Get(RememberedChoices::Flag::DetectMoves); }
  void SetActionEnabled(ActionId action, bool enabled) override;
  void SetBusyCursor() override { window_.SetBusyCursor(); }
  void SetNormalCursor() override { window_.SetNormalCursor(); }
  bool StopRequested() override { return session_.StopRequested(); }
  void ShowRunProgress(const RunProgress& progress) override { session_.Progress(progress); }
  void ReportUnreadable(UnreadableKind kind, std::string_view path, std::string_view reason) override;
  bool ReuseDigestsChecked() override { return choices_.Get(RememberedChoices::Flag::ReuseDigests); }
  std::vector<std::string> ExcludePatternList() override;
  void ShowWarning(std::string_view text) override;
  ConfirmAnswer AskConfirmation(std::string_view question) override { return dialogs_.Confirm(question); }
  std::optional<std::string> RunOpenDialog() override { return dialogs_.OpenFile(); }
  std::optional<std::string> RunSaveDialog() override { return dialogs_.SaveFile(); }
  std::optional<std::string> RunFolderBrowser(std::string_view title) override;
  std::optional<std::string> RunFolderBrowserAt(std::string_view title, const std::string& start) override;
  std::optional<ResultsFileChoice> RunSaveResultsDialog() override { return dialogs_.SaveResultsFile(); }
  void ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) override {
    window_.ShowOldLine(line, changed);
  }
  void ShowErrorBox(std::string_view message) override;
  void ShowAboutBox() override { dialogs_.ShowAbout(); }
  void ShowHelpContents() override { window_.ShowHelpContents(); }
  void QuitHelp() override { window_.QuitHelp(); }
  void CloseWindow() override;

 private:
  using Handler = void (TMainWindow::*)(const void*);
  // Runs a command of the logic; one asked for while work runs is dropped,
  // not queued for later.
  void Run(Handler handler);
  void Run(const std::function<void()>& command);
  // The commands that wait for the work to end: dropped, so shown greyed.
  static bool HeldDuringWork(ActionId action);
  void RecountResults();
  void ApplyResultFilter();
  // The logic takes the digest and the keys the choices name.
  void ApplyChoices();
  // The choices' check marks; the listing choices cannot be changed while
  // enabled is false.
  void ShowChoices(bool enabled);

  WindowView& window_;
  WindowPort& port_;
  WindowDialogs& dialogs_;
  RememberedChoices choices_;
  std::array<PaneRows, 3> rows_;
  StatusPanels panels_;
  WorkSession session_;
  FindFlow find_;
  ResultFilter filter_;
  std::array<bool, kActionCount> enabled_{};
  std::set<std::string, std::less<>> warned_;
  bool md5Ticked_ = false;      // the check box as the running work reads it
  bool resultsChanged_ = false;  // ListBox3's kinds are to be counted again
  int running_ = 0;              // commands under way, one within another
  bool closeRequested_ = false;
  bool destroyed_ = false;
  std::unique_ptr<TMainWindow> logic_;
};
