#pragma once

#include <array>
#include <string_view>

// The commands of the main window, in the order their hints are set. Stop
// only acts while a listing run or a comparison is running.
enum class ActionId {
  FileNewAction,
  FileOpenAction,
  FileSaveAction,
  FileSaveAsAction,
  FileSaveResultAction,
  FileExitAction,
  EditCutAction,
  EditCopyAction,
  EditPasteAction,
  EditListContentAction,
  EditCompareContentAction,
  EditRepeatLastAction,
  HelpProgramAction,
  HelpAboutAction,
  EditDetectMovesAction,  // checkable; the comparison reads its state
  EditStopAction,
  EditCompareFolderAction,  // Open, List and Compare in one step
  EditFindAction,           // the find bar over the focused pane
  EditFindNextAction,
  EditFindPreviousAction,
  // The listing and signing choices kept between sessions; the commands
  // never read them through an action.
  EditReuseDigestsAction,
  EditExcludePatternsAction,
  EditSha256Action,
  FileSignListingsAction,
  FileVerifyKeyAction,
  EditAskBeforeDiscardAction,  // a choice kept between sessions
  FileAcceptBaselineAction,    // the current listing replaces the baseline compared with
  EditMetadataAction,          // checkable: listings carry each entry's metadata
  // How the results pane shows its lines, kept between sessions.
  ViewColourResultsAction,
  ViewSortByPathAction,
  ViewSortByKindAction,
};

inline constexpr int kActionCount = 31;

inline constexpr std::array<std::string_view, kActionCount> kActionNames = {
    "FileNewAction",       "FileOpenAction",        "FileSaveAction",           "FileSaveAsAction",
    "FileSaveResultAction", "FileExitAction",       "EditCutAction",            "EditCopyAction",
    "EditPasteAction",     "EditListContentAction", "EditCompareContentAction", "EditRepeatLastAction",
    "HelpProgramAction",   "HelpAboutAction",       "EditDetectMovesAction",    "EditStopAction",
    "EditCompareFolderAction", "EditFindAction",        "EditFindNextAction",       "EditFindPreviousAction",
    "EditReuseDigestsAction", "EditExcludePatternsAction", "EditSha256Action",         "FileSignListingsAction",
    "FileVerifyKeyAction", "EditAskBeforeDiscardAction", "FileAcceptBaselineAction", "EditMetadataAction",
    "ViewColourResultsAction", "ViewSortByPathAction", "ViewSortByKindAction",
};

inline constexpr std::string_view NameOf(ActionId id) { return kActionNames[static_cast<int>(id)]; }
