#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "app/WindowController.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"
#include "gui/HelpViewer.h"
#include "gui/PaneModel.h"
#include "gui/QtSettingsStore.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QSplitter;
class QTimer;
class QToolButton;
class DialogProvider;
class FolderSearch;

// The main window on Qt: it lays out the controls, draws and reads them as
// the surface operations and the port ask, and turns its input into calls of
// the controller, which holds what both windows do alike.
class QtMainWindow : public QMainWindow, public WindowView, public WindowPort {
  Q_OBJECT

 public:
  QtMainWindow(DialogProvider& dialogs, FolderSearch& search, const QString& helpFile, QWidget* parent = nullptr);
  ~QtMainWindow() override;

  TMainWindow& Logic() { return controller_->Logic(); }
  WindowController& Controller() { return *controller_; }
  QAction* Action(ActionId id) const { return actions_[static_cast<int>(id)]; }
  // Qt greys every hidden action; this is the state the commands gave it.
  bool ActionEnabled(ActionId id) const { return controller_->Enabled(id); }
  QListView* PaneView(PaneId pane) const { return views_[static_cast<int>(pane)]; }
  PaneModel* Model(PaneId pane) const { return models_[static_cast<int>(pane)]; }
  QLabel* Panel(int index) const { return panels_[static_cast<std::size_t>(index)]; }
  QLineEdit* NonViewEdit() const { return edit_; }
  QCheckBox* Md5CheckBox() const { return md5_; }
  QAction* ReuseDigestsAction() const { return Action(ActionId::EditReuseDigestsAction); }
  QAction* ExcludePatternsAction() const { return Action(ActionId::EditExcludePatternsAction); }
  QAction* Sha256Action() const { return Action(ActionId::EditSha256Action); }
  QAction* SignListingsAction() const { return Action(ActionId::FileSignListingsAction); }
  QAction* VerifyKeyAction() const { return Action(ActionId::FileVerifyKeyAction); }
  HelpViewer& Help() { return help_; }
  bool Busy() const { return busy_; }
  // A listing run or a comparison is under way: Stop is enabled, and every
  // input but Stop, Escape, scrolling and the menus is dropped.
  bool Working() const { return controller_->Working(); }
  // The find bar over a pane, its text and its count of hits.
  QWidget* FindBar() const { return findBar_; }
  QLineEdit* FindEdit() const { return findEdit_; }
  QLabel* FindCount() const { return findCount_; }
  // Waits for the search of the find bar to end; for tests.
  void FinishFind() { controller_->FinishFind(); }
  // The toggles of the result kinds, and the old line of a selected change.
  QToolButton* KindToggle(ChangeKind kind) const { return kindToggles_[static_cast<std::size_t>(kind)]; }
  QLineEdit* ResultTextEdit() const { return resultText_; }
  QLabel* OldLineView() const { return oldLine_; }
  // The lines selected in a pane, in pane order.

  // The surface operations the window draws and reads itself.
  void PaneReset(PaneId pane) override;
  void PaneRepaint(PaneId pane) override;
  std::vector<int> SelectedRows(PaneId pane) const override;
  int CurrentRow(PaneId pane) const override;
  void PaneSetScrollExtent(PaneId pane, int pixels) override;
  int PaneFontSize(PaneId pane) override;
  int PanePixelsPerInch(PaneId pane) override;
  void PaneShowFromTop(PaneId pane) override;
  void StatusSetPanelText(int panel, std::string_view text) override;
  void StatusRefresh() override;
  void SetCaption(std::string_view text) override;
  void SetLabelText(LabelId label, std::string_view text) override;
  void EditSetText(std::string_view text) override;
  void EditFocus() override;
  void EditSelectAll() override;
  bool Md5Ticked() override;
  void SetActionEnabled(ActionId action, bool enabled) override;
  void SetBusyCursor() override;
  void SetNormalCursor() override;
  void ShowOldLine(std::string_view line, const std::vector<MarkedField>& changed) override;
  void ShowHelpContents() override;
  void QuitHelp() override;
  void CloseWindow() override;

  // WindowPort.
  void ProcessInput() override;
  void AnnouncePanes() override;
  void WorkChanged(bool working) override;
  void CloseLater() override;
  void SetPanelTip(int panel, const std::string& tip) override;
  bool PanelFits(int panel, std::string_view text) override;
  int PanelTextWidth(int panel, std::string_view text) override;
  void SetPanelWidth(int panel, int width) override;
  void EditLine(ActionId action) override;
  void SetActionChecked(ActionId action, bool checked) override;
  void GoToRow(PaneId pane, int row) override;
  void ShowFindBar(PaneId pane, bool place) override;
  void HideFindBar(PaneId pane) override;
  std::string FindText() override;
  void ShowFindCount(std::string_view text) override;
  void PollFind(bool on) override;
  void ShowResultKinds(const ResultFilter& filter, bool any) override;

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildActions();
  void BuildMenu();
  void BuildToolBar();
  void BuildCentralArea();
  void BuildStatusBar();
  QListView* MakePane(PaneId pane, const char* name);
  void ShowRecent(QMenu* menu);
  QLineEdit* FocusedLine() const;
  void UpdateEditActions();
  // How input during work is sorted for the controller's rule.
  WorkSession::Input SortInput(QObject* watched, QEvent* event) const;
  QWidget* BuildResultsBar();
  void BuildFindBar();
  void ShowPaneMenu(PaneId pane, const QPoint& at);
  void RestoreSettings();
  void SaveSettings() const;
  void FitToScreen();

  DialogProvider& dialogs_;
  HelpViewer help_;
  QtSettingsStore store_;
  std::array<QAction*, kActionCount> actions_{};
  std::array<QListView*, 3> views_{};
  std::vector<QAction*> recent_;  // the recent listings' items of the File menu
  std::array<PaneModel*, 3> models_{};
  std::array<QLabel*, 5> panels_{};
  std::array<QLabel*, 2> labels_{};
  QLineEdit* edit_ = nullptr;
  QCheckBox* md5_ = nullptr;
  QWidget* statusBar_ = nullptr;
  QWidget* stopButton_ = nullptr;
  bool busy_ = false;
  QSplitter* splitter1_ = nullptr;
  QSplitter* splitter2_ = nullptr;
  // The find bar, over whichever pane it searches.
  QWidget* findBar_ = nullptr;
  QLineEdit* findEdit_ = nullptr;
  QLabel* findCount_ = nullptr;
  QTimer* findTimer_ = nullptr;
  // The toggles of the result kinds, and the old line of a change.
  std::array<QToolButton*, 4> kindToggles_{};
  QWidget* resultsBar_ = nullptr;
  QLabel* oldLine_ = nullptr;
  QLineEdit* resultText_ = nullptr;
  std::unique_ptr<WindowController> controller_;
};
