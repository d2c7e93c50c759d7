#include "app/TMainWindow.h"

#include <new>

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

void TMainWindow::FormCreate(const void*) {}

void TMainWindow::FormDestroy(const void*) { surfaces_.QuitHelp(); }

void TMainWindow::EditListContentActionExecute(const void*) {
  const auto chosen = surfaces_.RunFolderBrowser(Texts::kBrowseTitle);
  // A browser that returns no path, or an empty one, was cancelled.
  if (!chosen || chosen->empty()) return;
  surfaces_.SetBusyCursor();
  state_.LastListPath = *chosen;
  if (state_.LastListPath.back() != kPathSeparator) state_.LastListPath += kPathSeparator;
  // A stopped run counts as no listing, and so as nothing to repeat.
  if (RunListing(state_.LastListPath)) state_.LastCommand = 1;
}

void TMainWindow::EditCompareContentActionExecute(const void*) { comparison_.Run(); }

void TMainWindow::EditRepeatLastActionExecute(const void* sender) {
  if (state_.LastCommand == 1) {
    RunListing(state_.LastListPath);
  } else if (state_.LastCommand == 2) {
    EditCompareContentActionExecute(sender);
  }
}

void TMainWindow::FileNewActionExecute(const void*) { documents_.FileNew(); }
void TMainWindow::FileOpenActionExecute(const void*) { documents_.FileOpen(); }
void TMainWindow::FileSaveActionExecute(const void*) { documents_.FileSave(); }
void TMainWindow::FileSaveAsActionExecute(const void*) { documents_.FileSaveAs(); }
void TMainWindow::FileSaveResultActionExecute(const void*) { documents_.FileSaveResult(); }
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
}
