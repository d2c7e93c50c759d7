#pragma once

#include <array>

#include "surfaces/ActionId.h"

// Everything an action carries besides its handler. Menu items and toolbar
// buttons only mirror it.
struct ActionInfo {
  ActionId id;
  const char* category;
  const char* caption;   // "&" marks the access key
  const char* shortcut;  // in the platform's key-name form, or ""
  int glyph;             // index into the glyph list, -1 for none
  bool enabledAtStart;   // Cut, Copy and Paste follow the focus instead
  bool visible;
  const char* hint;      // short part "|" long part
  bool checkable = false;
};

inline constexpr std::array<ActionInfo, kActionCount> kActionTable = {{
    {ActionId::FileNewAction, "File", "&New", "Ctrl+N", 6, true, true, "New| Initializes the program new..."},
    {ActionId::FileOpenAction, "File", "&Open", "Ctrl+O", 7, true, true, "Open| Opens a saved Quillon content..."},
    {ActionId::FileSaveAction, "File", "&Save", "Ctrl+S", 8, false, true, "Save| Saves a Quillon content..."},
    {ActionId::FileSaveAsAction, "File", "Save &As...", "Ctrl+Shift+S", -1, false, true, "Save As| Save a Quillon window as..."},
    {ActionId::FileSaveResultAction, "File", "Save Comparison &Results", "", 16, false, true,
     "Save Comparison Results| Saves compared list results..."},
    {ActionId::FileExitAction, "File", "E&xit", "Ctrl+Q", -1, true, true, "Exit| Exits the application..."},
    {ActionId::EditCutAction, "Edit", "Cu&t", "Ctrl+X", 0, false, false,
     "Cut| Cuts the selection and puts it on the Clipboard"},
    {ActionId::EditCopyAction, "Edit", "&Copy", "Ctrl+C", 1, false, true, "Copy| Copies the selection to the Clipboard"},
    {ActionId::EditPasteAction, "Edit", "&Paste", "Ctrl+V", 2, false, false,
     "Paste| Inserts Clipboard contents in the selection"},
    {ActionId::EditListContentAction, "Edit", "&List Directory Content...", "", 15, true, true,
     "List Directory Content| List all directories and files for a specified location path..."},
    {ActionId::EditCompareContentAction, "Edit", "&Compare Content with...", "", 12, false, true,
     "Compare Content with| Compares the current list with a previous saved list..."},
    {ActionId::EditRepeatLastAction, "Edit", "&Repeat Last Command...", "F5", 17, false, true,
     "Repeat Last command| Repeats the last executed command..."},
    {ActionId::HelpProgramAction, "Help", "Quillon &Help", "F1", 18, true, true,
     "Quillon Help| Provides help for the program..."},
    {ActionId::HelpAboutAction, "Help", "&About...", "", 19, true, true,
     "About |Displays program information, version number, and copyright"},
    {ActionId::EditDetectMovesAction, "Edit", "Detect &Moved Files", "", -1, true, true,
     "Detect Moved Files| Reports a file that moved as one Moved line instead of Deleted and Added...", true},
    {ActionId::EditStopAction, "Edit", "S&top", "Esc", 13, false, true,
     "Stop| Stops the listing or the comparison that is running; what it found so far stays to look at"},
    {ActionId::EditCompareFolderAction, "Edit", "Compare &Folder with Listing...", "Ctrl+K", 14, true, true,
     "Compare Folder with Listing| Opens a saved listing, lists the folder again and compares the two..."},
    {ActionId::EditFindAction, "Edit", "&Find...", "Ctrl+F", -1, true, true,
     "Find| Finds a text in the focused pane..."},
    {ActionId::EditFindNextAction, "Edit", "Find &Next", "F3", -1, true, true, "Find Next| Goes to the next line found..."},
    {ActionId::EditFindPreviousAction, "Edit", "Find Pre&vious", "Shift+F3", -1, true, true,
     "Find Previous| Goes to the line found before..."},
    {ActionId::EditReuseDigestsAction, "Edit", "Reuse Digests of &Unchanged Files", "", -1, true, true,
     "Reuse Digests of Unchanged Files| Takes the MD5 number of each file unchanged since an earlier listing "
     "from the digest cache instead of reading it. Leave it off for an audit against tampering.",
     true},
    {ActionId::EditExcludePatternsAction, "Edit", "E&xclude Patterns...", "", -1, true, true,
     "Exclude Patterns| Names the files and folders that listings leave out..."},
    // Beside the MD5 box, which keeps its meaning: it asks for digests, this says which.
    {ActionId::EditSha256Action, "Edit", "Digests with S&HA-256", "", -1, true, true,
     "Digests with SHA-256| With the MD5 box ticked, listings carry SHA-256 digests (64 digits) instead of MD5 "
     "numbers: choose it where someone could prepare two files with the same MD5. A listing of one kind compared "
     "with one of the other shows every file as modified.",
     true},
    // Signing on Save with a private key chosen once; and the public key Open
    // checks signatures with.
    {ActionId::FileSignListingsAction, "File", "Si&gn Saved Listings", "", -1, true, true,
     "Sign Saved Listings| Save writes the listing's signature beside it (NAME.sig) with your private key; "
     "keep the key off the machine you audit.",
     true},
    {ActionId::FileVerifyKeyAction, "File", "Check Signatures &With...", "", -1, true, true,
     "Check Signatures With| The public key that Open checks a listing's signature with; panel 4 tells the outcome."},
    {ActionId::EditAskBeforeDiscardAction, "Edit", "Ask &Before Discarding Unsaved Work", "", -1, true, true,
     "Ask Before Discarding Unsaved Work| Exit, New, Open, a new listing and a new comparison first offer to save "
     "a listing or comparison results not saved yet: a listing is a snapshot that cannot be made again later.",
     true},
    {ActionId::FileAcceptBaselineAction, "File", "Accept as New &Baseline", "", -1, false, true,
     "Accept as New Baseline| After a comparison you have reviewed, saves the current listing over the listing it "
     "was compared with, keeping that one as NAME.previous; signed when signing is on."},
    // Beside the digest choices: what a listing line tells besides content.
    {ActionId::EditMetadataAction, "Edit", "List &Owners, Modes and Attributes", "", -1, true, true,
     "List Owners, Modes and Attributes| Listings carry each file's and folder's metadata: on Linux its mode "
     "(with setuid, setgid and sticky bits), owner, group, link count, a link's target and a digest of its "
     "extended attributes; on Windows its owner, access list, reparse tag and alternate data streams. A "
     "comparison then reports a change of any of them as modified.",
     true},
    {ActionId::ViewColourResultsAction, "View", "&Colour Results by Kind", "", -1, true, true,
     "Colour Results by Kind| Draws Modified, Deleted, Added and Moved lines each in its own colour", true},
    {ActionId::ViewSortByPathAction, "View", "Sort Results by &Path", "", -1, true, true,
     "Sort Results by Path| Shows the result lines in the order of their paths; saved results keep the order "
     "they were found in",
     true},
    {ActionId::ViewSortByKindAction, "View", "Sort Results by &Kind", "", -1, true, true,
     "Sort Results by Kind| Shows the Modified lines first, then Deleted, Added and Moved, each by path; saved "
     "results keep the order they were found in",
     true},
}};

inline constexpr const ActionInfo& InfoOf(ActionId id) { return kActionTable[static_cast<int>(id)]; }
// The action at an index of the table, as a menu command may carry it; none
// beyond the table.
inline constexpr const ActionInfo* ActionAt(int index) {
  return index >= 0 && index < kActionCount ? &kActionTable[static_cast<std::size_t>(index)] : nullptr;
}
