#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "surfaces/ActionId.h"

// What every window front end lays out the same way: the menu, the toolbar,
// the listing choices beside the actions, and the sizes at 96 pixels per inch.
// The captions, hints and glyphs of the actions are in the action table.
namespace WindowLayout {

// The choices that outlive the session, each kept under its key in the
// user's settings ("group/name"); their captions and hints are in the action
// table.
inline constexpr const char* kReuseDigestsKey = "Listing/ReuseDigests";
inline constexpr const char* kExcludePatternsKey = "Listing/ExcludePatterns";
inline constexpr const char* kSha256Key = "Listing/Sha256";
inline constexpr const char* kMetadataKey = "Listing/Metadata";
inline constexpr const char* kSignListingsKey = "Signing/Sign";
inline constexpr const char* kVerifyKeyKey = "Signing/PublicKey";
inline constexpr const char* kPrivateKeyKey = "Signing/PrivateKey";
inline constexpr const char* kDetectMovesKey = "Compare/DetectMoves";
// The folder listed last, where the folder browser opens without a
// suggestion, and the MD5 box, both kept from one session to the next.
inline constexpr const char* kLastFolderKey = "Listing/LastFolder";
inline constexpr const char* kRecentListingsKey = "Listing/Recent";
inline constexpr const char* kMd5Key = "Listing/Md5";
inline constexpr const char* kAskBeforeDiscardKey = "Window/AskBeforeDiscard";
inline constexpr const char* kColourResultsKey = "View/ColourResults";
inline constexpr const char* kSortResultsByPathKey = "View/SortResultsByPath";
inline constexpr const char* kSortResultsByKindKey = "View/SortResultsByKind";

// The views beside the commands: the toggles of the result kinds, the old
// line of a change, the find bar and the right-click menu of a pane.
inline constexpr const char* kKindToggleTip = "Shows or hides these lines; Save Comparison Results writes them all";
inline constexpr const char* kOldLinePrefix = "Was: ";
inline constexpr const char* kFindPlaceholder = "Find";
inline constexpr const char* kResultTextPlaceholder = "Filter results";
inline constexpr const char* kResultTextTip =
    "Shows only the result lines that hold this text, whatever its case; Save Comparison Results writes them all";
// The result lines' colours as 0xRRGGBB, by kind (Modified, Deleted, Added,
// Moved), when chosen: light enough to read on the panes' black.
inline constexpr std::array<std::uint32_t, 4> kKindColours{0xffd75f, 0xff8787, 0x87ff87, 0x87d7ff};
inline constexpr std::array<const char*, 3> kPaneMenuItems{"&Copy", "Copy &Path", "&Open Containing Folder"};

inline constexpr const char* kExcludePatternsTitle = "Exclude Patterns";
inline constexpr const char* kExcludePatternsHelp =
    "One pattern a line; lines starting with # are comments.\n"
    "Without \"/\" a pattern matches a name at any depth, with \"/\" a path below the listed folder.\n"
    "* ? [...] stay within a name, ** crosses folders, a trailing / matches folders only.";

inline constexpr const char* kMd5Caption = "MD5";
inline constexpr const char* kMd5Hint = "... check to calculate the MD5 number. Will slow down the program!";
// The line beside the box shows the pane line clicked last; it is
// read-only, so that a part of it can be selected and copied.
inline constexpr const char* kEditHint =
    "The line clicked last in a pane: select any part of it to copy it. It cannot be typed in.";

enum class ItemKind { Action, Separator };

struct MenuItem {
  ItemKind kind;
  ActionId action;  // for ItemKind::Action
  const char* name;
};

struct MenuInfo {
  const char* name;
  const char* title;
  const char* hint;
  std::span<const MenuItem> items;
};

constexpr MenuItem Item(ActionId action, const char* name) { return {ItemKind::Action, action, name}; }
constexpr MenuItem Separator(const char* name) { return {ItemKind::Separator, ActionId::FileNewAction, name}; }

inline constexpr std::array kFileItems{
    Item(ActionId::FileNewAction, "FileNewItem"),        Item(ActionId::FileOpenAction, "FileOpenItem"),
    Item(ActionId::FileSaveAction, "FileSaveItem"),      Item(ActionId::FileSaveAsAction, "FileSaveAsItem"),
    Item(ActionId::FileSignListingsAction, "FileSignListingsItem"),
    Item(ActionId::FileVerifyKeyAction, "FileVerifyKeyItem"),
    Separator("N1"),
    Item(ActionId::FileSaveResultAction, "FileSaveResultItem"),
    Item(ActionId::FileAcceptBaselineAction, "FileAcceptBaselineItem"),
    Separator("N2"),
    Item(ActionId::FileExitAction, "FileExitItem"),
};
inline constexpr std::array kEditItems{
    Item(ActionId::EditCutAction, "EditCutItem"),
    Item(ActionId::EditCopyAction, "EditCopyItem"),
    Item(ActionId::EditPasteAction, "EditPasteItem"),
    Separator("N3"),
    Item(ActionId::EditListContentAction, "EditListDirItem"),
    Item(ActionId::EditCompareContentAction, "EditCompareContentItem"),
    Item(ActionId::EditCompareFolderAction, "EditCompareFolderItem"),
    Item(ActionId::EditDetectMovesAction, "EditDetectMovesItem"),
    Separator("N4"),
    Item(ActionId::EditRepeatLastAction, "EditRepeatLastItem"),
    Item(ActionId::EditStopAction, "EditStopItem"),
    Separator("N7"),
    Item(ActionId::EditFindAction, "EditFindItem"),
    Item(ActionId::EditFindNextAction, "EditFindNextItem"),
    Item(ActionId::EditFindPreviousAction, "EditFindPreviousItem"),
    Separator("N6"),
    Item(ActionId::EditSha256Action, "EditSha256Item"),
    Item(ActionId::EditMetadataAction, "EditMetadataItem"),
    Item(ActionId::EditReuseDigestsAction, "EditReuseDigestsItem"),
    Item(ActionId::EditExcludePatternsAction, "EditExcludePatternsItem"),
    Item(ActionId::EditAskBeforeDiscardAction, "EditAskBeforeDiscardItem"),
};
inline constexpr std::array kViewItems{
    Item(ActionId::ViewColourResultsAction, "ViewColourResultsItem"),
    Separator("N8"),
    Item(ActionId::ViewSortByPathAction, "ViewSortByPathItem"),
    Item(ActionId::ViewSortByKindAction, "ViewSortByKindItem"),
};
inline constexpr std::array kHelpItems{
    Item(ActionId::HelpProgramAction, "HelpQuillonItem"),
    Separator("N5"),
    Item(ActionId::HelpAboutAction, "HelpAboutItem"),
};
inline constexpr std::array<MenuInfo, 4> kMenus{{
    {"File1", "&File", "File Commands", kFileItems},
    {"Edit1", "&Edit", "Edit commands", kEditItems},
    {"View1", "&View", "How the results are shown", kViewItems},
    {"Help1", "&Help", "Help topics", kHelpItems},
}};

// The toolbar from the left; MD5CheckBox and NonViewEdit follow the last one.
inline constexpr std::array kToolItems{
    Item(ActionId::FileNewAction, "ToolNewButton"),
    Item(ActionId::FileOpenAction, "ToolOpenButton"),
    Item(ActionId::FileSaveAction, "ToolSaveButton"),
    Separator("ToolSepButton1"),
    Item(ActionId::EditCutAction, "ToolCutButton"),
    Item(ActionId::EditCopyAction, "ToolCopyButton"),
    Item(ActionId::EditPasteAction, "ToolPasteButton"),
    Separator("ToolSepButton2"),
    Item(ActionId::EditListContentAction, "ToolListButton"),
    Item(ActionId::EditRepeatLastAction, "ToolRepeatButton"),
    Item(ActionId::EditStopAction, "ToolStopButton"),
    Separator("ToolSepButton3"),
    Item(ActionId::EditCompareContentAction, "ToolCompareButton"),
    Item(ActionId::EditCompareFolderAction, "ToolCompareFolderButton"),
    Separator("ToolSepButton4"),
    Item(ActionId::FileSaveResultAction, "ToolSaveResultButton"),
    Separator("ToolButton1"),
};

// Sizes in pixels at 96 pixels per inch.
inline constexpr int kClientWidth = 809;
inline constexpr int kClientHeight = 570;  // below the menu bar
inline constexpr int kToolBarHeight = 30;
inline constexpr int kPanelHeight = 30;
inline constexpr int kLabel1Left = 8;
inline constexpr int kLabel2Left = 408;
inline constexpr int kLabelTop = 8;
// Label1 and Label2 on Panel1, as they show before any command set them.
struct LabelInfo {
  const char* name;
  const char* text;
  int left;
};
inline constexpr std::array<LabelInfo, 2> kLabels{{{"Label1", "Selected: ?", kLabel1Left},
                                                   {"Label2", "Loaded File: ?", kLabel2Left}}};
inline constexpr int kListBox1Width = 402;
inline constexpr int kListBox3Height = 97;
inline constexpr int kSplitterSize = 3;
inline constexpr int kStatusBarHeight = 19;
inline constexpr std::array<int, 5> kPanelWidths{100, 100, 170, 80, 50};
inline constexpr int kMd5Width = 80;
inline constexpr int kEditWidth = 444;
inline constexpr int kToolControlHeight = 22;
inline constexpr int kPaneFontPoints = 8;
inline constexpr int kPaneLineHeight = 13;

}  // namespace WindowLayout
