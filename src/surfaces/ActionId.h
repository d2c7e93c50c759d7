#pragma once

#include <array>
#include <string_view>

// The commands of the main window, in the order their hints are set.
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
};

inline constexpr int kActionCount = 15;

inline constexpr std::array<std::string_view, kActionCount> kActionNames = {
    "FileNewAction",       "FileOpenAction",        "FileSaveAction",           "FileSaveAsAction",
    "FileSaveResultAction", "FileExitAction",       "EditCutAction",            "EditCopyAction",
    "EditPasteAction",     "EditListContentAction", "EditCompareContentAction", "EditRepeatLastAction",
    "HelpProgramAction",   "HelpAboutAction",       "EditDetectMovesAction",
};

inline constexpr std::string_view NameOf(ActionId id) { return kActionNames[static_cast<int>(id)]; }
