#include "compare/BoundedComparison.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <queue>

#include "compare/ComparisonKey.h"
#include "compare/KeyJoin.h"
#include "compare/MovePairing.h"
#include "platform/QuillonError.h"
#include "surfaces/ErrorText.h"
#include "surfaces/LineStore.h"

namespace {

// The head of a record in a temporary file, followed by its two texts.
struct Head {
  std::uint64_t key;        // a line number; for an Added result kAdded and the current line number
  std::uint32_t first;      // the length of the first text: a result's current line
  std::uint32_t second;     // of the second: a listing line, or a result's loaded line
  std::uint32_t kind;       // a result's ChangeKind
  std::uint32_t keyLength;  // a listing line's key
};
constexpr std::uint64_t kAdded = std::uint64_t{1} << 63;
// A listing line's kind, or a result's keyLength, when the line is compared
// wherever it stands (ComparisonKey::ComparedPastCount), past the count too.
constexpr std::uint32_t kAlways = 1;
// What a current line held in memory costs besides its text: a view, and its
// share of the join.
constexpr std::size_t kPerLine = sizeof(std::string_view) + KeyJoin::kBytesPerLine;
// The same for a line of a partition: its head, number and key length too.
constexpr std::size_t kPerPartLine = kPerLine + sizeof(Head) + sizeof(std::uint64_t) + sizeof(std::uint32_t);
// What a Deleted or Added line costs while moves are paired in memory: views,
// its number, and its share of the pairing's map and of the fates.
constexpr std::size_t kPerMoveLine = 192;
constexpr unsigned kMostPartitions = 512;
// How often a partition too large for the budget is spread again, each time
// by another hash. Only keys whose hashes agree at every level are paired in
// memory past the budget.
constexpr unsigned kMostLevels = 6;

// A partition by other bits of the hash than the join's table uses: the high
// half of the hash, mixed, scaled to the count.
std::size_t PartitionOf(std::uint64_t hash, std::size_t count) {
  const std::uint64_t mixed = (hash * 0x9E3779B97F4A7C15ull) >> 32;
  return static_cast<std::size_t>((mixed * count) >> 32);
}

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDull;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53ull;
  return x ^ (x >> 33);
}

// The hash a partition is spread by at a level: the join's at the first, then
// one seeded by the level, so that keys that share a partition at one level
// part at the next.
std::uint64_t LevelHash(std::string_view key, unsigned level) {
  if (level == 0) return KeyJoin::Hash(key);
  std::uint64_t hash = Mix(level * 0x9E3779B97F4A7C15ull ^ key.size());
  std::size_t at = 0;
  for (; at + 8 <= key.size(); at += 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, key.data() + at, 8);
    hash = Mix(hash ^ chunk);
  }
  std::uint64_t tail = 0;
  std::memcpy(&tail, key.data() + at, key.size() - at);
  return Mix(hash ^ tail);
}

// The file count of a listing's last line as the window reads it; -1 where it
// cannot be read.
long long FileCount(const std::string& lastLine, std::uint64_t lines) {
  if (lines == 0) return -1;
  const auto count = ComparisonKey::ReadFileCount(lastLine);
  return count && *count >= 0 && *count <= INT_MAX ? *count : -1;
}

// Whether a listing record is compared: a file line, or one compared
// wherever it stands.
bool IsCompared(const Head& head, std::uint64_t count) { return head.key < count || head.kind == kAlways; }

int AsIndex(std::uint64_t count) { return static_cast<int>(std::min<std::uint64_t>(count, INT_MAX)); }

// The records of a channel one at a time: the head and both texts.
struct Record {
  Head head;
  std::string_view first, second;

  bool ReadFrom(SpillChannel& channel) {
    const char* at = channel.Take(sizeof head);
    if (at == nullptr) return false;
    std::memcpy(&head, at, sizeof head);
    const std::size_t length = std::size_t{head.first} + head.second;
    const char* text = length > 0 ? channel.Take(length) : "";
    if (text == nullptr) throw QuillonError(ErrorText::kTemporaryFileCutShort);
    first = std::string_view(text, head.first);
    second = std::string_view(text + head.first, head.second);
    return true;
  }
};

void PutRecord(SpillChannel& channel, const Head& head, std::string_view first, std::string_view second) {
  channel.Put(&head, sizeof head);
  channel.Put(first.data(), first.size());
  channel.Put(second.data(), second.size());
}

}  // namespace

// A partition of a listing: its records, and whether all have one key.
struct BoundedComparison::Part {
  SpillChannel channel;
  std::uint64_t lines;
  std::string firstKey;
  bool oneKey;

  void Note(std::string_view key) {
    if (lines++ == 0) {
      firstKey.assign(key);
    } else if (oneKey && key != firstKey) {
      oneKey = false;
    }
  }
};

// Spills listing lines with a key into K temporary files by its hash, and
// tells of each whether all its lines have one key.
class BoundedComparison::Partitioner {
 public:
  Partitioner(const SpillChannel::Place* place, unsigned count, std::size_t bufferSize, unsigned level)
      : level_(level) {
    parts.reserve(count);
    for (unsigned p = 0; p < count; ++p) parts.push_back(Part{SpillChannel(place, bufferSize), 0, {}, true});
  }

  void Add(std::string_view line, std::uint64_t number) {
    const std::uint32_t keyLength = KeyJoin::KeyLength(line);
    if (keyLength != KeyJoin::kNoKey) Put(line, number, keyLength, ComparisonKey::ComparedPastCount(line));
  }

  void Put(std::string_view line, std::uint64_t number, std::uint32_t keyLength, bool always) {
    const std::string_view key = KeyJoin::KeyOf(line, keyLength);
    Part& part = parts[PartitionOf(LevelHash(key, level_), parts.size())];
    part.Note(key);
    PutRecord(part.channel, Head{number, 0, static_cast<std::uint32_t>(line.size()), always ? kAlways : 0, keyLength}, {},
              line);
  }

  void StartReading() {
    for (Part& part : parts) part.channel.StartReading();
  }

  std::vector<Part> parts;

 private:
  unsigned level_;
};

BoundedComparison::BoundedComparison(Options options) : options_(std::move(options)), differ_(options_.ignore) {
  place_.folder = options_.temporaryFolder;
}

BoundedComparison::~BoundedComparison() = default;

void BoundedComparison::Run(LineSource& current, const std::function<std::unique_ptr<LineSource>()>& openLoaded) {
  LineStore store;
  std::size_t bytes = 0;
  bool fits = options_.partitions == 0;
  std::string_view line;
  while (fits && current.Next(line)) {
    store.Append(line);
    bytes += line.size();
    fits = bytes + store.Size() * kPerLine <= options_.memory / 2;
  }
  if (fits) {
    InMemory(store.Lines(), openLoaded);
    return;
  }
  const std::size_t average = store.Size() > 0 ? bytes / store.Size() : 128;
  OnDisk(store.Lines(), &current, average, openLoaded, [&store] { store.Clear(); });
}

void BoundedComparison::Run(std::span<const std::string_view> current,
                            const std::function<std::unique_ptr<LineSource>()>& openLoaded,
                            const std::function<void()>& freeCurrent) {
  std::size_t bytes = 0;
  for (const std::string_view line : current) bytes += line.size();
  if (options_.partitions == 0 && bytes + current.size() * kPerLine <= options_.memory / 2) {
    InMemory(current, openLoaded);
    return;
  }
  OnDisk(current, nullptr, current.empty() ? 128 : bytes / current.size(), openLoaded, freeCurrent);
}

void BoundedComparison::InMemory(std::span<const std::string_view> current,
                                 const std::function<std::unique_ptr<LineSource>()>& openLoaded,
                                 std::optional<std::uint64_t> knownLoadedCount) {
  results_.clear();
  moves_.clear();
  repeatedCurrent_ = {};
  repeatedLoaded_ = {};
  currentLines_ = current.size();
  if (!current.empty()) lastCurrent_ = current.back();
  const std::unique_ptr<LineSource> loaded = openLoaded();
  currentCount_ = FileCount(lastCurrent_, currentLines_);
  // The results stay in memory up to a quarter of the budget: listings that
  // differ in most lines have them on disk.
  const std::size_t resultMemory = std::max<std::size_t>(options_.memory / 4, 4096);
  place_.bytesNeeded = static_cast<unsigned long long>(std::max(loaded->SizeHint(), 0LL)) * 2;
  results_.emplace_back(&place_, resultMemory);
  if (options_.moves) moves_.push_back(Part{SpillChannel(&place_, resultMemory), 0, {}, true});

  // A current listing without a usable count gets no index: its fault is
  // told once the loaded listing has been read, as the window tells it.
  std::optional<KeyJoin> join;
  std::span<const std::string_view> indexed;
  if (currentCount_ >= 0 && static_cast<std::uint64_t>(currentCount_) <= currentLines_) {
    // The file lines, and past them the lines compared wherever they stand.
    const auto count = static_cast<std::size_t>(currentCount_);
    indexed = current;
    std::vector<std::uint32_t> keyLengths(indexed.size(), KeyJoin::kNoKey);
    for (std::size_t j = 0; j < indexed.size(); ++j)
      if (j < count || ComparisonKey::ComparedPastCount(indexed[j])) keyLengths[j] = KeyJoin::KeyLength(indexed[j]);
    join.emplace(indexed, std::move(keyLengths));
    if (join->RepeatedCurrent() != KeyJoin::kNoRepeat)
      NoteRepeat(repeatedCurrent_, join->RepeatedCurrent(), indexed[static_cast<std::size_t>(join->RepeatedCurrent())]);
  }
  // The loaded count is known only at the end: results of lines past it are
  // left out when the results are read.
  std::uint64_t i = 0;
  std::string_view line;
  // The last line paired only because it might lie within the count.
  std::optional<std::uint64_t> lastCountedMatch;
  for (; loaded->Next(line); ++i) {
    lastLoaded_.assign(line);
    if (!join) continue;
    const std::uint32_t keyLength = KeyJoin::KeyLength(line);
    if (keyLength == KeyJoin::kNoKey) continue;
    const bool always = ComparisonKey::ComparedPastCount(line);
    if (!always && knownLoadedCount && i >= *knownLoadedCount) continue;
    const long long match = join->Match(KeyJoin::KeyOf(line, keyLength), i, always);
    if (match >= 0 && !always) lastCountedMatch = i;
    if (join->RepeatedLoaded() == i) NoteRepeat(repeatedLoaded_, i, line);
    if (match < 0) {
      AddResult(results_[0], ChangeKind::Deleted, i, {}, line, always);
    } else if (differ_.Differs(indexed[static_cast<std::size_t>(match)], line)) {
      AddResult(results_[0], ChangeKind::Modified, i, indexed[static_cast<std::size_t>(match)], line, always);
    }
  }
  loadedLines_ = i;
  CheckCounts();
  // A line past the count, which the count only told at the end, took a
  // current line that a line compared wherever it stands may want: the
  // pairing is made again, now that the count is known. Only a malformed
  // listing has such lines.
  if (!knownLoadedCount && lastCountedMatch && *lastCountedMatch >= static_cast<std::uint64_t>(loadedCount_)) {
    InMemory(current, openLoaded, static_cast<std::uint64_t>(loadedCount_));
    return;
  }
  for (std::size_t j = 0; j < indexed.size(); ++j)
    if (join->IsAdded(j, static_cast<std::uint64_t>(loadedCount_))) AddResult(results_[0], ChangeKind::Added, j, indexed[j], {});
  PairMoves();
}

unsigned BoundedComparison::PartitionCount(unsigned long long currentBytes, std::size_t averageLine) const {
  // Each partition of the current listing, indexed, should fill half the budget.
  const double perByte =
      1.0 + static_cast<double>(sizeof(Head) + kPerLine) / static_cast<double>(std::max<std::size_t>(averageLine, 1));
  const double wanted =
      static_cast<double>(currentBytes) * perByte / static_cast<double>(std::max<std::size_t>(options_.memory / 2, 1));
  unsigned count = 2;
  while (count < kMostPartitions && count < wanted) count *= 2;
  return count;
}

void BoundedComparison::OnDisk(std::span<const std::string_view> prefix, LineSource* rest, std::size_t averageLine,
                               const std::function<std::unique_ptr<LineSource>()>& openLoaded,
                               const std::function<void()>& freePrefix) {
  spilled_ = true;
  unsigned long long bytes = 0;
  for (const std::string_view line : prefix) bytes += line.size();
  // A listing of unknown size that outgrew the budget is taken to be a few
  // times what has been read of it.
  const long long hint = rest != nullptr ? rest->SizeHint() : -1;
  const unsigned long long currentBytes =
      rest == nullptr ? bytes : hint >= 0 ? static_cast<unsigned long long>(hint) : std::max(bytes * 4, 1ull << 30);
  const unsigned count = options_.partitions > 0 ? options_.partitions : PartitionCount(currentBytes, averageLine);
  const std::size_t bufferSize = std::clamp<std::size_t>(options_.memory / 8 / count, 256, 1u << 20);
  // Both listings with a head per line, and the results: the guess a full
  // disk is told with until the loaded listing's size is known.
  place_.bytesNeeded = currentBytes * 5 / 2;

  Partitioner currentParts(&place_, count, bufferSize, 0);
  std::uint64_t j = 0;
  for (const std::string_view line : prefix) currentParts.Add(line, j++);
  if (!prefix.empty()) lastCurrent_ = prefix.back();
  if (freePrefix) freePrefix();
  std::string_view line;
  if (rest != nullptr) {
    for (; rest->Next(line); ++j) {
      currentParts.Add(line, j);
      lastCurrent_.assign(line);
    }
  }
  currentLines_ = j;
  currentParts.StartReading();
  currentCount_ = FileCount(lastCurrent_, currentLines_);

  const std::unique_ptr<LineSource> loaded = openLoaded();
  if (loaded->SizeHint() >= 0)
    place_.bytesNeeded = (currentBytes + static_cast<unsigned long long>(loaded->SizeHint())) * 6 / 5;
  Partitioner loadedParts(&place_, count, bufferSize, 0);
  std::uint64_t i = 0;
  for (; loaded->Next(line); ++i) {
    loadedParts.Add(line, i);
    lastLoaded_.assign(line);
  }
  loadedLines_ = i;
  loadedParts.StartReading();
  CheckCounts();

  if (options_.moves)
    for (unsigned p = 0; p < count; ++p) moves_.push_back(Part{SpillChannel(&place_, bufferSize), 0, {}, true});
  for (unsigned p = 0; p < count; ++p) results_.emplace_back(&place_, bufferSize);
  for (unsigned p = 0; p < count; ++p) {
    PairPartition(currentParts.parts[p], loadedParts.parts[p].channel, results_[p], bufferSize, 0);
    results_[p].StartReading();
  }
  PairMoves();
}

void BoundedComparison::PairPartition(Part& current, SpillChannel& loaded, SpillChannel& results,
                                      std::size_t bufferSize, unsigned level) {
  // A partition may come out larger than planned: from a listing of unknown
  // size, or from many lines of one key, which all land in one partition.
  const unsigned long long need = current.channel.Written() + current.lines * kPerPartLine;
  const std::size_t half = std::max<std::size_t>(options_.memory / 2, 1);
  // Hashing spreads lines a little unevenly; a partition a little larger
  // than planned is still paired in memory.
  if (current.lines == 0 || current.oneKey) {
    ZipPartition(current, loaded, results);
  } else if (need <= half + half / 4 || level >= kMostLevels) {
    JoinPartition(current.channel, loaded, results);
  } else {
    // Spread again, each part with its own results, merged back in order.
    // The parts share the buffers of this one.
    unsigned count = 2;
    while (count < kMostPartitions && count * static_cast<unsigned long long>(half) < need) count *= 2;
    const std::size_t partBuffer = std::max<std::size_t>(bufferSize / count, 256);
    const auto currentCount = static_cast<std::uint64_t>(currentCount_);
    const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);
    Partitioner currentParts(&place_, count, partBuffer, level + 1);
    Partitioner loadedParts(&place_, count, partBuffer, level + 1);
    Record record;
    while (record.ReadFrom(current.channel))
      if (IsCompared(record.head, currentCount))
        currentParts.Put(record.second, record.head.key, record.head.keyLength, record.head.kind == kAlways);
    current.channel.Release();
    while (record.ReadFrom(loaded))
      if (IsCompared(record.head, loadedCount))
        loadedParts.Put(record.second, record.head.key, record.head.keyLength, record.head.kind == kAlways);
    loaded.Release();
    currentParts.StartReading();
    loadedParts.StartReading();
    std::vector<SpillChannel> partResults;
    partResults.reserve(count);
    for (unsigned p = 0; p < count; ++p) {
      partResults.emplace_back(&place_, partBuffer);
      PairPartition(currentParts.parts[p], loadedParts.parts[p].channel, partResults.back(), partBuffer, level + 1);
      partResults.back().StartReading();
    }
    MergeRuns(partResults, results);
  }
  current.channel.Release();
  loaded.Release();
}

void BoundedComparison::MergeRuns(std::vector<SpillChannel>& runs, SpillChannel& into) {
  using Next = std::pair<std::uint64_t, std::size_t>;
  std::priority_queue<Next, std::vector<Next>, std::greater<>> queue;
  std::vector<Record> heads(runs.size());
  for (std::size_t r = 0; r < runs.size(); ++r)
    if (heads[r].ReadFrom(runs[r])) queue.emplace(heads[r].head.key, r);
  while (!queue.empty()) {
    const std::size_t r = queue.top().second;
    queue.pop();
    PutRecord(into, heads[r].head, heads[r].first, heads[r].second);
    if (heads[r].ReadFrom(runs[r])) {
      queue.emplace(heads[r].head.key, r);
    } else {
      runs[r].Release();
    }
  }
}

void BoundedComparison::JoinPartition(SpillChannel& current, SpillChannel& loaded, SpillChannel& results) {
  const auto currentCount = static_cast<std::uint64_t>(currentCount_);
  const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);
  // The current lines of the partition in memory, in their order.
  std::vector<std::string_view> lines;
  std::vector<std::uint64_t> numbers;
  std::vector<std::uint32_t> keyLengths;
  const std::string_view part = current.TakeAll();
  for (std::size_t at = 0; at < part.size();) {
    Head head;
    std::memcpy(&head, part.data() + at, sizeof head);
    at += sizeof head;
    if (IsCompared(head, currentCount)) {
      lines.push_back(part.substr(at, head.second));
      numbers.push_back(head.key);
      keyLengths.push_back(head.keyLength);
    }
    at += head.second;
  }
  KeyJoin join(lines, std::move(keyLengths));
  if (join.RepeatedCurrent() != KeyJoin::kNoRepeat) {
    const auto j = static_cast<std::size_t>(join.RepeatedCurrent());
    NoteRepeat(repeatedCurrent_, numbers[j], lines[j]);
  }
  Record loadedLine;
  while (loadedLine.ReadFrom(loaded)) {
    if (!IsCompared(loadedLine.head, loadedCount)) continue;
    const std::string_view text = loadedLine.second;
    const bool always = loadedLine.head.kind == kAlways;
    const long long match = join.Match(KeyJoin::KeyOf(text, loadedLine.head.keyLength), loadedLine.head.key, always);
    if (join.RepeatedLoaded() == loadedLine.head.key) NoteRepeat(repeatedLoaded_, loadedLine.head.key, text);
    if (match < 0) {
      AddResult(results, ChangeKind::Deleted, loadedLine.head.key, {}, text, always);
    } else if (differ_.Differs(lines[static_cast<std::size_t>(match)], text)) {
      AddResult(results, ChangeKind::Modified, loadedLine.head.key, lines[static_cast<std::size_t>(match)], text, always);
    }
  }
  for (std::size_t k = 0; k < lines.size(); ++k)
    if (join.IsAdded(k, loadedCount)) AddResult(results, ChangeKind::Added, numbers[k], lines[k], {});
}

void BoundedComparison::ZipPartition(Part& current, SpillChannel& loaded, SpillChannel& results) {
  // All current lines, if any, have one key: they pair with its loaded lines
  // in turn, both read as they come, none held.
  const auto currentCount = static_cast<std::uint64_t>(currentCount_);
  const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);
  Record now;
  std::uint64_t taken = 0;
  const auto next = [&] {
    while (now.ReadFrom(current.channel)) {
      if (!IsCompared(now.head, currentCount)) continue;
      if (++taken == 2) NoteRepeat(repeatedCurrent_, now.head.key, now.second);
      return true;
    }
    return false;
  };
  bool have = next();
  const bool keyInCurrent = have;
  bool keyMet = false;
  Record old;
  while (old.ReadFrom(loaded)) {
    if (!IsCompared(old.head, loadedCount)) continue;
    const std::string_view text = old.second;
    const bool always = old.head.kind == kAlways;
    if (keyInCurrent && KeyJoin::KeyOf(text, old.head.keyLength) == current.firstKey) {
      if (keyMet) NoteRepeat(repeatedLoaded_, old.head.key, text);
      keyMet = true;
      if (have) {
        if (differ_.Differs(now.second, text))
          AddResult(results, ChangeKind::Modified, old.head.key, now.second, text, always);
        have = next();
        continue;
      }
    }
    AddResult(results, ChangeKind::Deleted, old.head.key, {}, text, always);
  }
  for (; have; have = next()) AddResult(results, ChangeKind::Added, now.head.key, now.second, {});
}

void BoundedComparison::NoteRepeat(Repeat& repeat, std::uint64_t line, std::string_view text) {
  if (line >= repeat.line) return;
  repeat.line = line;
  repeat.text.assign(text);
}

std::vector<std::string> BoundedComparison::Warnings() const {
  std::vector<std::string> warnings;
  if (repeatedCurrent_.line != KeyJoin::kNoRepeat)
    warnings.push_back(ErrorText::RepeatedPath("current listing", ComparisonKey::ShownPath(repeatedCurrent_.text)));
  if (repeatedLoaded_.line < static_cast<std::uint64_t>(std::max(loadedCount_, 0LL)))
    warnings.push_back(ErrorText::RepeatedPath("loaded listing", ComparisonKey::ShownPath(repeatedLoaded_.text)));
  return warnings;
}

void BoundedComparison::CheckCounts() {
  listingsRead_ = true;
  loadedCount_ = FileCount(lastLoaded_, loadedLines_);
  if (currentLines_ == 0) throw QuillonError(ErrorText::ListIndexOutOfBounds(-1));
  if (currentCount_ < 0) throw QuillonError(ErrorText::NoFileCount("current listing"));
  if (loadedLines_ == 0) throw QuillonError(ErrorText::ListIndexOutOfBounds(-1));
  if (loadedCount_ < 0) throw QuillonError(ErrorText::NoFileCount("loaded listing"));
  // The window fails at the first line a listing lacks.
  if (static_cast<std::uint64_t>(currentCount_) > currentLines_)
    throw QuillonError(ErrorText::ListIndexOutOfBounds(AsIndex(currentLines_)));
  if (static_cast<std::uint64_t>(loadedCount_) > loadedLines_)
    throw QuillonError(ErrorText::ListIndexOutOfBounds(AsIndex(loadedLines_)));
}

void BoundedComparison::AddResult(SpillChannel& results, ChangeKind kind, std::uint64_t line, std::string_view current,
                                  std::string_view loaded, bool always) {
  const Head head{kind == ChangeKind::Added ? kAdded | line : line, static_cast<std::uint32_t>(current.size()),
                  static_cast<std::uint32_t>(loaded.size()), static_cast<std::uint32_t>(kind), always ? kAlways : 0};
  PutRecord(results, head, current, loaded);
  if (!options_.moves || kind == ChangeKind::Modified) return;
  if (const auto key = MovePairing::KeyOf(kind == ChangeKind::Added ? current : loaded)) {
    Part& part = moves_[PartitionOf(KeyJoin::Hash(*key), moves_.size())];
    part.Note(*key);
    PutRecord(part.channel, head, current, loaded);
  }
}

void BoundedComparison::PairMoves() {
  if (!options_.moves) return;
  const std::size_t bufferSize = spilled_ ? std::clamp<std::size_t>(options_.memory / 8 / moves_.size(), 256, 1u << 20)
                                          : std::max<std::size_t>(options_.memory / 4, 4096);
  fates_.reserve(moves_.size());
  for (Part& moves : moves_) {
    moves.channel.StartReading();
    fates_.emplace_back(&place_, bufferSize);
    PairMovePart(moves, fates_.back(), bufferSize, 0);
    fates_.back().StartReading();
  }
}

void BoundedComparison::PairMovePart(Part& moves, SpillChannel& fates, std::size_t bufferSize, unsigned level) {
  // A quarter of the budget: in memory, the current listing and the results
  // still hold the rest.
  const std::size_t room = std::max<std::size_t>(options_.memory / 4, 1);
  const unsigned long long need = moves.channel.Written() + moves.lines * kPerMoveLine;
  if (moves.lines == 0) {
  } else if (moves.oneKey) {
    PairOneMoveKey(moves.channel, fates);
  } else if (need <= room || level >= kMostLevels) {
    PairMovesInMemory(moves.channel, fates);
  } else {
    // Too many for the budget: spread again by the move key, as partitions of
    // the listings are.
    unsigned count = 2;
    while (count < kMostPartitions && count * static_cast<unsigned long long>(room) < need) count *= 2;
    const std::size_t partBuffer = std::max<std::size_t>(bufferSize / count, 256);
    std::vector<Part> parts;
    parts.reserve(count);
    for (unsigned p = 0; p < count; ++p) parts.push_back(Part{SpillChannel(&place_, partBuffer), 0, {}, true});
    const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);
    Record record;
    while (record.ReadFrom(moves.channel)) {
      const bool added = static_cast<ChangeKind>(record.head.kind) == ChangeKind::Added;
      if (!added && record.head.key >= loadedCount) continue;
      const auto key = MovePairing::KeyOf(added ? record.first : record.second);
      Part& part = parts[PartitionOf(LevelHash(*key, level + 1), count)];
      part.Note(*key);
      PutRecord(part.channel, record.head, record.first, record.second);
    }
    moves.channel.Release();
    std::vector<SpillChannel> partFates;
    partFates.reserve(count);
    for (Part& part : parts) {
      part.channel.StartReading();
      partFates.emplace_back(&place_, partBuffer);
      PairMovePart(part, partFates.back(), partBuffer, level + 1);
      partFates.back().StartReading();
    }
    MergeRuns(partFates, fates);
  }
  moves.channel.Release();
}

void BoundedComparison::PairMovesInMemory(SpillChannel& moves, SpillChannel& into) {
  const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);
  std::vector<std::string_view> deleted, added;
  std::vector<std::uint64_t> deletedKeys, addedKeys;
  std::vector<std::pair<std::uint64_t, std::size_t>> fates;  // result key; the Deleted line, or -1 to drop it
  const std::string_view part = moves.TakeAll();
  for (std::size_t at = 0; at < part.size();) {
    Head head;
    std::memcpy(&head, part.data() + at, sizeof head);
    at += sizeof head;
    const std::string_view current = part.substr(at, head.first);
    const std::string_view loaded = part.substr(at + head.first, head.second);
    at += std::size_t{head.first} + head.second;
    if (static_cast<ChangeKind>(head.kind) == ChangeKind::Added) {
      added.push_back(current);
      addedKeys.push_back(head.key);
    } else if (head.key < loadedCount) {
      deleted.push_back(loaded);
      deletedKeys.push_back(head.key);
    }
  }
  const MovePairing pairing(deleted, added);
  counts_.AmbiguousMoves += pairing.Ambiguous();
  for (std::size_t a = 0; a < added.size(); ++a) {
    const int partner = pairing.PartnerOfAdded()[a];
    if (partner < 0) continue;
    fates.emplace_back(addedKeys[a], static_cast<std::size_t>(partner));
    fates.emplace_back(deletedKeys[static_cast<std::size_t>(partner)], SIZE_MAX);
  }
  std::sort(fates.begin(), fates.end());
  for (const auto& [key, partner] : fates) {
    const bool moved = partner != SIZE_MAX;
    const std::string_view old = moved ? deleted[partner] : std::string_view();
    PutRecord(into, Head{key, 0, static_cast<std::uint32_t>(old.size()),
                         static_cast<std::uint32_t>(moved ? ChangeKind::Moved : ChangeKind::Deleted), 0},
              {}, old);
  }
}

void BoundedComparison::PairOneMoveKey(SpillChannel& moves, SpillChannel& fates) {
  // One key: a move only when it stands once on each side, else all its
  // lines are ambiguous; counted as the lines stream past.
  const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);
  std::uint64_t deletedCount = 0, addedCount = 0, deletedKey = 0, addedKey = 0;
  std::string deleted, added;
  Record record;
  while (record.ReadFrom(moves)) {
    if (static_cast<ChangeKind>(record.head.kind) == ChangeKind::Added) {
      if (addedCount++ == 0) {
        added.assign(record.first);
        addedKey = record.head.key;
      }
    } else if (record.head.key < loadedCount && deletedCount++ == 0) {
      deleted.assign(record.second);
      deletedKey = record.head.key;
    }
  }
  if (deletedCount == 0 || addedCount == 0) return;
  if (deletedCount > 1 || addedCount > 1) {
    counts_.AmbiguousMoves += static_cast<long long>(deletedCount + addedCount);
    return;
  }
  if (MovePairing({deleted}, {added}).PartnerOfAdded()[0] < 0) return;
  // A Deleted line's key comes before any Added line's.
  PutRecord(fates, Head{deletedKey, 0, 0, static_cast<std::uint32_t>(ChangeKind::Deleted), 0}, {}, {});
  PutRecord(fates,
            Head{addedKey, 0, static_cast<std::uint32_t>(deleted.size()), static_cast<std::uint32_t>(ChangeKind::Moved), 0},
            {}, deleted);
}

void BoundedComparison::ForEachChange(const ChangeTaker& take) {
  const long long ambiguous = counts_.AmbiguousMoves;
  counts_ = ComparisonResult();
  counts_.AmbiguousMoves = ambiguous;
  counts_.MovesDetected = options_.moves;
  const auto loadedCount = static_cast<std::uint64_t>(loadedCount_);

  // The next record of each run, smallest key first.
  using Next = std::pair<std::uint64_t, std::size_t>;
  const auto merge = [](std::vector<SpillChannel>& runs, std::vector<Record>& heads,
                        std::priority_queue<Next, std::vector<Next>, std::greater<>>& queue, auto keep) {
    heads.resize(runs.size());
    const auto advance = [&runs, &heads, &queue, keep](std::size_t r) {
      while (heads[r].ReadFrom(runs[r])) {
        if (!keep(heads[r].head)) continue;
        queue.emplace(heads[r].head.key, r);
        return;
      }
    };
    for (std::size_t r = 0; r < runs.size(); ++r) {
      runs[r].StartReading();
      advance(r);
    }
    return advance;
  };
  std::vector<Record> results, fates;
  std::priority_queue<Next, std::vector<Next>, std::greater<>> resultQueue, fateQueue;
  const auto nextResult = merge(results_, results, resultQueue, [loadedCount](const Head& head) {
    return (head.key & kAdded) != 0 || head.key < loadedCount || head.keyLength == kAlways;
  });
  const auto nextFate = merge(fates_, fates, fateQueue, [](const Head&) { return true; });

  while (!resultQueue.empty()) {
    const auto [key, r] = resultQueue.top();
    resultQueue.pop();
    const Record& result = results[r];
    auto kind = static_cast<ChangeKind>(result.head.kind);
    std::string_view loaded = result.second;
    std::size_t fateRun = SIZE_MAX;
    if (!fateQueue.empty() && fateQueue.top().first == key) {
      fateRun = fateQueue.top().second;
      fateQueue.pop();
      kind = static_cast<ChangeKind>(fates[fateRun].head.kind);
      loaded = fates[fateRun].second;
    }
    // A Deleted line that moved is told by its Added line.
    if (!(fateRun != SIZE_MAX && kind == ChangeKind::Deleted)) {
      counts_.Count(kind);
      take(kind, result.first, loaded);
    }
    nextResult(r);
    if (fateRun != SIZE_MAX) nextFate(fateRun);
  }
}
