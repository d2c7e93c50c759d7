#include <fstream>
#include <random>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "compare/BoundedComparison.h"
#include "documents/ListingFile.h"
#include "documents/ListingLineReader.h"
#include "platform/QuillonError.h"
#include "surfaces/ErrorText.h"

namespace {

using Lines = std::vector<std::string>;

// A random pair of listings made to meet every rule at once: keys repeated
// on either side, lines without a key, keys after a colon, drive letters that
// share a key, moves by digest and by name, a count that leaves lines out,
// and now and then a listing without a count or with too few lines.
struct RandomPair {
  Lines current, loaded;

  explicit RandomPair(std::mt19937& rng) {
    const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto fileLine = [&](int path, int size, bool digest) {
      static const char* kFolders[] = {"/srv/a/", "/srv/b/", "C:\\d\\", "D:\\d\\"};
      const std::string hex = "0123456789abcdef";
      std::string line = "01.02.2024 10:0" + std::to_string(pick(3)) + ":00 " + std::string(9, '0') +
                         std::to_string(size) + " Bytes ____N______ ";
      if (digest) {
        for (int k = 0; k < 32; ++k) line += hex[static_cast<std::size_t>((size * 7 + k) % 16)];
        line += ' ';
      }
      return line + kFolders[pick(4)] + "f" + std::to_string(path);
    };
    const auto listing = [&](Lines& lines) {
      const bool digests = pick(2) == 0;
      const int files = pick(40);
      for (int k = 0; k < files; ++k) lines.push_back(fileLine(pick(25), pick(4), digests));
      for (int k = pick(3); k > 0; --k)
        lines.insert(lines.begin() + pick(static_cast<int>(lines.size()) + 1),
                     pick(2) ? "note: x" + std::to_string(pick(3)) : "/srv/a/");
      lines.push_back(">>> All directories found >>>");
      lines.push_back("<<< All directories found <<<");
      const int count = pick(10) == 0 ? static_cast<int>(lines.size()) + 1 + pick(2) : files - pick(3);
      if (pick(30) != 0)
        lines.push_back("Number of Files = " + std::to_string(std::max(count, 0)) + "  Number of Folders = 0");
    };
    listing(current);
    listing(loaded);
  }
};

std::string JoinLine(ChangeKind kind, std::string_view current, std::string_view loaded) {
  std::string line;
  for (const std::string_view part : ResultLineParts(kind, current, loaded)) line += part;
  return line;
}

// The result lines and counts, or the error's text.
struct Outcome {
  Lines lines;
  std::string counts;
  Lines warnings;
  bool operator==(const Outcome&) const = default;
};

void WriteFile(const std::string& name, const Lines& lines, const char* end) {
  std::ofstream out(name, std::ios::binary);
  for (const std::string& line : lines) out << line << end;
}

Outcome Bounded(const std::string& current, const std::string& loaded, bool moves, unsigned partitions,
                const std::string& folder, std::size_t memory = std::size_t{1} << 30) {
  BoundedComparison::Options options;
  options.moves = moves;
  options.partitions = partitions;
  options.memory = partitions > 0 ? 1 : memory;
  options.temporaryFolder = folder;
  BoundedComparison comparison(options);
  Outcome outcome;
  try {
    ListingLineReader reader(current, 64);
    comparison.Run(reader, [&loaded] { return std::make_unique<ListingLineReader>(loaded, 64); });
  } catch (const QuillonError& error) {
    outcome.counts = ErrorText::ForErrorBox(error.what());
    return outcome;
  }
  EXPECT_EQ(comparison.Partitions(), partitions);
  comparison.ForEachChange([&](ChangeKind kind, std::string_view now, std::string_view old) {
    outcome.lines.push_back(JoinLine(kind, now, old));
  });
  outcome.counts = comparison.Counts().CountsText();
  outcome.warnings = comparison.Warnings();
  return outcome;
}

}  // namespace

TEST(BoundedComparison, GivesTheWindowsResultsInMemoryAndSpilledAlike) {
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  TempTree tree;
  std::mt19937 rng(21);
  const char* ends[] = {"\r\n", "\n", "\r"};
  int spilledWithChanges = 0, repeats = 0;
  for (int round = 0; round < 100; ++round) {
    const RandomPair pair(rng);
    const bool moves = round % 2 == 1;
    surfaces.DetectMoves = moves;
    surfaces.SetPaneLines(PaneId::ListBox1, pair.current);
    surfaces.SetPaneLines(PaneId::ListBox2, pair.loaded);
    surfaces.Errors.clear();
    surfaces.Warnings.clear();
    Outcome expected;
    if (window.Dispatch([&] { window.EditCompareContentActionExecute(); })) {
      expected.lines = surfaces.Lines(PaneId::ListBox3);
      if (expected.lines == Lines{"No differences found... ;-)"}) expected.lines.clear();
      expected.counts = window.LastComparison().CountsText();
      expected.warnings = surfaces.Warnings;
      repeats += !expected.warnings.empty();
    } else {
      expected.counts = surfaces.Errors.back();
    }
    WriteFile(tree.Path("current"), pair.current, ends[round % 3]);
    WriteFile(tree.Path("loaded"), pair.loaded, ends[(round / 3) % 3]);
    for (const unsigned partitions : {0u, 1u, 3u, 16u}) {
      EXPECT_EQ(Bounded(tree.Path("current"), tree.Path("loaded"), moves, partitions, tree.Root()), expected)
          << "round " << round << ", partitions " << partitions;
    }
    if (!expected.lines.empty()) ++spilledWithChanges;
  }
  EXPECT_GT(spilledWithChanges, 50);  // the pairs are no trivial ones
  EXPECT_GT(repeats, 30);
}

TEST(BoundedComparison, ReadsLinesInBlocksByTheRuleOfTheWholeFile) {
  TempTree tree;
  std::mt19937 rng(7);
  const std::string alphabet = "ab\r\n";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int k = static_cast<int>(rng() % 40); k > 0; --k) text += alphabet[rng() % alphabet.size()];
    if (rng() % 8 == 0) text.insert(rng() % (text.size() + 1), 1, '\0');
    { std::ofstream(tree.Path("text"), std::ios::binary) << text; }
    Lines whole, blocks;
    SplitListingText(text, [&whole](std::string_view line) { whole.emplace_back(line); });
    ListingLineReader reader(tree.Path("text"), 1 + rng() % 5);
    for (std::string_view line; reader.Next(line);) blocks.emplace_back(line);
    ASSERT_EQ(blocks, whole) << "round " << round;
  }
}

TEST(BoundedComparison, AListingLineLongerThanAnyCanBeEndsTheReadingNamingIt) {
  TempTree tree;
  const std::string longest(ListingLineReader::kLongestLine, 'x');
  { std::ofstream(tree.Path("text"), std::ios::binary) << "a\r\n" << longest << "\r\n" << longest << "y"; }
  ListingLineReader reader(tree.Path("text"), 64);
  std::string_view line;
  ASSERT_TRUE(reader.Next(line) && reader.Next(line));
  EXPECT_EQ(line.size(), longest.size());
  try {
    reader.Next(line);
    ADD_FAILURE() << "a line past the limit was read";
  } catch (const QuillonError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Line 3 of " + tree.Path("text") + " is longer than any line of a listing can be");
  }
}

TEST(BoundedComparison, ResultsPastAQuarterOfTheBudgetGoToDiskWhileTheCurrentListingStaysInMemory) {
  TempTree tree;
  Lines current{"01.02.2024 10:00:00 0000000001 Bytes ____N______ /a/kept", "Number of Files = 1"};
  Lines loaded;
  for (int k = 0; k < 300; ++k)
    loaded.push_back("01.02.2024 10:00:00 0000000001 Bytes ____N______ /a/f" + std::to_string(k));
  loaded.push_back("Number of Files = 300");
  WriteFile(tree.Path("current"), current, "\r\n");
  WriteFile(tree.Path("loaded"), loaded, "\r\n");
  const Outcome whole = Bounded(tree.Path("current"), tree.Path("loaded"), true, 0, tree.Root());
  EXPECT_EQ(whole.lines.size(), 301u);
  EXPECT_EQ(Bounded(tree.Path("current"), tree.Path("loaded"), true, 0, tree.Root(), 8000), whole);
}

// A malformed loaded listing: a file line past its count has the key of a
// folder line compared wherever it stands. The count is read only at the end,
// yet the line past it must not take the folder's partner from it.
TEST(BoundedComparison, ALinePastTheCountTakesNoPartnerFromAFolderLine) {
  TempTree tree;
  const std::string file = "01.02.2024 10:00:00 0000000004 Bytes ____N______ mode=-rw-r--r-- uid=0 gid=0 links=1 xattrs=- ";
  const std::string folder = "mode=drwxr-xr-x uid=0 gid=0 links=2 xattrs=- /s/d/";
  const std::string summary = "Number of Files = 1  Number of Folders = 1  Total Size = 4 Bytes";
  WriteFile(tree.Path("current"), {file + "/s/a", ">>> All directories found >>>", folder, "<<< All directories found <<<", summary}, "\r\n");
  WriteFile(tree.Path("loaded"),
            {file + "/s/a", file + "/s/d/", ">>> All directories found >>>", folder, "<<< All directories found <<<", summary},
            "\r\n");
  for (const unsigned partitions : {0u, 3u}) {
    const Outcome outcome = Bounded(tree.Path("current"), tree.Path("loaded"), false, partitions, tree.Root());
    EXPECT_EQ(outcome.lines, Lines{}) << "partitions " << partitions;
    EXPECT_EQ(outcome.counts, "0 modified, 0 deleted, 0 added");
  }
}
