#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/ActionId.h"
#include "surfaces/RunProgress.h"

enum class PaneId { ListBox1, ListBox2, ListBox3 };
enum class LabelId { Label1, Label2 };
enum class ConfirmAnswer { Yes, No, Cancel };
enum class UnreadableKind { Folder, File };
// How Save Comparison Results writes the results: the pane's lines, or
// records for other programs.
enum class ResultsFormat { Text, Csv, JsonLines };
struct ResultsFileChoice {
  std::string fileName;
  ResultsFormat format = ResultsFormat::Text;
};
// A field of a line, by its bytes, that differs from the line it is shown
// against.
struct MarkedField {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::string_view name;  // "date-time", "size", "attributes", "digest", a metadata field's name or "path"
};

// Everything the commands do to the window goes through these operations.
// The desktop window, the headless front of quillon-cli and the recording
// substitute of the tests each realise them.
class Surfaces {
 public:
  virtual ~Surfaces() = default;

  // List panes. AddLine fails with "Unable to insert a line" when the pane is
  // full; LineAt with "List index out of bounds (%d)" outside 0..count-1. A
  // view returned by LineAt stays valid until the pane is cleared or reloaded.
  virtual void PaneClear(PaneId pane) = 0;
  virtual void PaneAddLine(PaneId pane, std::string_view line) = 0;
  virtual int PaneLineCount(PaneId pane) = 0;
  virtual std::string_view PaneLineAt(PaneId pane, int index) = 0;
  virtual int PaneSelectedIndex(PaneId pane) = 0;
  virtual void PaneSetScrollExtent(PaneId pane, int pixels) = 0;
  virtual int PaneFontSize(PaneId pane) = 0;
  virtual int PanePixelsPerInch(PaneId pane) = 0;
  virtual void PaneLoadFromFile(PaneId pane, const std::string& fileName) = 0;
  virtual void PaneSaveToFile(PaneId pane, const std::string& fileName) = 0;

  // Status bar, panels 0 to 4.
  virtual void StatusSetPanelText(int panel, std::string_view text) = 0;
  virtual void StatusRefresh() = 0;

  // Main window.
  virtual void SetCaption(std::string_view text) = 0;
  virtual void RefreshWindow() = 0;
  virtual void SetLabelText(LabelId label, std::string_view text) = 0;
  virtual void EditSetText(std::string_view text) = 0;
  virtual void EditFocus() = 0;
  virtual void EditSelectAll() = 0;
  virtual bool Md5Ticked() = 0;
  // Whether the user asked the comparison to report moved files.
  virtual bool DetectMovesChecked() = 0;
  virtual void SetActionEnabled(ActionId action, bool enabled) = 0;
  virtual void SetBusyCursor() = 0;
  virtual void SetNormalCursor() = 0;

  // Long work. A listing run and a comparison poll StopRequested between
  // steps, and the digest read between blocks, so it must be cheap; the
  // window answers its input there. It stays true until the work has ended.
  // While EditStopAction is enabled a run or a comparison is under way.
  virtual bool StopRequested() = 0;
  // The figures of the run so far, for the window to show as it sees fit.
  virtual void ShowRunProgress(const RunProgress& progress) = 0;
  // A folder or file that a listing run could not read, reported as the run
  // meets it: its path as the listing writes it and the system's reason. The
  // run ends by showing their count in panel 4.
  virtual void ReportUnreadable(UnreadableKind kind, std::string_view path, std::string_view reason) = 0;

  // Listing choices besides the check box, read at the start of a run:
  // whether digests of unchanged files are taken from the digest cache, and
  // the patterns of the entries to leave out.
  virtual bool ReuseDigestsChecked() = 0;
  virtual std::vector<std::string> ExcludePatternList() = 0;
  // A problem that is no failure, such as a digest cache that cannot be
  // used: the command goes on.
  virtual void ShowWarning(std::string_view text) = 0;

  // Boxes and dialogs; nothing returned means cancelled.
  virtual ConfirmAnswer AskConfirmation(std::string_view question) = 0;
  virtual std::optional<std::string> RunOpenDialog() = 0;
  virtual std::optional<std::string> RunSaveDialog() = 0;
  virtual std::optional<std::string> RunFolderBrowser(std::string_view title) = 0;
  // The folder browser opened at a suggested folder; a front end that cannot
  // suggest one shows the plain browser.
  virtual std::optional<std::string> RunFolderBrowserAt(std::string_view title, const std::string& /*start*/) {
    return RunFolderBrowser(title);
  }
  // The save dialog of Save Comparison Results, which may offer other forms
  // than text; by default it is the plain save dialog.
  virtual std::optional<ResultsFileChoice> RunSaveResultsDialog() {
    auto name = RunSaveDialog();
    if (!name) return std::nullopt;
    return ResultsFileChoice{std::move(*name), ResultsFormat::Text};
  }
  virtual void ShowErrorBox(std::string_view message) = 0;
  // The line a selected Modified or Moved result line had in the loaded
  // listing, with the fields that changed; an empty line takes it away.
  virtual void ShowOldLine(std::string_view /*line*/, const std::vector<MarkedField>& /*changed*/) {}
  virtual void ShowAboutBox() = 0;
  virtual void ShowHelpContents() = 0;
  virtual void QuitHelp() = 0;
  virtual void CloseWindow() = 0;
};
