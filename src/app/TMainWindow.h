#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "surfaces/MainWindowState.h"
#include "surfaces/Surfaces.h"
#include "compare/ListingComparison.h"
#include "documents/ListingDocuments.h"
#include "engine/ListingEngine.h"
#include "platform/FileReader.h"
#include "platform/FolderSearch.h"
#include "platform/RegionalSettings.h"

// The main window's logic: its state and its command handlers. It reaches the
// window only through the surfaces, so any front end can stand behind it.
// Handlers take the sender, which none of them reads.
class TMainWindow {
 public:
  // Digests are read through reader, or the system's file access when none.
  TMainWindow(Surfaces& surfaces, FolderSearch& search, RegionalSettings settings, FileReader* reader = nullptr);

  // Runs one command. A failure ends it where it happened and is shown in the
  // error box; this is the one place where failures are caught. Returns false
  // when the command failed.
  bool Dispatch(const std::function<void()>& command);

  void FormCreate(const void* sender = nullptr);
  void FormDestroy(const void* sender = nullptr);
  void EditListContentActionExecute(const void* sender = nullptr);
  void EditCompareContentActionExecute(const void* sender = nullptr);
  void EditRepeatLastActionExecute(const void* sender = nullptr);
  void FileNewActionExecute(const void* sender = nullptr);
  void FileOpenActionExecute(const void* sender = nullptr);
  void FileSaveActionExecute(const void* sender = nullptr);
  void FileSaveAsActionExecute(const void* sender = nullptr);
  void FileSaveResultActionExecute(const void* sender = nullptr);
  void FileExitActionExecute(const void* sender = nullptr);
  void HelpAboutActionExecute(const void* sender = nullptr);
  void HelpProgramActionExecute(const void* sender = nullptr);
  // Open, List and Compare in one step: the listing file, then the folder,
  // suggested from the top of that listing.
  void EditCompareFolderActionExecute(const void* sender = nullptr);
  // The current listing replaces the baseline it was compared with, which
  // is kept as NAME.previous.
  void FileAcceptBaselineActionExecute(const void* sender = nullptr);
  // Open without the dialog: a recent listing of the File menu.
  void OpenListingFile(const std::string& fileName);
  // With the choice on, a command about to drop a listing or results not
  // saved yet first offers to save them: false when the user cancelled, or
  // a save did not happen, and the command is not to go on.
  void SetAskBeforeDiscard(bool ask) { askBeforeDiscard_ = ask; }
  bool MayDiscard(bool listing, bool results);
  void ListBox1Click(const void* /*sender*/ = nullptr) { ListBoxClick(PaneId::ListBox1); }
  void ListBox2Click(const void* /*sender*/ = nullptr) { ListBoxClick(PaneId::ListBox2); }
  void ListBox3Click(const void* /*sender*/ = nullptr) { ListBoxClick(PaneId::ListBox3); }

  // False when the user stopped the run. The results of a comparison go
  // with the listing they were made from.
  bool RunListing(const std::string& folderPath);
  // How many threads a listing run reads the tree with; see ListingEngine.
  void SetReaders(std::size_t readers) { engine_.SetReaders(readers); }
  // The digest cache of runs with reuse switched on; empty: the user's default one.
  void SetDigestCacheFile(std::string path) { engine_.SetDigestCacheFile(std::move(path)); }
  void SetClock(DigestCache::Clock clock) { engine_.SetClock(std::move(clock)); }
  // The digest of listing runs with the check box ticked: MD5 unless told otherwise.
  void SetDigestAlgorithm(DigestAlgorithm algorithm) { engine_.SetDigestAlgorithm(algorithm); }
  // Whether listing runs put the metadata group on their lines.
  void SetMetadata(bool meta) { engine_.SetMetadata(meta); }
  // Where listing runs read metadata; the system's own when null.
  void SetMetaReader(MetaReader* reader) { engine_.SetMetaReader(reader); }

  // The private key Save signs listings with, and the public key Open checks
  // their signatures with; empty: none.
  void SetSigningKey(std::string privateKeyFile) { documents_.SetSigningKey(std::move(privateKeyFile)); }
  void SetVerifyKey(std::string publicKeyFile) { documents_.SetVerifyKey(std::move(publicKeyFile)); }

  // The regional settings are read again when the system announces a change.
  // A command under way keeps the ones it began with to its end, so that one
  // listing never mixes two time separators; the new ones apply after it.
  void SetRegionalSettings(const RegionalSettings& settings);
  const MainWindowState& State() const { return state_; }
  // What the last comparison found, by the lines of the panes it compared.
  const ComparisonResult& LastComparison() const { return comparison_.Outcome(); }
  // "2 folders and 1 file could not be read" for the last run; empty when it read everything.
  const std::string& UnreadableText() const { return engine_.UnreadableText(); }

 private:
  void ListBoxClick(PaneId pane);
  // Lists a folder the user chose; false when it was stopped.
  bool ListChosenFolder(const std::string& chosen);
  // Results and counts that describe listings no longer shown go.
  void ForgetComparison();
  // The old line of a selected Modified or Moved result line, or none.
  void ShowOldLineOf(int resultRow);
  std::string TopFolderOfLoadedListing();
  // The digests of the loaded listing's file lines: nothing inside for none,
  // nothing at all when it has no file line to tell.
  std::optional<std::optional<DigestAlgorithm>> DigestsOfLoadedListing();
  // Whether the loaded listing's first file line carries metadata.
  bool LoadedListingHasMeta();
  // meta: whether it was listed with metadata; nothing where neither the
  // listing nor the choice has any.
  static std::string FollowedDigestText(const std::string& listing, std::optional<DigestAlgorithm> digests,
                                        std::optional<bool> meta);
  std::vector<std::string_view> PaneLines(PaneId pane);

  Surfaces& surfaces_;
  RegionalSettings settings_;
  MainWindowState state_;
  ListingEngine engine_;
  ListingDocuments documents_;
  ListingComparison comparison_;
  bool comparisonShown_ = false;  // ListBox3 or panel 3 tell of a comparison
  bool askBeforeDiscard_ = false;
  int dispatching_ = 0;            // commands under way, one within another
  std::optional<RegionalSettings> nextSettings_;  // announced while one was
};
