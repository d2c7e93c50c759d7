#pragma once

#include <array>
#include <memory>
#include <string>

#include "app/GlyphPicture.h"
#include "app/PaneRows.h"
#include "app/PaneSplit.h"
#include "app/WindowController.h"
#include "app/WindowPort.h"
#include "app/WindowView.h"
#include "surfaces/ListPane.h"
#include "surfaces/Surfaces.h"
#include "platform/WindowsApi.h"
#include "win/FontFallback.h"
#include "win/WinHelpWindow.h"

#include <commctrl.h>
#include "win/WinSettings.h"

class FolderSearch;
class WinDialogs;

// The main window on Win32: it lays out the controls, draws and reads them as
// the surface operations and the port ask, and turns its messages into calls
// of the controller, which holds what both windows do alike. A long command
// answers the window's messages between its steps, on this thread.
class WinMainWindow : public WindowView, public WindowPort {
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
  TMainWindow& Logic() { return controller_->Logic(); }
  WindowController& Controller() { return *controller_; }
  bool ActionEnabled(ActionId id) const { return controller_->Enabled(id); }
  HWND PaneBox(PaneId pane) const { return boxes_[static_cast<int>(pane)]; }
  const ListPane& PaneLines(PaneId pane) const { return controller_->Rows(pane).Lines(); }
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
  bool Working() const { return controller_->Working(); }
  bool Busy() const { return busy_; }
  // The find bar over a pane: its line and its count of hits.
  HWND FindEdit() const { return findEdit_; }
  HWND ResultTextEdit() const { return resultText_; }
  HWND FindCount() const { return findCount_; }
  // Waits for the search of the find bar to end; for tests.
  void FinishFind() { controller_->FinishFind(); }
  // The toggles of the result kinds, and the old line of a selected change
  // with the names of its changed fields.
  HWND KindToggle(ChangeKind kind) const { return kindToggles_[static_cast<std::size_t>(kind)]; }
  HWND OldLineView() const { return oldLineView_; }
  const std::string& OldLineTip() const { return oldLineTip_; }
  // Shows the window as the program was started to show it (nCmdShow), or
  // maximized as it was when it closed last.
  void Show(int show);

  static int CommandOf(ActionId id);

  // Runs the message loop until the window has closed; the exit code.
  int RunMessageLoop();
  // Handles the messages waiting now, then what the loop does when idle.
  void ProcessPending();
  // The hint of the control at a point of the screen goes to panel 4.
  void ShowHintAt(POINT screen);

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
  void ProcessInput() override { ProcessPending(); }
  void AnnouncePanes() override;
  void WorkChanged(bool) override {}
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

 private:
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
  void ShowRecent(HMENU popup);
  void Dispatch(MSG& msg);
  // How input during work is sorted for the controller's rule.
  WorkSession::Input SortInput(const MSG& msg) const;
  void Idle();
  void UpdateEditActions();
  void AddControlTip(HWND control, const std::wstring& text);
  PaneSplit::Splitter SplitterAt(POINT client) const;
  void RestoreSettings();
  void SaveSettings() const;
  // The views beside the commands.
  void CreateDailyViews();
  void DrawOldLine(const DRAWITEMSTRUCT& item);
  void ShowPaneMenu(PaneId pane, POINT screen);
  void CopyText(const std::string& text);
  void PlaceFindBar();
  void SelectRow(PaneId pane, int row);
  int PaneOf(HWND box) const;  // -1 for no pane
  // The line the edit commands act on: the one beside the MD5 box when a
  // pane has the focus, else the line that has it; none otherwise.
  HWND FocusedLine() const;
  int VisibleRows(HWND box) const;
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
  std::array<HWND, 3> boxes_{};
  HMENU menu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HIMAGELIST greyImages_ = nullptr;  // of the buttons that cannot be pressed
  std::array<HBITMAP, 2 * GlyphPicture::kGlyphCount> menuBitmaps_{};  // each glyph, then greyed
  HFONT paneFont_ = nullptr;
  FontFallback paneText_;  // the pane font, and fonts for what it lacks
  HFONT labelFont_ = nullptr;
  HFONT uiFont_ = nullptr;
  HBRUSH black_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  unsigned dpi_ = 96;
  PaneSplit split_;
  std::array<int, 4> panelWidths_;  // of panels 0 to 3, at 96 pixels per inch
  std::string panelTip_;  // what panel 4's tooltip shows
  std::wstring tipText_;  // the toolbar tooltip being shown
  bool busy_ = false;
  // The find bar, over whichever pane it searches.
  HWND findEdit_ = nullptr;
  HWND resultText_ = nullptr;  // the text the result lines shown hold
  HWND findCount_ = nullptr;
  // The toggles of the result kinds, and the old line of a change.
  std::array<HWND, 4> kindToggles_{};
  HWND oldLineView_ = nullptr;
  std::string oldLine_;
  std::vector<MarkedField> oldLineChanges_;
  std::string oldLineTip_;
  bool resultsBar_ = false;  // the toggles are shown above ListBox3
  std::unique_ptr<WindowController> controller_;
};
