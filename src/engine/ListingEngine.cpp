#include "engine/ListingEngine.h"

#include "app/ScrollExtent.h"
#include "app/Texts.h"
#include "engine/ListingLineFormat.h"
#include "platform/Vexuf.h"

namespace {
constexpr const char* kOpeningMarker = ">>> All directories found >>>";
constexpr const char* kClosingMarker = "<<< All directories found <<<";
constexpr std::int32_t kAllAttributes = 63;
}  // namespace

ListingEngine::ListingEngine(MainWindowState& state, Surfaces& surfaces, FolderSearch& search,
                             const RegionalSettings& settings)
    : state_(state), surfaces_(surfaces), search_(search), settings_(settings) {}

void ListingEngine::RunListing(const std::string& folderPath) {
  state_.ScanMask = "*.*";
  surfaces_.SetLabelText(LabelId::Label1, "Selected: " + folderPath);
  surfaces_.PaneClear(PaneId::ListBox1);
  state_.ScanAttributes = kAllAttributes;
  state_.FileCount = 0;
  state_.TotalSize = 0.0;
  state_.WidestLine = 0;
  // A run that failed part-way may have left folders in the queue.
  state_.FolderQueue.clear();

  ScanFolder(folderPath);
  // The queue grows while it is walked, so its size is read before every step;
  // the path is copied because the vector may move its entries meanwhile.
  for (std::size_t i = 0; i < state_.FolderQueue.size(); ++i) {
    const std::string folder = state_.FolderQueue[i];
    ScanFolder(folder);
    surfaces_.RefreshWindow();
  }

  const std::string totalText = ListingLineFormat::FormatTotalText(state_.TotalSize, settings_.ThousandSeparator);
  const std::string folderCount = std::to_string(state_.FolderQueue.size());
  surfaces_.StatusSetPanelText(0, "Files = " + std::to_string(state_.FileCount));
  surfaces_.StatusSetPanelText(1, "Folders = " + folderCount);
  surfaces_.StatusSetPanelText(2, "Total = " + totalText + " Bytes");
  const std::string summary = "Number of Files = " + std::to_string(state_.FileCount) +
                              "  Number of Folders = " + folderCount + "  Total Size = " + totalText + " Bytes";
  surfaces_.PaneAddLine(PaneId::ListBox1, kOpeningMarker);
  std::string folderLine;
  for (const std::string& folder : state_.FolderQueue) {
    folderLine.clear();
    ListingLineFormat::AppendListingText(folderLine, folder);
    surfaces_.PaneAddLine(PaneId::ListBox1, folderLine);
  }
  state_.FolderQueue.clear();
  surfaces_.PaneAddLine(PaneId::ListBox1, kClosingMarker);
  surfaces_.PaneAddLine(PaneId::ListBox1, summary);
  surfaces_.SetNormalCursor();
  surfaces_.SetCaption(Texts::kCaption);
  if (state_.HasLoadedListing) surfaces_.SetActionEnabled(ActionId::EditCompareContentAction, true);
  state_.HasListing = true;
  SetPaneScrollExtent(surfaces_, PaneId::ListBox1, state_.WidestLine);
  surfaces_.SetActionEnabled(ActionId::FileSaveAction, true);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, true);
}

void ListingEngine::ScanFolder(const std::string& folderPath) {
  FindData entry;
  auto search = search_.FindFirstFile(folderPath + state_.ScanMask, state_.ScanAttributes, entry);
  if (!search) return;
  int progress = 0;
  AddListingEntry(entry, folderPath);
  while (search->FindNextFile(entry)) {
    if (progress == 0) {
      surfaces_.SetCaption(Texts::kWaitCaption);
      progress = 1;
    } else if (progress == 20) {
      surfaces_.SetCaption(Texts::kCaption);
      progress = 21;
    } else if (progress == 39) {
      progress = 0;
    } else {
      ++progress;
    }
    AddListingEntry(entry, folderPath);
  }
}

void ListingEngine::AddListingEntry(const FindData& entry, const std::string& folderPath) {
  if (entry.Name == "." || entry.Name == "..") return;
  if (entry.Attributes & FileAttribute::Directory) {
    std::string folder;
    folder.reserve(folderPath.size() + entry.Name.size() + 1);
    folder.append(folderPath).append(entry.Name) += kPathSeparator;
    state_.FolderQueue.push_back(std::move(folder));
    return;
  }
  const double size = vexuf::GetWFDFileSize(entry);
  line_.clear();
  ListingLineFormat::AppendDateTime(line_, vexuf::GetWFDUTCTimeInTDataTime(entry, 0), settings_.TimeSeparator);
  line_ += ' ';
  ListingLineFormat::AppendSize(line_, size);
  line_ += " Bytes ";
  line_ += ListingLineFormat::FormatAttributeLetters(entry.Attributes);
  line_ += ' ';
  if (surfaces_.Md5Ticked()) {
    // The digest opens the file by its real name, whatever the line shows.
    line_ += ComputeFileDigest(folderPath + entry.Name);
    line_ += ' ';
  }
  ListingLineFormat::AppendListingText(line_, folderPath);
  ListingLineFormat::AppendListingText(line_, entry.Name);
  const auto length = static_cast<std::int32_t>(line_.size());
  if (length > state_.WidestLine) state_.WidestLine = length;
  surfaces_.PaneAddLine(PaneId::ListBox1, line_);
  ++state_.FileCount;
  state_.TotalSize += size;
}
