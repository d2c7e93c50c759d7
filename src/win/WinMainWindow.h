#pragma once

#include <array>
#include <chrono>
#include <memory>
#include <set>
#include <string>

#include "app/PaneFind.h"
#include "app/ResultFilter.h"
#include "app/RunFigures.h"
#include "app/ShownRows.h"
#include "app/TMainWindow.h"
#include "app/UnreadableList.h"
#include "surfaces/ListPane.h"
#include "surfaces/Surfaces.h"
#include "platform/WindowsApi.h"
#include "win/WinHelpWindow.h"

#include <commctrl.h>
#include "win/WinSettings.h"

class FolderSearch;
class WinDialogs;

// The main window on Win32: it lays out the controls, realises every surface
// operation on them, and forwards each command to the window logic. A long
// command answers the window's messages between its steps, on this thread.
class WinMainWindow : public Surfaces {
 public:
  struct Options {
    std::wstring settingsRoot = L"Software\\Quillon";  // below HKEY_CURRENT_USER
    bool quitOnClose = true;                           // closing ends the message loop
  };

  WinMainWindow(WinDialogs& dialogs, FolderSearch& search, Options options);
  ~WinMainWindow() override;
  WinMainWindow(const WinMainWindow&) = delete;
  WinMainWindow& operator=(const WinMainWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  TMainWindow& Logic() { return *logic_; }
  bool ActionEnabled(ActionId id) const { return enabled_[static_cast<int>(id)]; }
  HWND PaneBox(PaneId pane) const { return panes_[static_cast<int>(pane)].box; }
  const ListPane& PaneLines(PaneId pane) const { return panes_[static_cast<int>(pane)].lines; }
  HWND ToolBar() const { return toolbar_; }
  HWND StatusBar() const { return status_; }
  HWND Md5CheckBox() const { return md5_; }
  HWND NonViewEdit() const { return edit_; }
  HMENU Menu() const { return menu_; }
  WinHelpWindow& Help() { return help_; }
  // The panel's text as shown, and its tooltip.
  std::string PanelText(int panel) const;
  std::string PanelTip(int panel) const;
  std::string LabelText(LabelId label) const;
  bool Working() const { return working_; }
  bool Busy() const { return busy_; }
  // The find bar over a pane: its line and its count of hits.
  HWND FindEdit() const { return findEdit_; }
  HWND FindCount() const { return findCount_; }
  // Waits for the search of the find bar to end; for tests.
  void FinishFind();
  // The toggles of the result kinds, and the old line of a selected change
  // with the names of its changed fields.
  HWND KindToggle(ChangeKind kind) const { return kindToggles_[static_cast<std::size_t>(kind)]; }
  HWND OldLineView() const { return oldLineView_; }
  const std::string& OldLineTip() const { return oldLineTip_; }
  // The lines selected in a pane, in pane order.
  std::vector<std::string_view> SelectedLines(PaneId pane) const;
  // It was maximized when it closed last.
  bool StartsMaximized() const;

  static int CommandOf(ActionId id);
  static constexpr int kReuseDigestsCommand = 1100;
  static constexpr int kExcludePatternsCommand = 1101;
  static constexpr int kSha256Command = 1102;

  // Runs the message loop until the window has closed; the exit code.
  int RunMessageLoop();
  // Handles the messages waiting now, then what the loop does when idle.
  void ProcessPending();
  // The hint of the control at a point of the screen goes to panel 4.
  void ShowHintAt(POINT screen);

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
  void ReportUnreadable(UnreadableKind kind, std::string_view path, std::string_view reason) override;
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
  void ShowErrorBox(std::string_view message) override;
  void ShowAboutBox() override;
  void ShowHelpContents() override;
  void QuitHelp() override;
  void CloseWindow() override;

 private:
  using Handler = void (TMainWindow::*)(const void*);
  using Clock = std::chrono::steady_clock;

  struct Pane {
    HWND box = nullptr;
    ListPane lines;
    int announced = 0;  // lines the list box has been told of
    ShownRows shown;    // the lines it shows, while the results are filtered
  };

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void CreateControls();
  void BuildMenu();
  void BuildToolBar();
  void MakeFonts();
  void Relayout();
  void SetStatusParts();
  void OnCommand(int command, int notification, HWND control);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  bool OnSetCursor(LPARAM lParam);
  void OnDpiChanged(unsigned dpi, const RECT& suggested);
  void OnMenuSelect(WPARAM wParam, LPARAM lParam);
  void Dispatch(MSG& msg);
  bool DropsDuringWork(const MSG& msg);
  void Idle();
  void UpdateEditActions();
  void ShowHint(const std::string& text);
  void UpdatePanelTip();
  void SetPanelTip(int panel, const std::string& tip);
  void AddControlTip(HWND control, const std::wstring& text);
  void Run(Handler handler);
  void AnnouncePanes();
  void BeginWork();
  void EndWork();
  void Pump();
  void ShowFigures();
  void ShowCaption();
  void SetPanel(int panel, std::string_view text);
  void ShowPanel(int panel, std::string_view text);
  void EditExcludePatterns();
  void ToggleChoice(int command, const char* key);
  // Listing runs make the digest the SHA-256 item chooses.
  void ApplyDigestChoice();
  POINT PaneRoom() const;
  int Splitter(POINT client) const;  // 1 between ListBox1 and ListBox2, 2 above ListBox3, else 0
  void RestoreSettings();
  void SaveSettings() const;
  // The views beside the commands.
  void CreateDailyViews();
  void RecountResults();
  void ApplyResultFilter();
  void DrawOldLine(const DRAWITEMSTRUCT& item);
  void ShowPaneMenu(PaneId pane, POINT screen);
  void CopyText(const std::string& text);
  void OpenFindBar();
  void PlaceFindBar();
  void StartFind();
  void TakeHits();
  void StepFind(bool forward);
  void ForgetFind(PaneId pane);
  void SelectRow(PaneId pane, int row);
  int PaneOf(HWND box) const;  // -1 for no pane
  int S(int pixels) const;

  WinDialogs& dialogs_;
  Options options_;
  WinSettings settings_;
  WinHelpWindow help_;
  HWND hwnd_ = nullptr;
  HWND toolbar_ = nullptr;
  HWND status_ = nullptr;
  HWND md5_ = nullptr;
  HWND edit_ = nullptr;
  HWND tips_ = nullptr;
  HWND focused_ = nullptr;  // the control that had the focus when the window was left
  std::array<HWND, 2> labels_{};
  std::array<Pane, 3> panes_;
  HMENU menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HIMAGELIST images_ = nullptr;
  std::array<HBITMAP, 20> menuBitmaps_{};
  HFONT paneFont_ = nullptr;
  HFONT labelFont_ = nullptr;
  HFONT uiFont_ = nullptr;
  HBRUSH black_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  unsigned dpi_ = 96;
  double list1Share_ = 0;  // ListBox1's share of the panes' width
  double list3Share_ = 0;  // ListBox3's share (with the toggles) of their height
  int dragging_ = 0;     // the splitter being dragged
  int panel3Width_ = 0;  // at 96 pixels per inch
  std::array<bool, kActionCount> enabled_{};
  std::array<std::string, 5> panelTexts_;
  std::string hint_;
  std::string panelTip_;  // what panel 4's tooltip shows
  bool unreadableTip_ = false;
  std::string caption_;       // as the commands set it
  std::string shownCaption_;  // as the title bar shows it
  bool md5Ticked_ = false;    // the check box as the running work reads it
  std::wstring tipText_;  // the toolbar tooltip being shown
  std::string excludeText_;
  std::set<std::string> warned_;
  UnreadableList unreadable_;
  RunFigures figures_;
  RunProgress progress_;
  bool busy_ = false;
  bool working_ = false;
  bool stopRequested_ = false;
  bool figuresShown_ = false;
  bool figuresPending_ = false;
  int running_ = 0;
  bool closeRequested_ = false;
  bool destroyed_ = false;
  Clock::time_point lastPump_;
  Clock::time_point lastWindowPaint_;
  Clock::time_point lastStatusPaint_;
  Clock::duration announceInterval_{};
  // The find bar, over whichever pane it searches.
  HWND findEdit_ = nullptr;
  HWND findCount_ = nullptr;
  PaneId findPane_ = PaneId::ListBox1;
  PaneId lastPane_ = PaneId::ListBox1;  // the pane that had the focus last
  PaneFind finder_;
  bool findJumped_ = false;  // the first hit has been gone to
  // The results' kinds, shown or not, and the old line of a change.
  ResultFilter filter_;
  std::array<HWND, 4> kindToggles_{};
  HWND oldLineView_ = nullptr;
  std::string oldLine_;
  std::vector<MarkedField> oldLineChanges_;
  std::string oldLineTip_;
  bool resultsBar_ = false;  // the toggles are shown above ListBox3
  bool resultsChanged_ = false;
  int bottomTop_ = 0;  // the top of ListBox3's part of the window, below splitter 2
  std::unique_ptr<TMainWindow> logic_;
};
