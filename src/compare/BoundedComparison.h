#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compare/ComparisonResult.h"
#include "compare/LineChanges.h"
#include "compare/SpillChannel.h"
#include "surfaces/LineSource.h"

// The comparison of the window, for listings of any size in a fixed memory
// budget, with the same result lines in the same order.
//
// While the current listing, indexed, fits in half the budget, it is held in
// memory and the loaded listing streams past it. Otherwise both are spilled,
// each line with its number, into K temporary files by the hash of its key,
// so that every line of one key lands in one partition; each partition is
// then paired in memory by the same rule. The results of a partition come
// out in their final order (Modified and Deleted by loaded line, then Added
// by current line), and a merge of the K runs gives the whole. A partition
// whose current lines outgrow the budget is spread again by another hash, or,
// when all its lines have one key, paired as both sides stream past. Moves are
// paired the same way, by partitions of the move key, so that the unique-key
// rule sees every line of a key at once; those too are spread again when too
// large.
class BoundedComparison {
 public:
  struct Options {
    std::size_t memory = 256u << 20;  // the budget in bytes
    std::string temporaryFolder;
    bool moves = false;
    unsigned partitions = 0;  // more than 0: spill into that many, whatever the budget
    std::vector<std::string> ignore;  // fields left out of the comparison (LineChanges)
  };
  // How each result comes out: the current line is empty for a Deleted
  // change, the loaded one for an Added change.
  using ChangeTaker = std::function<void(ChangeKind kind, std::string_view current, std::string_view loaded)>;

  explicit BoundedComparison(Options options);
  ~BoundedComparison();

  // Reads the current listing, then the loaded one from openLoaded, and
  // pairs them. Fails with the texts of the window's comparison, in its
  // order: the files are read first, then their counts are checked.
  void Run(LineSource& current, const std::function<std::unique_ptr<LineSource>()>& openLoaded);
  // The same with a current listing that is in memory already; freeCurrent,
  // when given, is called once the lines have gone to temporary files.
  void Run(std::span<const std::string_view> current, const std::function<std::unique_ptr<LineSource>()>& openLoaded,
           const std::function<void()>& freeCurrent = {});

  // Hands over every change in the order of the result lines; the counts
  // are complete afterwards.
  void ForEachChange(const ChangeTaker& take);
  const ComparisonResult& Counts() const { return counts_; }

  // Whether both listings were read to their end, so that the line counts
  // below are whole.
  bool ListingsRead() const { return listingsRead_; }
  std::uint64_t CurrentLineCount() const { return currentLines_; }
  std::uint64_t LoadedLineCount() const { return loadedLines_; }
  // How many partitions the listings were spread over; 0 in memory.
  unsigned Partitions() const { return spilled_ ? static_cast<unsigned>(results_.size()) : 0; }

  // The warnings of a listing that holds a key more than once, which no walk
  // makes: one for each listing, naming the first repeated path. Complete
  // once Run has returned.
  std::vector<std::string> Warnings() const;

 private:
  class Partitioner;
  struct Part;
  // The first line that repeats a key of its listing, by number.
  struct Repeat {
    std::uint64_t line = UINT64_MAX;
    std::string text;
  };

  // knownLoadedCount: the loaded file count, when a first reading found it;
  // lines past it that only a count makes compared are then passed over.
  void InMemory(std::span<const std::string_view> current,
                const std::function<std::unique_ptr<LineSource>()>& openLoaded,
                std::optional<std::uint64_t> knownLoadedCount = std::nullopt);
  void OnDisk(std::span<const std::string_view> prefix, LineSource* rest, std::size_t averageLine,
              const std::function<std::unique_ptr<LineSource>()>& openLoaded, const std::function<void()>& freePrefix);
  unsigned PartitionCount(unsigned long long currentBytes, std::size_t averageLine) const;
  // Pairs a partition, its results in their order into results.
  void PairPartition(Part& current, SpillChannel& loaded, SpillChannel& results, std::size_t bufferSize,
                     unsigned level);
  void JoinPartition(SpillChannel& current, SpillChannel& loaded, SpillChannel& results);
  void ZipPartition(Part& current, SpillChannel& loaded, SpillChannel& results);
  static void MergeRuns(std::vector<SpillChannel>& runs, SpillChannel& into);
  static void NoteRepeat(Repeat& repeat, std::uint64_t line, std::string_view text);
  void CheckCounts();
  void AddResult(SpillChannel& results, ChangeKind kind, std::uint64_t line, std::string_view current,
                 std::string_view loaded, bool always = false);
  void PairMoves();
  // Pairs the moves of a partition, their fates in result order into fates.
  void PairMovePart(Part& moves, SpillChannel& fates, std::size_t bufferSize, unsigned level);
  void PairMovesInMemory(SpillChannel& moves, SpillChannel& into);
  void PairOneMoveKey(SpillChannel& moves, SpillChannel& fates);

  Options options_;
  LineChanges differ_;
  SpillChannel::Place place_;
  bool spilled_ = false;
  Repeat repeatedCurrent_, repeatedLoaded_;
  bool listingsRead_ = false;
  std::uint64_t currentLines_ = 0, loadedLines_ = 0;
  std::string lastCurrent_, lastLoaded_;
  long long currentCount_ = -1, loadedCount_ = -1;  // -1 until read from the last lines
  std::vector<SpillChannel> results_;  // one run per partition, each in result order
  std::vector<Part> moves_;            // Deleted and Added lines, by move key
  std::vector<SpillChannel> fates_;    // what pairing moves did to them, in result order
  ComparisonResult counts_;
};
