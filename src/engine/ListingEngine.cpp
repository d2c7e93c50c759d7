#include "engine/ListingEngine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>
#include <utility>

#include "surfaces/ScrollExtent.h"
#include "surfaces/Texts.h"
#include "engine/ListingLineFormat.h"
#include "platform/Vexuf.h"

namespace {
constexpr const char* kOpeningMarker = ">>> All directories found >>>";
constexpr const char* kClosingMarker = "<<< All directories found <<<";
constexpr std::int32_t kAllAttributes = 63;

// Files queued ahead of the walk, enough that the other cores keep hashing
// while one hashes a large file the walk waits for; and bounds on the folders
// searched ahead and on the entries they hold, which is what costs memory:
// few folders of many files, or many of few, reach the same. A few hundred
// searches queued keep the searching threads busy. None grows with the
// number of readers.
constexpr std::size_t kJobsAhead = 16384;
constexpr std::size_t kFoldersAhead = 8192;
constexpr std::size_t kEntriesAhead = 131072;
constexpr std::size_t kSearchesQueued = 512;
// How often, in files, the walk tops up the digests queued ahead.
constexpr std::size_t kLookAheadEvery = 64;
// A file this large is queued as soon as its folder has been searched, ahead
// of its turn, so that the large files hash side by side in the lanes of a
// vector, rather than each on its own while the walk waits for it. Among
// small files a large one gets nowhere: they bring too few bytes to keep the
// lanes going, and each one's reading holds up all the lanes.
constexpr std::uint64_t kLargeFile = 1 << 20;
constexpr std::size_t kLargeAhead = 2 * Md5Lanes::kSlots;

bool IsDotEntry(const FindData& entry) { return entry.Name == "." || entry.Name == ".."; }

// A folder the walk queues when it comes to the folder holding it, and the
// path it queues it by.
bool IsSubfolder(const FindData& entry) {
  return (entry.Attributes & FileAttribute::Directory) != 0 && !IsDotEntry(entry);
}
std::string SubfolderPath(const std::string& folderPath, const FindData& entry) {
  std::string path;
  path.reserve(folderPath.size() + entry.Name.size() + 1);
  path.append(folderPath).append(entry.Name) += kPathSeparator;
  return path;
}

FileStamp StampOf(const FindData& entry) { return DigestLookup::StampOf(entry); }

// A digest the cache gave back, as the digits a read would have made.
FileDigester::Result ReusedResult(const DigestBytes& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  char digits[kMaxDigestDigits];
  for (std::size_t i = 0; i < digest.Size; ++i) {
    digits[2 * i] = kHex[digest.Data[i] >> 4];
    digits[2 * i + 1] = kHex[digest.Data[i] & 0x0F];
  }
  return FileDigester::Result::Of({digits, 2 * digest.Size});
}

std::string ExcludeNote(const std::vector<std::string>& patterns) {
  std::string note = "Leaving out what matches:";
  for (const std::string& pattern : patterns) note += " " + pattern;
  return note;
}
}  // namespace

ListingEngine::ListingEngine(MainWindowState& state, Surfaces& surfaces, FolderSearch& search,
                             const RegionalSettings& settings, FileReader* reader)
    : state_(state),
      surfaces_(surfaces),
      search_(search),
      settings_(settings),
      reader_(reader != nullptr ? *reader : systemReader_),
      releaser_(reader_),
      fetcher_(reader_),
      digester_(reader_, &releaser_),
      searches_([] { return std::make_unique<SearchContext>(); }),
      digests_(HelperDigesters(&ListingEngine::digests_)),
      largeDigests_(HelperDigesters(&ListingEngine::largeDigests_)) {
  // A digest read on this thread asks between blocks, so that a stop does
  // not wait for the end of a huge file.
  digester_.SetInterrupt([this] { return StopAsked(); });
  SetReaders(kDefaultReaders);
}

ListingEngine::DigestPool::MakeContext ListingEngine::HelperDigesters(DigestPool ListingEngine::*pool) {
  // A helper lives for one run: it makes that run's digest, and gives up its
  // file between blocks once the run stops.
  return [this, pool] {
    auto digester = std::make_unique<FileDigester>(reader_, &releaser_, algorithm_);
    digester->SetInterrupt([this, pool] { return (this->*pool).Aborted(); });
    return digester;
  };
}

void ListingEngine::SetReaders(std::size_t readers) {
  readers_ = std::clamp<std::size_t>(readers, 1, kMaxReaders);
  // The walking thread searches and digests too, whenever the helpers are
  // behind. Hashing is bound by the cores: more threads than cores to hash
  // would only take turns. Reading is bound by the disk, whose queue one
  // fetching thread keeps full; a few searches at once are enough to keep
  // the folders ahead of the digests.
  searches_.SetHelpers(std::min(readers_, kSearchesAtOnce) - 1);
  fetcher_.SetDepth(readers_ == 1 ? 0 : readers_);
  SetDigestHelpers();
}

void ListingEngine::SetDigestHelpers() {
  // Where large files hash in lanes of their own, their helper takes one of
  // the cores.
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const bool large = readers_ > 1 && digester_.HashesInLanes();
  const std::size_t helpers = readers_ == 1 ? 0 : std::min(readers_ - 1, cores);
  digests_.SetHelpers(large && helpers > 1 ? helpers - 1 : helpers);
  largeDigests_.SetHelpers(large ? 1 : 0);
  largeDigests_.SetGather(Md5Lanes::kSlots);
}

std::string ListingEngine::UnreadableCountText(int folders, int files) {
  const auto count = [](int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  std::string text;
  if (folders > 0) text = count(folders, "folder", "folders");
  if (folders > 0 && files > 0) text += " and ";
  if (files > 0) text += count(files, "file", "files");
  return text + " could not be read";
}

bool ListingEngine::RunListing(const std::string& folderPath) {
  // A malformed pattern fails the run before anything is touched.
  const std::vector<std::string> patterns = surfaces_.ExcludePatternList();
  ExcludePatterns excludes(patterns);
  // Whatever way the run ends, nothing read ahead outlives it, the reading
  // thread ends, and Stop has nothing left to stop.
  struct RunEnd {
    ListingEngine& engine;
    ~RunEnd() {
      engine.EndRun();
      engine.searches_.EndHelpers();
      for (DigestPool* pool : engine.DigestPools()) pool->EndHelpers();
      engine.fetcher_.Finish();
      engine.releaser_.Finish();
      engine.digester_.ForgetFolder();
      engine.running_ = false;
      engine.surfaces_.SetActionEnabled(ActionId::EditStopAction, false);
    }
  } runEnd{*this};
  EndRun();
  ++run_;
  running_ = true;
  stopped_ = false;
  progress_ = RunProgress{};
  digestedBefore_ = BytesDigested();
  surfaces_.SetActionEnabled(ActionId::EditStopAction, true);
  excludes_ = std::move(excludes);
  root_ = folderPath;
  reuseDigests_ = surfaces_.ReuseDigestsChecked();
  follow_ = std::exchange(nextFollow_, std::nullopt);
  algorithm_ = follow_ && follow_->digests ? *follow_->digests : nextAlgorithm_;
  meta_ = follow_ ? follow_->meta : nextMeta_;
  // Streams are read for a digest when the run starts with digests; a line
  // made after the box changed gets zeros or no digest for them.
  streamDigests_ = std::nullopt;
  if (meta_ && (follow_ ? follow_->digests.has_value() : surfaces_.Md5Ticked())) streamDigests_ = algorithm_;
  folderMeta_.clear();
  digester_.SetAlgorithm(algorithm_);
  kernelChecked_ = false;
  SetDigestHelpers();
  state_.DigestCount = 0;
  state_.ReusedDigestCount = 0;
  // Nobody should wonder where the left-out files went.
  if (!excludes_.Empty()) surfaces_.StatusSetPanelText(4, ExcludeNote(patterns));
  state_.ScanMask = "*.*";
  surfaces_.SetLabelText(LabelId::Label1, "Selected: " + folderPath);
  surfaces_.PaneClear(PaneId::ListBox1);
  state_.ScanAttributes = kAllAttributes;
  state_.FileCount = 0;
  state_.TotalSize = 0.0;
  state_.WidestLine = 0;
  unreadableFolders_ = 0;
  unreadableFiles_ = 0;
  // A run that failed part-way may have left folders in the queue.
  state_.FolderQueue.clear();

  WalkFolder(folderPath);
  // The queue grows while it is walked, so its size is read before every step;
  // the path is copied because the vector may move its entries meanwhile.
  for (std::size_t i = 0; i < state_.FolderQueue.size() && !StopAsked(); ++i) {
    if (ahead_.empty() && pending_.empty() && lookAheadNext_ <= i) lookAheadNext_ = i + 1;
    state_.FolderQueue.Passed(std::min(i, lookAheadNext_));
    const std::string folder = state_.FolderQueue[i];
    WalkFolder(folder);
    surfaces_.RefreshWindow();
  }
  EndRun();
  if (stopped_) {
    ShowUnreadableCount();
    EndStoppedRun();
    return false;
  }

  const std::string totalText = ListingLineFormat::FormatTotalText(state_.TotalSize, settings_.ThousandSeparator);
  const std::string folderCount = std::to_string(state_.FolderQueue.size());
  surfaces_.StatusSetPanelText(0, "Files = " + std::to_string(state_.FileCount));
  surfaces_.StatusSetPanelText(1, "Folders = " + folderCount);
  surfaces_.StatusSetPanelText(2, "Total = " + totalText + " Bytes");
  ShowUnreadableCount();
  const std::string summary = "Number of Files = " + std::to_string(state_.FileCount) +
                              "  Number of Folders = " + folderCount + "  Total Size = " + totalText + " Bytes";
  surfaces_.PaneAddLine(PaneId::ListBox1, kOpeningMarker);
  std::string folderLine, folder, meta;
  FolderQueue::Cursor folders(state_.FolderQueue);
  std::optional<FolderQueue::Cursor> metas;
  if (meta_) metas.emplace(folderMeta_);
  while (folders.Next(folder)) {
    folderLine.clear();
    if (metas && metas->Next(meta)) folderLine += meta;
    ListingLineFormat::AppendListingText(folderLine, folder);
    surfaces_.PaneAddLine(PaneId::ListBox1, folderLine);
  }
  metas.reset();
  state_.FolderQueue.clear();
  folderMeta_.clear();
  surfaces_.PaneAddLine(PaneId::ListBox1, kClosingMarker);
  surfaces_.PaneAddLine(PaneId::ListBox1, summary);
  surfaces_.SetNormalCursor();
  surfaces_.SetCaption(Texts::kCaption);
  if (state_.HasLoadedListing) surfaces_.SetActionEnabled(ActionId::EditCompareContentAction, true);
  state_.HasListing = true;
  SetPaneScrollExtent(surfaces_, PaneId::ListBox1, state_.WidestLine);
  surfaces_.SetActionEnabled(ActionId::FileSaveAction, true);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, true);
  return true;
}

bool ListingEngine::StopAsked() {
  if (!running_) return false;  // a digest asked for outside a run is never given up
  if (stopped_) return true;
  progress_.files = state_.FileCount;
  progress_.folders = state_.FolderQueue.size();
  progress_.bytes = state_.TotalSize;
  progress_.bytesFound = state_.TotalSize + aheadBytes_ + pendingBytes_;
  progress_.digests = digestsWanted_;
  progress_.digestName = algorithm_ == DigestAlgorithm::Sha256 ? "SHA-256" : "MD5";
  progress_.bytesDigested = BytesDigested() - digestedBefore_;
  surfaces_.ShowRunProgress(progress_);
  if (!surfaces_.StopRequested()) return false;
  stopped_ = true;
  searches_.Abort();
  for (DigestPool* pool : DigestPools()) pool->Abort();
  return true;
}

std::uint64_t ListingEngine::BytesDigested() const {
  std::uint64_t bytes = digester_.BytesRead();
  for (const DigestPool* pool : DigestPools())
    for (const auto& helper : pool->HelperContexts()) bytes += helper->BytesRead();
  return bytes;
}

void ListingEngine::EndStoppedRun() {
  // The lines found so far stay to be looked at; nothing marks them as a
  // listing, so they can be neither saved nor compared. The counts so far
  // stay too, marked as partial.
  const std::string totalText = ListingLineFormat::FormatTotalText(state_.TotalSize, settings_.ThousandSeparator);
  surfaces_.StatusSetPanelText(0, "Files = " + std::to_string(state_.FileCount) + Texts::kPartial);
  surfaces_.StatusSetPanelText(1, "Folders = " + std::to_string(state_.FolderQueue.size()) + Texts::kPartial);
  surfaces_.StatusSetPanelText(2, "Total = " + totalText + " Bytes" + Texts::kPartial);
  state_.FolderQueue.clear();
  folderMeta_.clear();
  surfaces_.PaneAddLine(PaneId::ListBox1, Texts::kListingStopped);
  surfaces_.SetNormalCursor();
  surfaces_.SetCaption(Texts::kCaption);
  state_.HasListing = false;
  SetPaneScrollExtent(surfaces_, PaneId::ListBox1, state_.WidestLine);
  surfaces_.SetActionEnabled(ActionId::FileSaveAction, false);
  surfaces_.SetActionEnabled(ActionId::EditCompareContentAction, false);
  surfaces_.SetActionEnabled(ActionId::EditRepeatLastAction, false);
}

void ListingEngine::WalkFolder(const std::string& folderPath) {
  ScanFolder(folderPath);
  // Its subfolders are all queued: those of the folders after it can be
  // foretold from here on.
  walkSubfolders_ = WalkSubfolders::Queued;
  PredictFolders();
}

void ListingEngine::ScanFolder(const std::string& folderPath) {
  ListedFolder folder = TakeListedFolder(folderPath);
  if (stopped_) return;  // the search may have been given up part-way
  const std::vector<FindData>& entries = folder.entries;
  if (readers_ > 1) {
    if (digestsWanted_ && !folder.queued) {
      // Its large files first, in order, ahead of those of the folders after it.
      const bool largeApart = LargeLanes() && walkedLargeFrom_ != kNoJob;
      if (largeApart) QueueLargeFiles(folder, walkedLargeFrom_, kNoJob);
      QueueDigests(folder, 0, largeApart);
    }
    LookAhead();
  }
  // What could not be read is told when the walk reaches its folder, after
  // its lines, so that the reports come in walk order however far ahead the
  // search has gone.
  if (entries.empty()) {
    ReportFailures(folder);
    return;
  }
  int progress = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (StopAsked()) return;
    if (i > 0) {
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
    }
    currentJob_ = folder.jobs.empty() ? kNoJob : folder.jobs[i];
    currentReused_ = folder.reused.empty() || !folder.reused[i].Found ? nullptr : &folder.reused[i];
    currentSearchStart_ = folder.searchStartNs;
    currentMeta_ = folder.metas.empty() ? nullptr : &folder.metas[i];
    AddListingEntry(entries[i], folderPath);
    currentJob_ = kNoJob;
    currentReused_ = nullptr;
    currentMeta_ = nullptr;
    if (readers_ == 1) continue;
    // The first digest asked for starts the reading ahead, from the next entry on.
    if (digestsWanted_ && !folder.queued && i + 1 < entries.size()) {
      QueueDigests(folder, i + 1, false);
      LookAhead();
    } else if (!digestsWanted_ && !folder.jobs.empty()) {
      StopPrefetching();  // digests are no longer wanted: read nothing ahead
      folder.jobs.clear();
      folder.queued = false;
    } else if (++filesSinceLookAhead_ >= kLookAheadEvery) {
      LookAhead();
    }
  }
  ReportFailures(folder);
}

ListingEngine::ListedFolder ListingEngine::ListFolder(const std::string& folderPath, const std::string& mask,
                                                     int attributes, const std::function<bool()>& stop) const {
  ListedFolder folder;
  folder.path = folderPath;
  folder.searchStartNs = clock_();
  FindData entry;
  auto search = search_.FindFirstFile(folderPath + mask, attributes, entry, folder.failures);
  // Excluded entries are gone from here on: never listed, counted, read,
  // searched or reported.
  const auto excluded = [&](const std::string& name, bool isFolder) { return Excluded(folderPath, name, isFolder); };
  if (search) {
    do
      if (!excluded(entry.Name, (entry.Attributes & FileAttribute::Directory) != 0)) folder.entries.push_back(entry);
    while (!(stop && stop()) && search->FindNextFile(entry));
    // On the searching thread, so that a metadata listing reads the
    // attributes of several folders at once, ahead of the walk.
    if (meta_)
      metaReader_->ReadFolder(folderPath, search->FolderDescriptor(), folder.entries, streamDigests_, folder.metas, stop);
  }
  std::erase_if(folder.failures,
                [&](const SearchFailure& failure) { return !failure.Name.empty() && excluded(failure.Name, failure.Folder); });
  // The folders searched ahead hold many entries: none of them room to grow.
  if (folder.entries.capacity() - folder.entries.size() > folder.entries.size() / 8) folder.entries.shrink_to_fit();
  return folder;
}

ListingEngine::ListedFolder ListingEngine::TakeListedFolder(const std::string& folderPath) {
  walkSubfolders_ = WalkSubfolders::NotForetold;
  if (!ahead_.empty() && ahead_.front().path == folderPath) {
    ListedFolder folder = std::move(ahead_.front());
    ahead_.pop_front();
    if (queuedAhead_ > 0) --queuedAhead_;
    aheadEntries_ -= folder.entries.size();
    if (predictedFolders_ > 0) {
      --predictedFolders_;
      walkSubfolders_ = WalkSubfolders::Foretold;
    }
    if (largeFolder_ > 0) {
      --largeFolder_;
      walkedLargeFrom_ = folder.entries.size();  // all queued
    } else {
      walkedLargeFrom_ = std::exchange(largeEntry_, 0);
    }
    return folder;
  }
  // Large files of a folder not searched ahead go to the large files' lanes
  // only while none of a later folder is queued there.
  walkedLargeFrom_ = largeDigests_.Outstanding() == 0 ? 0 : kNoJob;
  if (ahead_.empty() && !pending_.empty() && pending_.front().path == folderPath) {
    const std::size_t job = pending_.front().job;
    pending_.pop_front();
    if (auto folder = searches_.Take(job, walkContext_, [this] { return StopAsked(); })) return std::move(*folder);
  }
  if (!ahead_.empty() || !pending_.empty()) {
    // Out of step with the walk: drop what was read ahead.
    StopPrefetching();
    searches_.Reset();
    pending_.clear();
    ahead_.clear();
    queuedAhead_ = 0;
    aheadEntries_ = 0;
    ForgetPredictions();
  }
  return ListFolder(folderPath, state_.ScanMask, state_.ScanAttributes, {});
}

void ListingEngine::QueueDigests(ListedFolder& folder, std::size_t from, bool largeApart) {
  // A folder's files are queued together: the digest pool's lock, which
  // its workers take for every file, is taken once.
  std::vector<std::shared_ptr<PageFetcher::File>> toFetch;
  std::vector<DigestJob> works;
  std::vector<std::size_t> entries;
  for (std::size_t i = from; i < folder.entries.size(); ++i) {
    if (largeApart && folder.entries[i].Size >= kLargeFile) continue;
    if (auto file = FileToDigest(folder, i)) {
      works.push_back(DigestJob{this, file});
      entries.push_back(i);
      toFetch.push_back(std::move(file));
    }
  }
  const std::size_t first = works.empty() ? 0 : digests_.AddMany(std::move(works));
  for (std::size_t k = 0; k < entries.size(); ++k) {
    folder.jobs[entries[k]] = first + k;
    aheadBytes_ += vexuf::GetWFDFileSize(folder.entries[entries[k]]);
  }
  folder.queued = true;
  fetcher_.Add(std::move(toFetch));
}

std::shared_ptr<PageFetcher::File> ListingEngine::FileToDigest(ListedFolder& folder, std::size_t i) {
  DigestCache* cache = Cache();
  if (folder.jobs.empty()) {
    folder.jobs.assign(folder.entries.size(), kNoJob);
    if (cache != nullptr) TakeLookup(folder, *cache);
  }
  const FindData& entry = folder.entries[i];
  if (IsDotEntry(entry) || (entry.Attributes & FileAttribute::Directory)) return nullptr;
  if (!entry.RegularFile) return nullptr;  // never opened: nothing to read ahead
  if (folder.jobs[i] != kNoJob || (cache != nullptr && folder.reused[i].Found)) return nullptr;
  // A digest the cache gives back needs no read; what the search did not
  // find there is not there.
  if (cache != nullptr && !folder.lookedUp) {
    if (auto digest = cache->ReusableBytes(StampOf(entry), folder.path, algorithm_)) {
      folder.reused[i].Digest = *digest;
      folder.reused[i].Found = true;
      return nullptr;
    }
  }
  return std::make_shared<PageFetcher::File>(folder.path + entry.Name, FileDigester::Expected::Of(entry));
}

void ListingEngine::LookUpDigests(SearchContext& context, const DigestCache& cache, std::uint64_t run,
                                  ListedFolder& folder) const {
  if (!context.lookup || context.run != run) {
    context.lookup = std::make_unique<DigestLookup>(cache);
    context.run = run;
  }
  folder.lookedUp = context.lookup->Look(folder.path, folder.entries, algorithm_, folder.reused);
}

void ListingEngine::TakeLookup(ListedFolder& folder, DigestCache& cache) {
  if (folder.reuseCounted) return;
  if (folder.lookedUp && cache.Usable()) {
    folder.reuseCounted = true;
    for (const CachedDigest& cached : folder.reused)
      if (cached.Found) cache.CountReused(cached);
    return;
  }
  // Looked up by the walk, entry by entry as their digests are queued; the
  // digests of a cache found damaged meanwhile are read.
  folder.lookedUp = false;
  folder.reused.assign(folder.entries.size(), CachedDigest{});
}

void ListingEngine::QueueLargeFiles() {
  // Only where they hash in lanes: one at a time they gain nothing by it.
  if (!LargeLanes()) return;
  for (; largeFolder_ < ahead_.size(); ++largeFolder_, largeEntry_ = 0) {
    largeEntry_ = QueueLargeFiles(ahead_[largeFolder_], largeEntry_, kLargeAhead);
    if (largeEntry_ < ahead_[largeFolder_].entries.size()) break;  // the rest of this folder is looked at later
  }
}

std::size_t ListingEngine::QueueLargeFiles(ListedFolder& folder, std::size_t from, std::size_t most) {
  std::vector<std::shared_ptr<PageFetcher::File>> toFetch;
  std::size_t i = from;
  for (; i < folder.entries.size(); ++i) {
    if (folder.entries[i].Size < kLargeFile) continue;
    if (largeDigests_.Outstanding() >= most) break;
    if (auto file = FileToDigest(folder, i)) {
      folder.jobs[i] = largeDigests_.Add(DigestJob{this, file}) | kLargeJob;
      aheadBytes_ += vexuf::GetWFDFileSize(folder.entries[i]);
      toFetch.push_back(std::move(file));
    }
  }
  fetcher_.Add(std::move(toFetch));
  return i;
}

FileDigester::Result ListingEngine::DigestJob::operator()(FileDigester& digester) const {
  const bool fetched = engine->fetcher_.Claim(*file);
  FileDigester::Result digest = digester.ComputeFileDigest(file->path, file->expected, fetched,
                                                           fetched ? PageFetcher::TakeHeld(*file) : -1);
  engine->fetcher_.Digested(*file, fetched, digest.waitedForDisk);
  return digest;
}

void ListingEngine::DigestJob::RunBatch(FileDigester& digester, DigestPool::Batch& batch) {
  // Each file is claimed from the fetcher as it is taken, and told to it as
  // it is done, as a job of its own would be.
  class BatchSource final : public FileDigester::Source {
   public:
    explicit BatchSource(DigestPool::Batch& batch) : batch_(batch) {}
    bool Next(FileDigester::Task& task) override {
      std::size_t job;
      const DigestJob* work = batch_.Next(job);
      if (work == nullptr) return false;
      const PageFetcher::File& queued = *work->file;
      const bool fetched = work->engine->fetcher_.Claim(*work->file);
      task = FileDigester::Task{&queued.path, queued.expected, fetched, job,
                                fetched ? PageFetcher::TakeHeld(*work->file) : -1};
      taken_.push_back(work);
      return true;
    }
    void Done(const FileDigester::Task& task, FileDigester::Result result) override {
      const auto taken = std::find_if(taken_.begin(), taken_.end(),
                                      [&](const DigestJob* work) { return &work->file->path == task.path; });
      const DigestJob* work = *taken;
      taken_.erase(taken);
      work->engine->fetcher_.Digested(*work->file, task.fetchedAhead, result.waitedForDisk);
      batch_.Done(task.id, std::move(result));
    }

   private:
    DigestPool::Batch& batch_;
    std::vector<const DigestJob*> taken_;  // at most one per slot
  };
  if (!digester.HashesInLanes()) {
    // The system's own digest, one file at a time.
    std::size_t job;
    while (const DigestJob* work = batch.Next(job)) batch.Done(job, (*work)(digester));
    return;
  }
  BatchSource source(batch);
  digester.DigestMany(source);
}

void ListingEngine::LookAhead() {
  filesSinceLookAhead_ = 0;
  // Both queues are topped up in large batches once they are half empty, so
  // that an idle helper is woken once per batch rather than once per folder.
  // Searches of the folders queued next, so that many are under way at once.
  const std::string mask = state_.ScanMask;
  const int attributes = state_.ScanAttributes;
  // What the folders searched ahead hold is bounded too, those still being
  // searched counted at the size of the average folder so far.
  const auto roomAhead = [this] {
    const double perFolder = searchedFolders_ == 0 ? 0.0 : static_cast<double>(searchedEntries_) / searchedFolders_;
    return ahead_.size() + pending_.size() < kFoldersAhead &&
           static_cast<double>(aheadEntries_) + static_cast<double>(pending_.size()) * perFolder < kEntriesAhead;
  };
  // A plain listing holds nothing ahead but the searches queued: more of
  // them keep its searching threads from waiting on the walk.
  const std::size_t searchesQueued = digestsWanted_ ? kSearchesQueued : kFoldersAhead / 2;
  const bool searchesLow = pending_.size() < searchesQueued / 2;
  // The searches of a run that reuses digests look their files up too, off
  // the walk's thread; the cache is opened before any of them starts.
  const DigestCache* cache = digestsWanted_ && searchesLow ? Cache() : nullptr;
  if (cache != nullptr && !cache->Usable()) cache = nullptr;
  while (searchesLow && pending_.size() < searchesQueued && roomAhead() &&
         lookAheadNext_ < state_.FolderQueue.size() + predicted_.size()) {
    const std::size_t queued = state_.FolderQueue.size();
    std::string path = lookAheadNext_ < queued ? state_.FolderQueue[lookAheadNext_] : predicted_[lookAheadNext_ - queued];
    ++lookAheadNext_;
    const std::size_t job = searches_.Add([this, path, mask, attributes, cache, run = run_](SearchContext& context) {
      ListedFolder folder = ListFolder(path, mask, attributes, [this] { return searches_.Aborted(); });
      if (cache != nullptr) LookUpDigests(context, *cache, run, folder);
      return folder;
    });
    pending_.push_back(PendingSearch{std::move(path), job});
  }
  if (!digestsWanted_) return;
  // The folders whose search has ended join those searched ahead, as long
  // as no earlier one is under way.
  while (!pending_.empty() && searches_.OldestDone()) {
    std::optional<ListedFolder> folder = searches_.Take(pending_.front().job, walkContext_);
    pending_.pop_front();
    aheadEntries_ += folder->entries.size();
    ++searchedFolders_;
    searchedEntries_ += folder->entries.size();
    ahead_.push_back(std::move(*folder));
  }
  PredictFolders();
  // Digests are queued in walk order, a folder at a time.
  // Those queued are the first of ahead_: the walk takes folders from the
  // front, and only a reset unqueues them, all at once.
  if (digests_.Outstanding() < kJobsAhead / 2) {
    for (; queuedAhead_ < ahead_.size(); ++queuedAhead_) {
      if (digests_.Outstanding() >= kJobsAhead) break;
      if (!ahead_[queuedAhead_].queued) QueueDigests(ahead_[queuedAhead_], 0, LargeLanes());
    }
  }
  QueueLargeFiles();
}

void ListingEngine::PredictFolders() {
  // The walk queues each folder's subfolders as it comes to the folder, so
  // that the queue reaches only a level or so past the walk. The subfolders
  // of the folders searched ahead are the ones it will queue next, in that
  // order: the searches go on into them, as far as kFoldersAhead allows. A
  // folder with more subfolders than that is left to the queue, which can
  // hold any number. While the walk queues subfolders not foretold, what
  // comes after them is not known yet.
  if (walkSubfolders_ == WalkSubfolders::NotForetold) return;
  while (predictedFolders_ < ahead_.size()) {
    const ListedFolder& folder = ahead_[predictedFolders_];
    const auto subfolders = static_cast<std::size_t>(std::count_if(folder.entries.begin(), folder.entries.end(), IsSubfolder));
    if (predicted_.size() + subfolders > kFoldersAhead) return;
    for (const FindData& entry : folder.entries)
      if (IsSubfolder(entry)) predicted_.push_back(SubfolderPath(folder.path, entry));
    ++predictedFolders_;
  }
}

void ListingEngine::ForgetPredictions() {
  predicted_.clear();
  predictedFolders_ = 0;
}

void ListingEngine::StopPrefetching() {
  for (DigestPool* pool : DigestPools()) pool->Reset();
  fetcher_.Reset();  // after the digests, which tell it what they took
  for (ListedFolder& folder : ahead_) {
    folder.jobs.clear();
    folder.queued = false;
  }
  queuedAhead_ = 0;
  largeFolder_ = largeEntry_ = 0;
  currentJob_ = kNoJob;
  aheadBytes_ = 0.0;
}

void ListingEngine::EndRun() {
  StopPrefetching();
  searches_.Reset();
  pending_.clear();
  ahead_.clear();
  queuedAhead_ = 0;
  aheadEntries_ = searchedFolders_ = searchedEntries_ = 0;
  ForgetPredictions();
  lookAheadNext_ = 0;
  digestsWanted_ = false;
  cache_.reset();  // writes back what it holds
  walkContext_.lookup.reset();
}

bool ListingEngine::Excluded(const std::string& folderPath, const std::string& name, bool isFolder) const {
  if (excludes_.Empty() || name == "." || name == "..") return false;
  if (folderPath.compare(0, root_.size(), root_) != 0) return excludes_.Excludes(name, isFolder);
  return excludes_.Excludes(folderPath.substr(root_.size()) + name, isFolder);
}

DigestCache* ListingEngine::Cache() {
  if (!reuseDigests_) return nullptr;
  if (!cache_) {
    cache_ = std::make_unique<DigestCache>(cacheFile_.empty() ? DigestStore::DefaultPath() : cacheFile_,
                                           [this](const std::string& text) { surfaces_.ShowWarning(text); }, clock_);
  }
  return cache_.get();
}

FileDigester::Result ListingEngine::DigestOf(const FindData& entry, const std::string& folderPath) {
  ++state_.DigestCount;
  if (currentReused_ != nullptr) {
    ++state_.ReusedDigestCount;
    return ReusedResult(currentReused_->Digest);
  }
  DigestCache* cache = entry.RegularFile ? Cache() : nullptr;
  if (cache != nullptr && currentJob_ == kNoJob) {
    if (auto digest = cache->Reusable(StampOf(entry), folderPath, algorithm_)) {
      ++state_.ReusedDigestCount;
      return FileDigester::Result::Of(*digest);
    }
  }
  // The digest opens the file by its real name, whatever the line shows.
  std::optional<FileDigester::Result> digest;
  if (currentJob_ != kNoJob) {
    DigestPool& pool = (currentJob_ & kLargeJob) != 0 ? largeDigests_ : digests_;
    digest = pool.Take(currentJob_ & ~kLargeJob, digester_, [this] { return StopAsked(); });
  }
  if (!digest) digest = ComputeFileDigest(folderPath + entry.Name, entry);
  // Only the digest of the file as its line shows it is kept; a read given
  // up for a stop is none.
  if (cache != nullptr && digest->outcome == FileDigester::Outcome::Read && !stopped_)
    cache->Keep(StampOf(entry), folderPath + entry.Name, std::string(digest->text.View()), currentSearchStart_);
  return std::move(*digest);
}

void ListingEngine::AddListingEntry(const FindData& entry, const std::string& folderPath) {
  if (IsSubfolder(entry)) {
    std::string folder = SubfolderPath(folderPath, entry);
    if (walkSubfolders_ == WalkSubfolders::Foretold) {
      if (!predicted_.empty() && predicted_.front() == folder) {
        predicted_.pop_front();
      } else {
        // Not as foretold: the searches ahead are out of step, and are
        // dropped when the walk comes to them; nothing more is foretold
        // until this folder's subfolders are all queued.
        ForgetPredictions();
        walkSubfolders_ = WalkSubfolders::NotForetold;
        lookAheadNext_ = std::min(lookAheadNext_, state_.FolderQueue.size());
      }
    }
    if (meta_) {
      std::string meta;
      AddMeta(meta, entry, folder, UnreadableKind::Folder, std::nullopt);
      folderMeta_.push_back(std::move(meta));
      folderMeta_.Passed(folderMeta_.size());  // wanted again only for the folder section
    }
    state_.FolderQueue.push_back(std::move(folder));
    return;
  }
  if (IsDotEntry(entry)) return;
  const double size = vexuf::GetWFDFileSize(entry);
  line_.clear();
  ListingLineFormat::AppendDateTime(line_, vexuf::GetWFDUTCTimeInTDataTime(entry, 0), settings_.TimeSeparator);
  line_ += ' ';
  ListingLineFormat::AppendSize(line_, size);
  line_ += " Bytes ";
  line_ += ListingLineFormat::FormatAttributeLetters(entry.Attributes);
  line_ += ' ';
  digestsWanted_ = follow_ ? follow_->digests.has_value() : surfaces_.Md5Ticked();
  if (digestsWanted_ && !std::exchange(kernelChecked_, true) && algorithm_ == DigestAlgorithm::Md5) {
    // A kernel asked for that cannot be had is told of, once a run needs one, not passed over.
    if (const auto problem = Md5Lanes::KernelProblem()) surfaces_.ShowWarning(*problem);
  }
  if (digestsWanted_) {
    // Found, though not listed until its digest is made.
    if (currentJob_ != kNoJob) aheadBytes_ -= size;
    pendingBytes_ = size;
    const FileDigester::Result digest = DigestOf(entry, folderPath);
    pendingBytes_ = 0.0;
    line_ += digest.text.View();
    line_ += ' ';
    if (stopped_) return;  // the read was given up: no line for a digest never made
    if (digest.outcome == FileDigester::Outcome::Failed)
      ReportUnreadable(UnreadableKind::File, folderPath + entry.Name, std::strerror(digest.error));
    else if (digest.outcome == FileDigester::Outcome::Changed)
      ReportUnreadable(UnreadableKind::File, folderPath + entry.Name, Texts::kChangedDuringRun);
  }
  if (meta_)
    AddMeta(line_, entry, folderPath + entry.Name, UnreadableKind::File,
            digestsWanted_ ? std::optional(algorithm_) : std::nullopt);
  ListingLineFormat::AppendListingText(line_, folderPath);
  ListingLineFormat::AppendListingText(line_, entry.Name);
  const auto length = static_cast<std::int32_t>(line_.size());
  if (length > state_.WidestLine) state_.WidestLine = length;
  surfaces_.PaneAddLine(PaneId::ListBox1, line_);
  ++state_.FileCount;
  state_.TotalSize += size;
}

void ListingEngine::AddMeta(std::string& line, const FindData& entry, const std::string& path, UnreadableKind kind,
                            std::optional<DigestAlgorithm> streamDigests) {
  // An entry the walk met without its folder's search (a test's own call)
  // is read here.
  EntryMeta own;
  const EntryMeta* meta = currentMeta_;
  if (meta == nullptr) {
    metaReader_->Read(path.substr(0, path.size() - entry.Name.size() - (kind == UnreadableKind::Folder ? 1 : 0)),
                      entry, streamDigests_, own);
    meta = &own;
  }
  ListingLineFormat::AppendMeta(line, entry, *meta, streamDigests);
  if (meta->Failures.empty()) return;
  std::string reason;
  for (const EntryMeta::Failure& failure : meta->Failures) {
    if (!reason.empty()) reason += "; ";
    reason += failure.What + ": " + std::strerror(failure.Error);
  }
  ReportUnreadable(kind, path, reason);
}

void ListingEngine::ReportFailures(const ListedFolder& folder) {
  for (const SearchFailure& failure : folder.failures) {
    std::string path = folder.path + failure.Name;
    if (!failure.Name.empty() && failure.Folder) path += kPathSeparator;
    ReportUnreadable(failure.Folder ? UnreadableKind::Folder : UnreadableKind::File, path,
                     std::strerror(failure.Error));
  }
}

void ListingEngine::ReportUnreadable(UnreadableKind kind, const std::string& path, std::string_view reason) {
  ++(kind == UnreadableKind::Folder ? unreadableFolders_ : unreadableFiles_);
  // The path as the listing writes it: a report never breaks a line either.
  std::string shown;
  ListingLineFormat::AppendListingText(shown, path);
  surfaces_.ReportUnreadable(kind, shown, reason);
}

void ListingEngine::ShowUnreadableCount() {
  unreadableText_.clear();
  if (unreadableFolders_ + unreadableFiles_ > 0)
    unreadableText_ = UnreadableCountText(unreadableFolders_, unreadableFiles_);
  // Whoever turned reuse on wants to know what it saved.
  std::string text = unreadableText_;
  if (reuseDigests_ && state_.DigestCount > 0) {
    if (!text.empty()) text += "; ";
    text += std::to_string(state_.ReusedDigestCount) + " of " + std::to_string(state_.DigestCount) +
            " digests reused";
  }
  if (!text.empty()) {
    surfaces_.StatusSetPanelText(4, text);
    showingUnreadable_ = true;
  } else if (showingUnreadable_) {
    // The count of an earlier run no longer holds.
    surfaces_.StatusSetPanelText(4, "");
    showingUnreadable_ = false;
  }
}
