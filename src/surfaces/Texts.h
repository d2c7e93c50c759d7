#pragma once

#include "surfaces/Version.h"

// Fixed texts of the program that more than one command shows.
namespace Texts {
inline constexpr const char* kCaption = "Quillon - V" QUILLON_VERSION;
inline constexpr const char* kWaitCaption = "Quillon - V" QUILLON_VERSION " ~ Please Wait!";
inline constexpr const char* kApplicationTitle = "Quillon " QUILLON_VERSION;
inline constexpr const char* kUntitled = "Untitled";                  // string table entry 1
inline constexpr const char* kOverwriteQuestion = "OK to overwrite %s";  // string table entry 2
inline constexpr const char* kBrowseTitle = "Select the location that should be analysed...";
inline constexpr const char* kNoDifferences = "No differences found... ;-)";
// The closing lines of work the user stopped.
inline constexpr const char* kListingStopped = "*** Listing stopped: incomplete, so it cannot be saved or compared ***";
inline constexpr const char* kComparisonStopped = "*** Comparison stopped: the results above are incomplete ***";
// The question before opening a file that does not look like a listing
// follows the file's name.
inline constexpr const char* kNotAListing = " does not look like a listing. Open it anyway?";
inline constexpr const char* kStoppedNotSaved = "A stopped listing is incomplete and cannot be saved";
inline constexpr const char* kPartial = " (partial)";  // after the counts of a stopped listing
inline constexpr const char* kChangedDuringRun = "changed during the run";

// The file types of the open and save dialogs, the first one selected at
// first; a typed name without an extension gets the selected type's, and
// under All Files the default one.
struct FileType {
  const char* name;
  const char* pattern;
  const char* extension;
};
inline constexpr FileType kFileTypes[] = {{"Quillon Files (*.qln)", "*.qln", "qln"},
                                          {"Text File (*.txt)", "*.txt", "txt"},
                                          {"All Files (*.*)", "*.*", "rtf"}};
inline constexpr const char* kDefaultExtension = "rtf";
// The save dialog of the comparison results offers these after the file
// types above, in the forms quillon-cli writes with --format csv and json.
inline constexpr FileType kResultsFileTypes[] = {{"CSV (*.csv)", "*.csv", "csv"},
                                                 {"JSON Lines (*.jsonl)", "*.jsonl", "jsonl"}};

// The about box.
inline constexpr const char* kAboutCaption = "About...";
inline constexpr const char* kProductName = "Quillon";
inline constexpr const char* kVersionText = "Version " QUILLON_VERSION;
inline constexpr const char* kAboutNotice = "Lists folder trees and compares them.";
inline constexpr const char* kAboutComments = "Tells you exactly which files were added, deleted or modified.";
inline constexpr const char* kHelpTitle = "Quillon Help";
}  // namespace Texts
