#include "app/TMainWindow.h"

#include <new>

#include "app/PaneText.h"
#include "app/ResultFilter.h"
#include "compare/FileLineFields.h"
#include "compare/ReadableRecords.h"
#include "documents/ListingFile.h"
#include "surfaces/ErrorText.h"
#include "surfaces/Texts.h"
#include "platform/QuillonError.h"

TMainWindow::TMainWindow(Surfaces& surfaces, FolderSearch& search, RegionalSettings settings, FileReader* reader)
    : surfaces_(surfaces),
      settings_(std::move(settings)),
      engine_(state_, surfaces, search, settings_, reader),
      documents_(state_, surfaces),
      comparison_(state_, surfaces) {
  state_.DocumentFileName = Texts::kUntitled;
  state_.HasListing = false;
  state_.HasLoadedListing = false;
  surfaces_.SetCaption(Texts::kCaption);
}

bool TMainWindow::Dispatch(const std::function<void()>& command) {
  struct Under {
    TMainWindow& window;
    explicit Under(TMainWindow& w) : window(w) { ++window.dispatching_; }
    ~Under() {
      if (--window.dispatching_ == 0 && window.nextSettings_) {
        window.settings_ = *window.nextSettings_;
        window.nextSettings_.reset();
      }
    }
  } under(*this);
  try {
    command();
    return true;
  } catch (const QuillonError& error) {
    surfaces_.ShowErrorBox(ErrorText::ForErrorBox(error.what()));
  } catch (const std::bad_alloc&) {
    surfaces_.ShowErrorBox(ErrorText::ForErrorBox("Out of memory"));
  } catch (const std::exception& error) {
    surfaces_.ShowErrorBox(ErrorText::ForErrorBox(error.what()));
  }
  return false;
}

void TMainWindow::SetRegionalSettings(const RegionalSettings& settings) {
  if (dispatching_ > 0) {
    nextSettings_ = settings;
  } else {
    settings_ = settings;
  }
}

void TMainWindow::FormCreate(const void*) {}

void TMainWindow::FormDestroy(const void*) { surfaces_.QuitHelp(); }

void TMainWindow::EditListContentActionExecute(const void*) {
  const auto chosen = surfaces_.RunFolderBrowserAt(Texts::kBrowseTitle, state_.LastListPath);
  // A browser that returns no path, or an empty one, was cancelled.
  if (!chosen || chosen->empty()) return;
  ListChosenFolder(*chosen);
}

bool TMainWindow::ListChosenFolder(const std::string& chosen) {
  surfaces_.SetBusyCursor();
  state_.LastListPath = chosen;
  if (state_.LastListPath.back() != kPathSeparator) state_.LastListPath += kPathSeparator;
  // A stopped run counts as no listing, and so as nothing to repeat.
  if (!RunListing(state_.LastListPath)) return false;
  state_.LastCommand = 1;
  return true;
}

bool TMainWindow::RunListing(const std::string& folderPath) {
  ForgetComparison();
  const bool completed = engine_.RunListing(folderPath);
  // Only a whole listing may be saved under another name.
  surfaces_.SetActionEnabled(ActionId::FileSaveAsAction, completed);
  return completed;
}

void TMainWindow::EditCompareContentActionExecute(const void*) {
  if (!documents_.ConfirmCompare()) return;
  comparisonShown_ = true;
  comparison_.Run();
}

void TMainWindow::EditCompareFolderActionExecute(const void*) {
  surfaces_.SetBusyCursor();
  const auto name = surfaces_.RunOpenDialog();
  if (!name || name->empty()) {
    surfaces_.SetNormalCursor();
    return;
  }
  if (!documents_.OpenListing(*name)) return;
  ForgetComparison();
  const auto chosen = surfaces_.RunFolderBrowserAt(Texts::kBrowseTitle, TopFolderOfLoadedListing());
  if (!chosen || chosen->empty()) return;
  // The folder is listed as the loaded listing was made, with its digest or
  // none, whatever the check box says: else every file would differ.
  const auto made = DigestsOfLoadedListing();
  if (made) {
    engine_.FollowListingOnce(*made);
    const bool ticked = surfaces_.Md5Ticked();
    if (made->has_value() != ticked || (ticked && **made != engine_.NextDigestAlgorithm()))
      surfaces_.ShowWarning(FollowedDigestText(*name, *made));
  }
  if (ListChosenFolder(*chosen)) EditCompareContentActionExecute();
}

std::optional<std::optional<DigestAlgorithm>> TMainWindow::DigestsOfLoadedListing() {
  const int count = surfaces_.PaneLineCount(PaneId::ListBox2);
  for (int i = 0; i < count; ++i)
    if (const auto fields = FileLineFields::Parse(surfaces_.PaneLineAt(PaneId::ListBox2, i))) return fields->DigestKind();
  return std::nullopt;
}

std::string TMainWindow::FollowedDigestText(const std::string& listing, std::optional<DigestAlgorithm> digests) {
  if (!digests) return "The folder was listed without digests, as " + listing + " was made, whatever the digest choice says.";
  return "The folder was listed with " + std::string(*digests == DigestAlgorithm::Sha256 ? "SHA-256" : "MD5") +
         " digests, as " + listing + " was made, whatever the digest choice says.";
}

std::string TMainWindow::TopFolderOfLoadedListing() {
  // The listed folder's own files come first, and its first subfolder opens
  // the folder section; whichever is nearer the root names it.
  std::string best;
  const int count = surfaces_.PaneLineCount(PaneId::ListBox2);
  bool fileSeen = false;
  for (int i = 0; i < count; ++i) {
    const std::string_view line = surfaces_.PaneLineAt(PaneId::ListBox2, i);
    const bool opensFolders = line == ">>> All directories found >>>";
    if (opensFolders && i + 1 < count) {
      const auto folder = PaneText::ContainingFolder(surfaces_.PaneLineAt(PaneId::ListBox2, i + 1));
      if (folder && (best.empty() || folder->size() < best.size())) best = *folder;
      break;
    }
    if (!fileSeen && FileLineFields::Parse(line)) {
      fileSeen = true;
      if (const auto folder = PaneText::ContainingFolder(line)) best = *folder;
    }
  }
  return best;
}

std::vector<std::string_view> TMainWindow::PaneLines(PaneId pane) {
  std::vector<std::string_view> lines(static_cast<std::size_t>(surfaces_.PaneLineCount(pane)));
  for (std::size_t i = 0; i < lines.size(); ++i) lines[i] = surfaces_.PaneLineAt(pane, static_cast<int>(i));
  return lines;
}

void TMainWindow::ForgetComparison() {
  if (!comparisonShown_) return;
  comparisonShown_ = false;
  comparison_.Forget();
  surfaces_.PaneClear(PaneId::ListBox3);
  surfaces_.PaneSetScrollExtent(PaneId::ListBox3, 0);
  surfaces_.StatusSetPanelText(3, "");
  surfaces_.SetActionEnabled(ActionId::FileSaveResultAction, false);
  surfaces_.ShowOldLine("", {});
}

void TMainWindow::EditRepeatLastActionExecute(const void* sender) {
  if (state_.LastCommand == 1) {
    RunListing(state_.LastListPath);
  } else if (state_.LastCommand == 2) {
    EditCompareContentActionExecute(sender);
  }
}

void TMainWindow::FileNewActionExecute(const void*) {
  documents_.FileNew();
  ForgetComparison();
}

void TMainWindow::FileOpenActionExecute(const void*) {
  if (documents_.FileOpen()) ForgetComparison();
}

void TMainWindow::FileSaveActionExecute(const void*) { documents_.FileSave(); }
void TMainWindow::FileSaveAsActionExecute(const void*) {
  // Save As is in reach now; a stopped listing is still never saved.
  if (!state_.HasListing && surfaces_.PaneLineCount(PaneId::ListBox1) > 0) throw QuillonError(Texts::kStoppedNotSaved);
  documents_.FileSaveAs();
}

void TMainWindow::FileSaveResultActionExecute(const void*) {
  // Records for other programs, by the same code as quillon-cli's --format.
  documents_.FileSaveResult([this](const ResultsFileChoice& choice) {
    ReadableRecords records(choice.format == ResultsFormat::Csv ? ReadableRecords::Format::Csv
                                                                : ReadableRecords::Format::Json);
    records.AddChanges(LastComparison(), PaneLines(PaneId::ListBox1), PaneLines(PaneId::ListBox2));
    WriteListingFile(records.Lines(), choice.fileName);
  });
}
void TMainWindow::FileExitActionExecute(const void*) { surfaces_.CloseWindow(); }

void TMainWindow::HelpAboutActionExecute(const void*) {
  surfaces_.ShowAboutBox();
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
}

void TMainWindow::HelpProgramActionExecute(const void*) { surfaces_.ShowHelpContents(); }

void TMainWindow::ListBoxClick(PaneId pane) {
  const int selected = surfaces_.PaneSelectedIndex(pane);
  if (selected == -1) return;
  surfaces_.EditSetText(surfaces_.PaneLineAt(pane, selected));
  surfaces_.EditFocus();
  surfaces_.EditSelectAll();
  if (pane == PaneId::ListBox3) ShowOldLineOf(selected);
}

void TMainWindow::ShowOldLineOf(int resultRow) {
  // Result line k was made from change k, as long as the results stand.
  const std::vector<Change>& changes = LastComparison().Changes;
  if (resultRow < static_cast<int>(changes.size())) {
    const Change& change = changes[static_cast<std::size_t>(resultRow)];
    const std::string_view line = surfaces_.PaneLineAt(PaneId::ListBox3, resultRow);
    if ((change.Kind == ChangeKind::Modified || change.Kind == ChangeKind::Moved) &&
        ResultFilter::KindOf(line) == change.Kind) {
      const std::string_view old = surfaces_.PaneLineAt(PaneId::ListBox2, change.Loaded);
      surfaces_.ShowOldLine(old, PaneText::ChangedFields(line, old));
      return;
    }
  }
  surfaces_.ShowOldLine("", {});
}
