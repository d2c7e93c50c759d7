#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "documents/ListingFile.h"
#include "surfaces/ListPane.h"
#include "surfaces/Surfaces.h"

// The window's surfaces held in memory, for quillon-cli. The folder browser
// answers the folder given on the command line; the panes keep their lines so
// that they can be written out when the command is done.
class HeadlessSurfaces : public Surfaces {
 public:
  void SetFolderBrowserAnswer(std::string folder) { folder_ = std::move(folder); }
  void SetMd5(bool ticked) { md5_ = ticked; }
  void SetDetectMoves(bool checked) { moves_ = checked; }
  void SetReuseDigests(bool reuse) { reuseDigests_ = reuse; }
  void SetExcludePatterns(std::vector<std::string> patterns) { excludes_ = std::move(patterns); }
  // Called with each warning as it comes.
  void SetWarningHook(std::function<void(std::string_view)> hook) { warningHook_ = std::move(hook); }
  // Called on every refresh of the window or the status bar, for live progress.
  void SetRefreshHook(std::function<void()> hook) { refreshHook_ = std::move(hook); }
  // Asked whenever the work polls for a stop; nothing set: never stop.
  void SetStopHook(std::function<bool()> hook) { stopHook_ = std::move(hook); }
  // Called with each folder or file that a run could not read, as it meets it.
  void SetUnreadableHook(std::function<void(std::string_view path, std::string_view reason)> hook) {
    unreadableHook_ = std::move(hook);
  }
  // Hands each line added to the pane to sink instead of keeping it; an
  // empty sink keeps them again.
  void SetPaneSink(PaneId pane, std::function<void(std::string_view)> sink) {
    sinks_[static_cast<std::size_t>(pane)] = std::move(sink);
  }
  // How many folders and files the runs could not read.
  int UnreadableCount() const { return unreadable_; }

  const ListPane& Pane(PaneId pane) const { return panes_[static_cast<int>(pane)]; }
  const std::string& PanelText(int panel) const { return panels_[static_cast<std::size_t>(panel)]; }
  const std::vector<std::string>& Errors() const { return errors_; }

  void PaneClear(PaneId pane) override { At(pane).Clear(); }
  void PaneAddLine(PaneId pane, std::string_view line) override {
    if (const auto& sink = sinks_[static_cast<std::size_t>(pane)]) {
      sink(line);
    } else {
      At(pane).AddLine(line);
    }
  }
  int PaneLineCount(PaneId pane) override { return At(pane).Count(); }
  std::string_view PaneLineAt(PaneId pane, int index) override { return At(pane).LineAt(index); }
  int PaneSelectedIndex(PaneId pane) override { return At(pane).SelectedIndex(); }
  void PaneSetScrollExtent(PaneId pane, int pixels) override { At(pane).SetScrollExtent(pixels); }
  int PaneFontSize(PaneId pane) override { return At(pane).FontSize(); }
  int PanePixelsPerInch(PaneId pane) override { return At(pane).PixelsPerInch(); }
  void PaneLoadFromFile(PaneId pane, const std::string& fileName) override { ReadListingFile(fileName, At(pane)); }
  void PaneSaveToFile(PaneId pane, const std::string& fileName) override {
    WriteListingFile(At(pane).Lines().Lines(), fileName);
  }

  void StatusSetPanelText(int panel, std::string_view text) override;
  void StatusRefresh() override { Refreshed(); }
  void SetCaption(std::string_view text) override { caption_ = text; }
  void RefreshWindow() override { Refreshed(); }
  void SetLabelText(LabelId, std::string_view) override {}
  void EditSetText(std::string_view) override {}
  void EditFocus() override {}
  void EditSelectAll() override {}
  bool Md5Ticked() override { return md5_; }
  bool DetectMovesChecked() override { return moves_; }
  void SetActionEnabled(ActionId, bool) override {}
  void SetBusyCursor() override {}
  void SetNormalCursor() override {}
  bool StopRequested() override { return stopHook_ && stopHook_(); }
  void ShowRunProgress(const RunProgress&) override {}
  bool ReuseDigestsChecked() override { return reuseDigests_; }
  std::vector<std::string> ExcludePatternList() override { return excludes_; }
  void ShowWarning(std::string_view text) override {
    if (warningHook_) warningHook_(text);
  }
  ConfirmAnswer AskConfirmation(std::string_view) override { return ConfirmAnswer::Cancel; }
  std::optional<std::string> RunOpenDialog() override { return std::nullopt; }
  std::optional<std::string> RunSaveDialog() override { return std::nullopt; }
  std::optional<std::string> RunFolderBrowser(std::string_view) override { return folder_; }
  void ReportUnreadable(UnreadableKind, std::string_view path, std::string_view reason) override {
    ++unreadable_;
    if (unreadableHook_) unreadableHook_(path, reason);
  }
  void ShowErrorBox(std::string_view message) override { errors_.emplace_back(message); }
  void ShowAboutBox() override {}
  void ShowHelpContents() override {}
  void QuitHelp() override {}
  void CloseWindow() override {}

 private:
  ListPane& At(PaneId pane) { return panes_[static_cast<int>(pane)]; }
  void Refreshed() {
    if (refreshHook_) refreshHook_();
  }

  std::array<ListPane, 3> panes_;
  std::array<std::function<void(std::string_view)>, 3> sinks_;
  std::array<std::string, 5> panels_;
  std::string caption_;
  std::optional<std::string> folder_;
  bool md5_ = false;
  bool moves_ = false;
  bool reuseDigests_ = false;
  std::vector<std::string> excludes_;
  std::function<void(std::string_view)> warningHook_;
  std::vector<std::string> errors_;
  std::function<void()> refreshHook_;
  std::function<bool()> stopHook_;
  std::function<void(std::string_view, std::string_view)> unreadableHook_;
  int unreadable_ = 0;
};
