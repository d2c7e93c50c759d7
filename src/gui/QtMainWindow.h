#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <memory>

#include "surfaces/Surfaces.h"
#include "app/PaneFind.h"
#include "app/ResultFilter.h"
#include "app/RunFigures.h"
#include "app/TMainWindow.h"
#include "app/UnreadableList.h"
#include "gui/HelpViewer.h"
#include "gui/PaneModel.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QSplitter;
class QTimer;
class QToolButton;
class DialogProvider;
class FolderSearch;

// The main window on Qt: it lays out the controls, realises every surface
// operation on them, and forwards each action to the window logic.
class QtMainWindow : public QMainWindow, public Surfaces {
  Q_OBJECT

 public:
  QtMainWindow(DialogProvider& dialogs, FolderSearch& search, const QString& helpFile, QWidget* parent = nullptr);
  ~QtMainWindow() override;

  TMainWindow& Logic() { return *logic_; }
  QAction* Action(ActionId id) const { return actions_[static_cast<int>(id)]; }
  // Qt greys every hidden action; this is the state the commands gave it.
  bool ActionEnabled(ActionId id) const { return enabled_[static_cast<int>(id)]; }
  QListView* PaneView(PaneId pane) const { return views_[static_cast<int>(pane)]; }
  PaneModel* Model(PaneId pane) const { return models_[static_cast<int>(pane)]; }
  QLabel* Panel(int index) const { return panels_[static_cast<std::size_t>(index)]; }
  QLineEdit* NonViewEdit() const { return edit_; }
  QCheckBox* Md5CheckBox() const { return md5_; }
  QAction* ReuseDigestsAction() const { return reuseDigests_; }
  QAction* ExcludePatternsAction() const { return excludePatterns_; }
  HelpViewer& Help() { return help_; }
  bool Busy() const { return busy_; }
  // A listing run or a comparison is under way: Stop is enabled, and every
  // input but Stop, Escape, scrolling and the menus is dropped.
  bool Working() const { return working_; }
  // The find bar over a pane, its text and its count of hits.
  QWidget* FindBar() const { return findBar_; }
  QLineEdit* FindEdit() const { return findEdit_; }
  QLabel* FindCount() const { return findCount_; }
  // Waits for the search of the find bar to end; for tests.
  void FinishFind();
  // The toggles of the result kinds, and the old line of a selected change.
  QToolButton* KindToggle(ChangeKind kind) const { return kindToggles_[static_cast<std::size_t>(kind)]; }
  QLabel* OldLineView() const { return oldLine_; }
  // The lines selected in a pane, in pane order.
  std::vector<std::string_view> SelectedLines(PaneId pane) const;

  // Surfaces.
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
  std::optional<std::string> RunFolderBrowserAt(std::string_view title, const std::string& start) override;
  std::optional<ResultsFileChoice> RunSaveResultsDialog() override;
  void ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) override;
  void ReportUnreadable(UnreadableKind kind, std::string_view path, std::string_view reason) override;
  void ShowErrorBox(std::string_view message) override;
  void ShowAboutBox() override;
  void ShowHelpContents() override;
  void QuitHelp() override;
  void CloseWindow() override;

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  using Handler = void (TMainWindow::*)(const void*);

  void BuildActions();
  void BuildMenu();
  void BuildToolBar();
  void BuildCentralArea();
  void BuildStatusBar();
  QListView* MakePane(PaneId pane, const char* name);
  void Run(Handler handler);
  void UpdateEditActions();
  void AnnouncePanes();
  void ShowHint(const QString& text);
  void UpdateHintTip();
  void BeginWork();
  void EndWork();
  void RequestStop();
  // Lets the window answer its input and, at the repaint cadence, shows the
  // new lines and the run's figures.
  void Pump();
  void ShowFigures();
  bool DropsDuringWork(QObject* watched, QEvent* event);
  void BuildListingChoices();
  void EditExcludePatterns();
  QWidget* BuildResultsBar();
  void BuildFindBar();
  void OpenFindBar();
  void StartFind();
  void TakeHits();
  void StepFind(bool forward);
  void ShowFindCount(int place);
  void ForgetFind(PaneId pane);
  void RecountResults();
  void ApplyResultFilter();
  void ShowPaneMenu(PaneId pane, const QPoint& at);
  void RestoreSettings();
  void SaveSettings() const;
  void FitToScreen();

  DialogProvider& dialogs_;
  HelpViewer help_;
  std::array<QAction*, kActionCount> actions_{};
  std::array<bool, kActionCount> enabled_{};
  std::array<QListView*, 3> views_{};
  std::array<PaneModel*, 3> models_{};
  std::array<QLabel*, 5> panels_{};
  std::array<std::string, 5> panelTexts_;
  UnreadableList unreadable_;  // what the running command could not read
  bool unreadableTip_ = false;  // panel 4's tooltip names them, not a long hint
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QCheckBox* md5_ = nullptr;
  QAction* reuseDigests_ = nullptr;
  QAction* excludePatterns_ = nullptr;
  QString excludeText_;  // the exclude patterns as the user wrote them
  QWidget* statusBar_ = nullptr;
  QWidget* stopButton_ = nullptr;
  bool busy_ = false;
  bool working_ = false;
  bool stopRequested_ = false;
  bool figuresShown_ = false;
  bool figuresPending_ = false;
  RunProgress progress_;
  QElapsedTimer lastPump_;
  qint64 announceInterval_ = 0;  // ms between two showings of new rows during work
  RunFigures figures_;
  QSplitter* splitter1_ = nullptr;
  QSplitter* splitter2_ = nullptr;
  // The find bar, over whichever pane it searches.
  QWidget* findBar_ = nullptr;
  QLineEdit* findEdit_ = nullptr;
  QLabel* findCount_ = nullptr;
  QTimer* findTimer_ = nullptr;
  PaneId findPane_ = PaneId::ListBox1;
  PaneId lastPane_ = PaneId::ListBox1;  // the pane that had the focus last
  PaneFind finder_;
  PaneFind::Lines findLines_;  // the pane's lines as last searched, kept while they stand
  bool findJumped_ = false;  // the first hit has been gone to
  // The results' kinds, shown or not, and the old line of a change.
  ResultFilter filter_;
  std::array<QToolButton*, 4> kindToggles_{};
  QWidget* resultsBar_ = nullptr;
  QLabel* oldLine_ = nullptr;
  bool resultsChanged_ = false;
  int running_ = 0;
  bool closeRequested_ = false;
  bool destroyed_ = false;
  QElapsedTimer lastWindowPaint_;
  QElapsedTimer lastStatusPaint_;
  std::string caption_;
  std::unique_ptr<TMainWindow> logic_;
};
