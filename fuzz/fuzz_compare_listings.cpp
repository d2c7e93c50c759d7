// Comparing two listings: the result lines, and the error where there is one,
// must be those of the plain scan of each side over the other, N x M.
// The input holds the current listing, a NUL, and the loaded listing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TMainWindow.h"
#include "cli/HeadlessSurfaces.h"
#include "compare/BoundedComparison.h"
#include "compare/ComparisonKey.h"
#include "documents/ListingFile.h"
#include "platform/PosixFolderSearch.h"
#include "platform/QuillonError.h"
#include "platform/SpillFile.h"
#include "surfaces/ErrorText.h"
#include "surfaces/Texts.h"

namespace {

using Lines = std::vector<std::string>;

struct Outcome {
  Lines results;
  std::string error;  // empty when the comparison completed
};

bool Contains(const std::string& line, const std::string& part) { return line.find(part) != std::string::npos; }

// Each side's file count from its last line; each loaded file line paired
// with the first current line of the same key that no earlier loaded line
// took, by scanning from the start; the current lines none took are Added.
Outcome Reference(const Lines& current, const Lines& loaded) {
  Outcome out;
  const auto count = [&](const Lines& pane, const char* name) -> std::optional<long long> {
    if (pane.empty()) {
      out.error = ErrorText::ListIndexOutOfBounds(-1);
      return std::nullopt;
    }
    const auto n = ComparisonKey::ReadFileCount(pane.back());
    if (!n || *n < 0 || *n > 0x7fffffff) {
      out.error = std::string("No file count can be read from the last line of the ") + name;
      return std::nullopt;
    }
    return n;
  };
  const auto n1 = count(current, "current listing");
  if (!n1) return out;
  const auto n2 = count(loaded, "loaded listing");
  if (!n2) return out;
  if (static_cast<std::size_t>(*n1) > current.size()) {
    out.error = ErrorText::ListIndexOutOfBounds(static_cast<int>(current.size()));
    return out;
  }
  // Past the counted lines, folder lines with metadata are compared too.
  const std::size_t working = current.size();
  std::vector<std::optional<std::string_view>> currentKeys, loadedKeys;
  for (std::size_t j = 0; j < current.size(); ++j)
    currentKeys.push_back(j < static_cast<std::size_t>(*n1) || ComparisonKey::ComparedPastCount(current[j])
                              ? ComparisonKey::KeyOf(current[j])
                              : std::nullopt);
  for (std::size_t i = 0; i < loaded.size(); ++i)
    loadedKeys.push_back(i < static_cast<std::size_t>(*n2) || ComparisonKey::ComparedPastCount(loaded[i])
                             ? ComparisonKey::KeyOf(loaded[i])
                             : std::nullopt);
  std::vector<bool> taken(working, false);
  for (std::size_t i = 0; i < std::max(static_cast<std::size_t>(*n2), loaded.size()); ++i) {
    if (i >= loaded.size()) {
      out.error = ErrorText::ListIndexOutOfBounds(static_cast<int>(i));
      return out;
    }
    const auto& key = loadedKeys[i];
    if (!key) continue;
    bool found = false;
    for (std::size_t j = 0; j < working && !found; ++j) {
      if (taken[j] || currentKeys[j] != key) continue;
      found = taken[j] = true;
      if (!Contains(current[j], loaded[i])) out.results.push_back("Modified: " + current[j]);
    }
    if (!found) out.results.push_back("Deleted: " + loaded[i]);
  }
  for (std::size_t j = 0; j < working; ++j)
    if (!taken[j] && currentKeys[j]) out.results.push_back("Added: " + current[j]);
  if (out.results.empty()) out.results.push_back(Texts::kNoDifferences);
  return out;
}

// The loaded listing handed out line by line, as from a file.
class LinesSource : public LineSource {
 public:
  explicit LinesSource(const Lines& lines) : lines_(lines) {}
  bool Next(std::string_view& line) override {
    if (next_ == lines_.size()) return false;
    line = lines_[next_++];
    return true;
  }

 private:
  const Lines& lines_;
  std::size_t next_ = 0;
};

// The comparison in a memory budget, spilled into a few partitions.
Outcome Bounded(const Lines& current, const Lines& loaded, unsigned partitions) {
  BoundedComparison::Options options;
  options.memory = partitions > 0 ? 1 : std::size_t{1} << 30;
  options.partitions = partitions;
  options.temporaryFolder = SpillFile::DefaultFolder();
  BoundedComparison comparison(options);
  const std::vector<std::string_view> views(current.begin(), current.end());
  Outcome out;
  try {
    comparison.Run(views, [&loaded] { return std::make_unique<LinesSource>(loaded); });
  } catch (const QuillonError& error) {
    out.error = error.what();
    return out;
  }
  comparison.ForEachChange([&](ChangeKind kind, std::string_view now, std::string_view old) {
    std::string line;
    for (const std::string_view part : ResultLineParts(kind, now, old)) line += part;
    out.results.push_back(line);
  });
  if (out.results.empty()) out.results.push_back(Texts::kNoDifferences);
  return out;
}

Lines Split(std::string_view text) {
  Lines lines;
  SplitListingText(text, [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const auto nul = input.find('\0');
  if (nul == std::string_view::npos || size > 8192) return -1;
  const Lines current = Split(input.substr(0, nul));
  const Lines loaded = Split(input.substr(nul + 1));

  // One window for all runs, as the program keeps one: the comparison clears
  // its results pane, and the listing panes are cleared here.
  static HeadlessSurfaces surfaces;
  static PosixFolderSearch search;
  static TMainWindow window(surfaces, search, RegionalSettings{});
  surfaces.PaneClear(PaneId::ListBox1);
  surfaces.PaneClear(PaneId::ListBox2);
  for (const auto& line : current) surfaces.PaneAddLine(PaneId::ListBox1, line);
  for (const auto& line : loaded) surfaces.PaneAddLine(PaneId::ListBox2, line);
  const bool ok = window.Dispatch([&] { window.EditCompareContentActionExecute(); });

  const Outcome expected = Reference(current, loaded);
  for (const unsigned partitions : {0u, 3u}) {
    const Outcome bounded = Bounded(current, loaded, partitions);
    if (bounded.error != expected.error || (bounded.error.empty() && bounded.results != expected.results)) std::abort();
  }
  if (ok != expected.error.empty()) std::abort();
  if (!ok && surfaces.Errors().back() != ErrorText::ForErrorBox(expected.error)) std::abort();
  if (!ok) return 0;
  const ListPane& results = surfaces.Pane(PaneId::ListBox3);
  if (static_cast<std::size_t>(results.Count()) != expected.results.size()) std::abort();
  for (std::size_t i = 0; i < expected.results.size(); ++i)
    if (results.LineAt(static_cast<int>(i)) != expected.results[i]) std::abort();
  return 0;
}
