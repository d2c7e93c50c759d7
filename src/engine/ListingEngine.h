#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "surfaces/MainWindowState.h"
#include "surfaces/Surfaces.h"
#include "engine/DigestCache.h"
#include "engine/DigestLookup.h"
#include "engine/ExcludePatterns.h"
#include "engine/FileDigester.h"
#include "engine/PageFetcher.h"
#include "engine/PageReleaser.h"
#include "engine/ReadAheadPool.h"
#include "platform/FileReader.h"
#include "platform/FindData.h"
#include "platform/FolderSearch.h"
#include "platform/SystemMetaReader.h"
#include "surfaces/FolderQueue.h"
#include "platform/SystemFileReader.h"
#include "platform/RegionalSettings.h"

// The listing run: walks a folder tree breadth-first and fills ListBox1 with
// the file lines, the folder section and the summary line.
class ListingEngine {
 public:
  // Reads of files under way at once in a digest listing: enough to keep the
  // queue of a solid-state or network disk full.
  static constexpr std::size_t kDefaultReaders = 256;
  static constexpr std::size_t kMaxReaders = 1024;
  static constexpr std::size_t kSearchesAtOnce = 4;

  // Digests are read through reader, or through the system's own file access
  // when there is none.
  ListingEngine(MainWindowState& state, Surfaces& surfaces, FolderSearch& search, const RegionalSettings& settings,
                FileReader* reader = nullptr);

  // False when the user stopped the run: then ListBox1 holds the lines found
  // so far and a closing line, and the run counts as no listing at all.
  bool RunListing(const std::string& folderPath);
  void ScanFolder(const std::string& folderPath);
  void AddListingEntry(const FindData& entry, const std::string& folderPath);
  FileDigester::Result ComputeFileDigest(const std::string& filePath, const FindData& entry) {
    return digester_.ComputeFileDigest(filePath, FileDigester::Expected::Of(entry));
  }

  // "2 folders and 1 file could not be read", as panel 4 shows it after a run.
  static std::string UnreadableCountText(int folders, int files);
  // That text for the last run; empty when it read everything.
  const std::string& UnreadableText() const { return unreadableText_; }

  // How many reads of files a digest listing keeps under way ahead of the
  // walk, from 1 (everything on the calling thread, one read at a time) to
  // kMaxReaders. Any listing searches up to kSearchesAtOnce folders at once
  // when readers is more than 1, and as many threads as there are cores make
  // the digests. Lines and surface operations come in walk order whatever
  // the number.
  void SetReaders(std::size_t readers);
  // The digest cache that runs with reuse switched on use; empty: the user's
  // default one.
  void SetDigestCacheFile(std::string path) { cacheFile_ = std::move(path); }
  // The clock that times the reads against the files' change times for the
  // digest cache; the system's by default.
  void SetClock(DigestCache::Clock clock) { clock_ = std::move(clock); }
  // The digest that runs from the next one on put on file lines when the
  // check box asks for digests: MD5 unless told otherwise.
  void SetDigestAlgorithm(DigestAlgorithm algorithm) { nextAlgorithm_ = algorithm; }
  DigestAlgorithm NextDigestAlgorithm() const { return nextAlgorithm_; }
  // The next run alone makes its lines as another listing was made: with
  // digests of that algorithm, or (nothing) without, whatever the check box
  // says. A comparison with that listing then sees only what changed.
  void FollowListingOnce(std::optional<DigestAlgorithm> digests, bool meta = false) {
    nextFollow_ = Follow{digests, meta};
  }
  // Whether the runs from the next one on put the metadata group on each
  // file and folder line (see ListingLineFormat::AppendMeta).
  void SetMetadata(bool meta) { nextMeta_ = meta; }
  bool NextMetadata() const { return nextMeta_; }
  // Where metadata is read from; the system's own by default. Tests put a
  // stand-in here.
  void SetMetaReader(MetaReader* reader) { metaReader_ = reader != nullptr ? reader : &systemMeta_; }

 private:
  // One folder's search results, taken ahead of the walk when digests are
  // read, with the digest job of each file entry.
  struct ListedFolder {
    std::string path;
    std::vector<FindData> entries;  // empty: the search yielded nothing
    std::vector<std::size_t> jobs;  // empty: no digests queued for it
    bool queued = false;            // all its digests are queued, not only its large files'
    std::vector<SearchFailure> failures;  // what the search could not read
    // Per entry, the digest the cache gives back: found by the search
    // (looked up), or by the walk as it queues the entry's digest.
    std::vector<CachedDigest> reused;
    bool lookedUp = false;            // the search looked the entries up in the cache
    bool reuseCounted = false;        // the walk has taken what the search found
    std::int64_t searchStartNs = 0;   // taken before any entry's state was read
    std::vector<EntryMeta> metas;     // per entry, in a metadata run
  };
  // A folder search under way ahead of the walk.
  struct PendingSearch {
    std::string path;
    std::size_t job;
  };
  // What a search works with: its own way into the digest cache.
  struct SearchContext {
    std::unique_ptr<DigestLookup> lookup;
    std::uint64_t run = 0;  // the run whose cache lookup is of
  };
  // The digest of one file queued ahead, made on whichever thread comes first.
  struct DigestJob;
  using DigestPool = ReadAheadPool<FileDigester::Result, FileDigester, DigestJob>;
  struct DigestJob {
    ListingEngine* engine;
    std::shared_ptr<PageFetcher::File> file;
    FileDigester::Result operator()(FileDigester& digester) const;
    // Many files at once, a block of each hashed together, where the CPU
    // has the vector instructions for it.
    static void RunBatch(FileDigester& digester, DigestPool::Batch& batch);
  };
  using SearchPool = ReadAheadPool<ListedFolder, SearchContext>;
  static constexpr std::size_t kNoJob = DigestPool::kNoJob;
  // Marks a job of largeDigests_.
  static constexpr std::size_t kLargeJob = kNoJob / 2 + 1;

  // Searches one folder, on any thread; gives up part-way once stop says so.
  ListedFolder ListFolder(const std::string& folderPath, const std::string& mask, int attributes,
                          const std::function<bool()>& stop) const;
  ListedFolder TakeListedFolder(const std::string& folderPath);
  // Looks folder's files up in cache, on the thread that searched it.
  void LookUpDigests(SearchContext& context, const DigestCache& cache, std::uint64_t run, ListedFolder& folder) const;
  // Takes over what the search found in the cache for folder, once.
  void TakeLookup(ListedFolder& folder, DigestCache& cache);
  // Queues the digests of folder's entries from from on; those of its large
  // files too unless the large files' own lanes take them (largeApart).
  void QueueDigests(ListedFolder& folder, std::size_t from, bool largeApart);
  // Where large files hash in lanes of their own.
  bool LargeLanes() const { return readers_ > 1 && digester_.HashesInLanes(); }
  // The file whose digest folder's entry i needs, null when it is queued
  // already, the cache gives it back, or there is nothing to read.
  std::shared_ptr<PageFetcher::File> FileToDigest(ListedFolder& folder, std::size_t i);
  // Queues the large files of the folders searched ahead, ahead of their
  // turn, so that they are hashed side by side.
  void QueueLargeFiles();
  // Queues folder's large files from entry from on while fewer than most
  // are outstanding; the entry it got to.
  std::size_t QueueLargeFiles(ListedFolder& folder, std::size_t from, std::size_t most);
  // As many digest helpers as the readers, the cores and the digest allow.
  void SetDigestHelpers();
  // What makes the digester of each helper of pool.
  DigestPool::MakeContext HelperDigesters(DigestPool ListingEngine::*pool);
  std::array<DigestPool*, 2> DigestPools() { return {&digests_, &largeDigests_}; }
  std::array<const DigestPool*, 2> DigestPools() const { return {&digests_, &largeDigests_}; }
  void LookAhead();
  // Scans a folder, then foretells what comes after it.
  void WalkFolder(const std::string& folderPath);
  // Foretells the folders the walk will queue next, from those searched ahead.
  void PredictFolders();
  void ForgetPredictions();
  void StopPrefetching();
  void EndRun();
  // Shows the figures so far and asks the window whether to stop; true from
  // then on until the run has ended.
  bool StopAsked();
  void EndStoppedRun();
  std::uint64_t BytesDigested() const;
  void ReportUnreadable(UnreadableKind kind, const std::string& path, std::string_view reason);
  // Appends the entry's metadata group to line and tells what of it could
  // not be read.
  void AddMeta(std::string& line, const FindData& entry, const std::string& path, UnreadableKind kind,
               std::optional<DigestAlgorithm> streamDigests);
  void ReportFailures(const ListedFolder& folder);
  void ShowUnreadableCount();
  bool Excluded(const std::string& folderPath, const std::string& name, bool isFolder) const;
  // The digest cache of this run, opened when first wanted; null when reuse is off.
  DigestCache* Cache();
  FileDigester::Result DigestOf(const FindData& entry, const std::string& folderPath);

  MainWindowState& state_;
  Surfaces& surfaces_;
  FolderSearch& search_;
  const RegionalSettings& settings_;
  SystemFileReader systemReader_;
  FileReader& reader_;
  PageReleaser releaser_;  // outlives the digesters that use it
  PageFetcher fetcher_;
  FileDigester digester_;
  SearchContext walkContext_;  // of the searches the walk makes itself
  std::size_t readers_ = kDefaultReaders;
  SearchPool searches_;
  DigestPool digests_;
  // The large files' digests, queued once their folder is searched and
  // hashed in lanes of their own, each in walk order like digests_.
  DigestPool largeDigests_;
  std::deque<PendingSearch> pending_;  // searches of the queued folders after ahead_, in walk order
  std::deque<ListedFolder> ahead_;     // queued folders already searched, in walk order
  std::size_t queuedAhead_ = 0;        // how many of ahead_, from the front, have all their digests queued
  std::size_t aheadEntries_ = 0;       // what ahead_ holds
  std::size_t searchedFolders_ = 0;    // folders searched ahead in this run, and their entries
  std::size_t searchedEntries_ = 0;
  std::size_t lookAheadNext_ = 0;      // the next queued folder to search ahead, or foretold one past the queue
  std::deque<std::string> predicted_;  // the subfolders of ahead_'s first predictedFolders_, to be queued in this order
  std::size_t predictedFolders_ = 0;
  // The subfolders of the folder being walked: foretold (at the front of
  // predicted_), not foretold, or all queued once it is walked.
  enum class WalkSubfolders { Queued, Foretold, NotForetold };
  WalkSubfolders walkSubfolders_ = WalkSubfolders::Queued;
  std::size_t largeFolder_ = 0;        // where in ahead_ the look for large files has got to
  std::size_t largeEntry_ = 0;
  // The walked folder's large files from this entry on are not queued yet,
  // and may be, in order; kNoJob when files after them are queued already.
  std::size_t walkedLargeFrom_ = kNoJob;
  std::size_t currentJob_ = kNoJob;
  std::size_t filesSinceLookAhead_ = 0;
  const CachedDigest* currentReused_ = nullptr;  // the cache's digest of the entry being added
  std::int64_t currentSearchStart_ = 0;
  std::string root_;                // the folder this run lists
  ExcludePatterns excludes_;        // of this run
  bool reuseDigests_ = false;       // of this run
  DigestAlgorithm algorithm_ = DigestAlgorithm::Md5;  // of this run
  DigestAlgorithm nextAlgorithm_ = DigestAlgorithm::Md5;
  struct Follow {
    std::optional<DigestAlgorithm> digests;
    bool meta = false;
  };
  bool nextMeta_ = false;
  bool meta_ = false;               // of this run
  std::optional<DigestAlgorithm> streamDigests_;  // what streams are read for in this run
  SystemMetaReader systemMeta_;
  MetaReader* metaReader_ = &systemMeta_;
  const EntryMeta* currentMeta_ = nullptr;  // of the entry being added
  // The metadata group of each folder of FolderQueue, in a metadata run.
  FolderQueue folderMeta_;
  std::optional<Follow> nextFollow_, follow_;  // the digests of the next run, and of this one
  std::string cacheFile_;
  DigestCache::Clock clock_ = DigestCache::RealClock;
  std::unique_ptr<DigestCache> cache_;
  bool digestsWanted_ = false;      // what the check box said last in this run
  bool kernelChecked_ = false;      // this run has told of a QUILLON_MD5_KERNEL it cannot follow
  bool running_ = false;
  std::uint64_t run_ = 0;           // counts the runs
  bool stopped_ = false;
  RunProgress progress_;
  std::uint64_t digestedBefore_ = 0;  // the readers' byte counts when the run began
  double aheadBytes_ = 0.0;         // sizes of the files queued for digests and not yet listed
  double pendingBytes_ = 0.0;       // size of the file whose digest the walk waits for
  std::string line_;                // reused for every file line
  int unreadableFolders_ = 0;       // in this run
  int unreadableFiles_ = 0;
  bool showingUnreadable_ = false;  // panel 4 shows the count of the last run
  std::string unreadableText_;
};
