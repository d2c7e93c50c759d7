#include <algorithm>
#include <random>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "compare/ComparisonKey.h"
#include "compare/FileLineFields.h"
#include "documents/ListingFile.h"

namespace {

using Lines = std::vector<std::string>;

std::string FileLine(const std::string& path, const std::string& size = "0000000100",
                     const std::string& time = "10:00:00", const std::string& digest = "") {
  return "01.02.2024 " + time + " " + size + " Bytes ____N______ " + (digest.empty() ? "" : digest + " ") + path;
}

// A listing's lines: the file lines, the folder section and the summary.
Lines Listing(const Lines& files) {
  Lines lines = files;
  lines.push_back(">>> All directories found >>>");
  lines.push_back("<<< All directories found <<<");
  lines.push_back("Number of Files = " + std::to_string(files.size()) + "  Number of Folders = 0  Total Size = 0 Bytes");
  return lines;
}

class ComparisonTest : public ::testing::Test {
 protected:
  ComparisonTest() : window(surfaces, search, RegionalSettings{}) {}

  Lines Compare(const Lines& current, const Lines& loaded) {
    surfaces.SetPaneLines(PaneId::ListBox1, current);
    surfaces.SetPaneLines(PaneId::ListBox2, loaded);
    surfaces.ClearLog();
    ok = window.Dispatch([this] { window.EditCompareContentActionExecute(); });
    return surfaces.Lines(PaneId::ListBox3);
  }

  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window;
  bool ok = false;
};

// The pairing as plainly as it can be said: each loaded line scans the
// current side from its start for the first line with an equal key that no
// earlier loaded line took; the current lines none took are Added.
Lines ReferenceResults(const Lines& current, std::size_t n1, const Lines& loaded, std::size_t n2) {
  Lines results;
  std::vector<bool> taken(n1, false);
  for (std::size_t i = 0; i < n2; ++i) {
    const auto key = ComparisonKey::KeyOf(loaded[i]);
    if (!key) continue;
    bool found = false;
    for (std::size_t j = 0; j < n1 && !found; ++j) {
      if (taken[j] || ComparisonKey::KeyOf(current[j]) != key) continue;
      found = taken[j] = true;
      if (current[j].find(loaded[i]) == std::string::npos) results.push_back("Modified: " + current[j]);
    }
    if (!found) results.push_back("Deleted: " + loaded[i]);
  }
  for (std::size_t j = 0; j < n1; ++j)
    if (!taken[j] && ComparisonKey::KeyOf(current[j])) results.push_back("Added: " + current[j]);
  if (results.empty()) results.push_back("No differences found... ;-)");
  return results;
}

}  // namespace

TEST(ComparisonKey, RecognisesFileLinesByTheirShape) {
  const std::string digest = "0123456789abcdef0123456789ABCDEF";
  EXPECT_EQ(ComparisonKey::FileLinePath(FileLine("/home/u/a.txt")), "/home/u/a.txt");
  EXPECT_EQ(ComparisonKey::FileLinePath(FileLine("/home/u/a b.txt", "0000000100", "10:00:00", digest)),
            "/home/u/a b.txt");
  EXPECT_EQ(ComparisonKey::FileLinePath(FileLine("C:\\Docs\\a.txt", "12345678901", "10.00.00")), "C:\\Docs\\a.txt");
  EXPECT_EQ(ComparisonKey::FileLinePath(FileLine("/x", "0000000001", "10 h 00 h 00")), "/x");
  EXPECT_EQ(ComparisonKey::FileLinePath(FileLine("/x", "0000000001", "100000")), "/x");
  EXPECT_EQ(ComparisonKey::FileLinePath("01.02.2024 10:00:00 0000000001 Bytes _____A____R /y"), "/y");
  for (const std::string& line : {std::string("01.02.2024 10:00:00 000000001 Bytes ____N______ /x"),  // 9 digits
                                  std::string("01.02.2024 10:00:00 0000000001 Bytes ____X______ /x"),
                                  std::string("01.02.2024 10:00:00 0000000001 Bytes ____N______ "),
                                  std::string(">>> All directories found >>>"), std::string("/home/u/folder/"),
                                  std::string("Number of Files = 1  Number of Folders = 0  Total Size = 0 Bytes")})
    EXPECT_FALSE(ComparisonKey::FileLinePath(line).has_value()) << line;
}

TEST(ComparisonKey, KeysAFileLineByItsPathWithoutTheDriveLetter) {
  EXPECT_EQ(ComparisonKey::KeyOf(FileLine("C:\\Docs\\a.txt")), ":\\Docs\\a.txt");
  EXPECT_EQ(ComparisonKey::KeyOf(FileLine("/home/u/a.txt")), "/home/u/a.txt");
  EXPECT_EQ(ComparisonKey::KeyOf(FileLine("\\\\server\\share\\a.txt")), "\\\\server\\share\\a.txt");
  EXPECT_EQ(ComparisonKey::KeyOf(FileLine("/odd/na:me")), "/odd/na:me");
  // Other lines keep the tail from the last colon, or have no key.
  EXPECT_EQ(ComparisonKey::KeyOf("free text: with a colon"), ": with a colon");
  EXPECT_FALSE(ComparisonKey::KeyOf("no colon at all").has_value());
}

TEST(ComparisonKey, ReadsTheFileCountAsTheScanPatternWould) {
  EXPECT_EQ(ComparisonKey::ReadFileCount("Number of Files = 12  Number of Folders = 3  Total Size = 0 Bytes"), 12);
  EXPECT_EQ(ComparisonKey::ReadFileCount("NumberofFiles=5"), 5);
  EXPECT_EQ(ComparisonKey::ReadFileCount("Number  of\tFiles =   +7x"), 7);
  EXPECT_EQ(ComparisonKey::ReadFileCount("Number of Files = -3"), -3);
  EXPECT_FALSE(ComparisonKey::ReadFileCount(" Number of Files = 5").has_value());
  EXPECT_FALSE(ComparisonKey::ReadFileCount("number of files = 5").has_value());
  EXPECT_FALSE(ComparisonKey::ReadFileCount("Number of Files = ").has_value());
  EXPECT_FALSE(ComparisonKey::ReadFileCount("").has_value());
}

TEST_F(ComparisonTest, IdenticalListingsGiveTheNoDifferencesLine) {
  const Lines listing = Listing({FileLine("/d/a"), FileLine("/d/b")});
  EXPECT_EQ(Compare(listing, listing), Lines{"No differences found... ;-)"});
  EXPECT_TRUE(ok);
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox3).ScrollExtent(), 180);
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::FileSaveResultAction));
  EXPECT_TRUE(surfaces.IsEnabled(ActionId::EditRepeatLastAction));
  EXPECT_EQ(surfaces.Panels[3], "0 modified, 0 deleted, 0 added");
  EXPECT_EQ(window.State().LastCommand, 2);
  EXPECT_FALSE(surfaces.Busy);
}

TEST_F(ComparisonTest, ReportsModifiedDeletedAndAddedInTheirOrder) {
  const Lines loaded = Listing({FileLine("/d/gone"), FileLine("/d/same"), FileLine("/d/changed", "0000000100"),
                                FileLine("/d/Case")});
  const Lines current = Listing({FileLine("/d/new"), FileLine("/d/changed", "0000000200"), FileLine("/d/same"),
                                 FileLine("/d/case")});
  EXPECT_TRUE(SameLines({"Deleted: " + FileLine("/d/gone"), "Modified: " + FileLine("/d/changed", "0000000200"),
                         "Deleted: " + FileLine("/d/Case"), "Added: " + FileLine("/d/new"),
                         "Added: " + FileLine("/d/case")},
                        Compare(current, loaded)));
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox3).ScrollExtent(),
            static_cast<int>(8 * ("Modified: " + FileLine("/d/changed")).size() * 80 / 96));
}

TEST_F(ComparisonTest, PairsOnlyEqualPathsSoNoChangeIsLostOrMisreported) {
  // A deleted "a" beside a new "a.txt", and a new "b" beside an old "b.txt".
  const Lines loaded = Listing({FileLine("/x/a"), FileLine("/x/b.txt"), FileLine("/x/dir/f")});
  const Lines current = Listing({FileLine("/x/a.txt"), FileLine("/x/b"), FileLine("/x/dir/f")});
  EXPECT_TRUE(SameLines({"Deleted: " + FileLine("/x/a"), "Deleted: " + FileLine("/x/b.txt"),
                         "Added: " + FileLine("/x/a.txt"), "Added: " + FileLine("/x/b")},
                        Compare(current, loaded)));
}

TEST_F(ComparisonTest, SeesEveryChangeOfPathsWithoutADriveLetter) {
  const Lines loaded = Listing({FileLine("/home/u/size", "0000000001"), FileLine("/home/u/time"),
                                FileLine("\\\\server\\share\\a.txt", "0000000001"), FileLine("/home/u/same")});
  const Lines current = Listing({FileLine("/home/u/size", "0000000002"), FileLine("/home/u/time", "0000000100", "10:00:01"),
                                 FileLine("\\\\server\\share\\a.txt", "0000000002"), FileLine("/home/u/same")});
  EXPECT_TRUE(SameLines({"Modified: " + FileLine("/home/u/size", "0000000002"),
                         "Modified: " + FileLine("/home/u/time", "0000000100", "10:00:01"),
                         "Modified: " + FileLine("\\\\server\\share\\a.txt", "0000000002")},
                        Compare(current, loaded)));
}

TEST_F(ComparisonTest, ModifiesEveryFileAcrossDriveLettersDigestsOrSeparators) {
  const std::string digest(32, 'a');
  EXPECT_EQ(Compare(Listing({FileLine("D:\\t\\f")}), Listing({FileLine("C:\\t\\f")})),
            Lines{"Modified: " + FileLine("D:\\t\\f")});
  EXPECT_EQ(Compare(Listing({FileLine("/t/f", "0000000100", "10:00:00", digest)}), Listing({FileLine("/t/f")})),
            Lines{"Modified: " + FileLine("/t/f", "0000000100", "10:00:00", digest)});
  EXPECT_EQ(Compare(Listing({FileLine("/t/f", "0000000100", "10.00.00")}), Listing({FileLine("/t/f")})),
            Lines{"Modified: " + FileLine("/t/f", "0000000100", "10.00.00")});
}

TEST_F(ComparisonTest, EmptySidesGiveOnlyAddedOrOnlyDeleted) {
  const Lines files = Listing({FileLine("/a"), FileLine("/b")});
  window.Dispatch([] {});
  EXPECT_EQ(Compare(files, Listing({})), (Lines{"Added: " + FileLine("/a"), "Added: " + FileLine("/b")}));
  // No step of the first pass ran, so LastCommand keeps its value.
  EXPECT_EQ(window.State().LastCommand, 0);
  EXPECT_EQ(Compare(Listing({}), files), (Lines{"Deleted: " + FileLine("/a"), "Deleted: " + FileLine("/b")}));
  EXPECT_EQ(window.State().LastCommand, 2);
  EXPECT_EQ(Compare(Listing({}), Listing({})), Lines{"No differences found... ;-)"});
}

TEST_F(ComparisonTest, LinesWithoutAKeyTakeNoPart) {
  EXPECT_EQ(Compare(Listing({"no colon here", FileLine("/k")}), Listing({"nor here", FileLine("/k")})),
            Lines{"No differences found... ;-)"});
}

TEST_F(ComparisonTest, ComparesLongLinesWhole) {
  const std::string stem = "/" + std::string(1500, 'p');
  EXPECT_EQ(Compare(Listing({FileLine(stem + "/one"), FileLine(stem + "/two", "0000000002")}),
                    Listing({FileLine(stem + "/one"), FileLine(stem + "/two", "0000000001")})),
            Lines{"Modified: " + FileLine(stem + "/two", "0000000002")});
  EXPECT_EQ(Compare(Listing({FileLine(stem + "/b")}), Listing({FileLine(stem + "/a")})),
            (Lines{"Deleted: " + FileLine(stem + "/a"), "Added: " + FileLine(stem + "/b")}));
}

TEST_F(ComparisonTest, ShowsProgressInPanelThreeStepByStep) {
  const Lines current = Listing({FileLine("/a"), FileLine("/b"), FileLine("/c")});
  Compare(current, Listing({FileLine("/a")}));
  EXPECT_TRUE(SameLines({"StatusSetPanelText(3, 0 %)", "StatusSetPanelText(3, 25 %)", "StatusSetPanelText(3, 25 %)",
                         "StatusSetPanelText(3, 50 %)", "StatusSetPanelText(3, 75 %)",
                         "StatusSetPanelText(3, 0 modified, 0 deleted, 2 added)"},
                        surfaces.Ops({"StatusSetPanelText"})));
  EXPECT_EQ(surfaces.Ops({"StatusRefresh"}).size(), 6u);
}

TEST_F(ComparisonTest, FailsOnAnEmptyPaneBeforeShowingProgress) {
  surfaces.Enabled[static_cast<int>(ActionId::FileSaveResultAction)] = false;
  surfaces.Panels[3] = "kept";
  EXPECT_EQ(Compare(Listing({FileLine("/a")}), {}), Lines{});
  EXPECT_FALSE(ok);
  EXPECT_EQ(surfaces.Errors, Lines{"List index out of bounds (-1)"});
  EXPECT_EQ(surfaces.Panels[3], "kept");
  EXPECT_FALSE(surfaces.IsEnabled(ActionId::FileSaveResultAction));
  EXPECT_TRUE(surfaces.Busy);
  EXPECT_EQ(window.State().LastCommand, 0);
}

TEST_F(ComparisonTest, FailsAtTheFirstLineACountRunsPast) {
  // The loaded listing claims three files but holds one file line and the summary.
  const Lines loaded = {FileLine("/gone"), "Number of Files = 3"};
  EXPECT_EQ(Compare(Listing({FileLine("/a")}), loaded), Lines{"Deleted: " + FileLine("/gone")});
  EXPECT_FALSE(ok);
  EXPECT_EQ(surfaces.Errors, Lines{"List index out of bounds (2)"});
  EXPECT_EQ(window.State().LastCommand, 2);  // two steps of the first pass completed
  EXPECT_EQ(surfaces.Panels[3], "75 %");  // shown before the line was read
  // The current side fails while it is copied, before any step.
  const Lines current = {FileLine("/a"), "Number of Files = 5"};
  EXPECT_EQ(Compare(current, Listing({})), Lines{});
  EXPECT_EQ(surfaces.Errors.back(), "List index out of bounds (2)");
}

TEST_F(ComparisonTest, APaneWithoutAReadableCountFailsNamingTheListing) {
  EXPECT_EQ(Compare({"just some text"}, Listing({})), Lines{});
  EXPECT_EQ(surfaces.Errors.back(), "No file count can be read from the last line of the current listing.");
  Lines blankAfterSummary = Listing({FileLine("/a")});
  blankAfterSummary.push_back("");
  EXPECT_EQ(Compare(Listing({}), blankAfterSummary), Lines{});
  EXPECT_EQ(surfaces.Errors.back(), "No file count can be read from the last line of the loaded listing.");
  EXPECT_EQ(Compare(Listing({}), {"Number of Files = -1"}), Lines{});
  EXPECT_EQ(surfaces.Errors.back(), "No file count can be read from the last line of the loaded listing.");
  EXPECT_EQ(surfaces.Errors.size(), 3u);
}

TEST_F(ComparisonTest, RepeatRunsTheComparisonAgainWhenItWasLast) {
  const Lines listing = Listing({FileLine("/a")});
  Compare(listing, Listing({FileLine("/b")}));
  surfaces.ClearLog();
  ASSERT_TRUE(window.Dispatch([this] { window.EditRepeatLastActionExecute(); }));
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox3), (Lines{"Deleted: " + FileLine("/b"), "Added: " + FileLine("/a")}));
  EXPECT_EQ(surfaces.Ops().front(), "PaneClear(ListBox3)");
}

TEST_F(ComparisonTest, MatchesTheReferencePairingOnRandomListings) {
  std::mt19937 random(20261207);
  const Lines paths = {"/r/a", "/r/a.txt", "/r/a/b", "/r/b", "C:\\r\\a", "D:\\r\\a", "/r/c", "/r/C", "/r/d"};
  auto line = [&] {
    const int kind = static_cast<int>(random() % 12);
    if (kind == 0) return std::string("no key at all");
    if (kind == 1) return "free: text " + std::to_string(random() % 3);
    const std::string digest = random() % 3 == 0 ? std::string(32, "0af"[random() % 3]) : "";
    return FileLine(paths[random() % paths.size()], "000000000" + std::to_string(random() % 3),
                    "10:00:0" + std::to_string(random() % 2), digest);
  };
  for (int round = 0; round < 300; ++round) {
    Lines current, loaded;
    for (auto n = random() % 8; n > 0; --n) current.push_back(line());
    for (auto n = random() % 8; n > 0; --n) loaded.push_back(line());
    const Lines expected = ReferenceResults(current, current.size(), loaded, loaded.size());
    ASSERT_TRUE(SameLines(expected, Compare(Listing(current), Listing(loaded)))) << "round " << round;
  }
}

TEST_F(ComparisonTest, PairsARepeatedPathInOrderAndWarnsOncePerListing) {
  // Paths that differ only in their drive letter share a key.
  const Lines current = Listing({FileLine("C:\\a", "0000000001"), FileLine("/b"), FileLine("D:\\a", "0000000002")});
  const Lines loaded = Listing(
      {FileLine("C:\\a"), FileLine("D:\\a", "0000000002"), FileLine("/c"), FileLine("C:\\a", "0000000003")});
  EXPECT_TRUE(SameLines({"Modified: " + FileLine("C:\\a", "0000000001"), "Deleted: " + FileLine("/c"),
                         "Deleted: " + FileLine("C:\\a", "0000000003"), "Added: " + FileLine("/b")},
                        Compare(current, loaded)));
  const std::string rest = " more than once, which no listing of a folder does; such lines are paired in their "
                           "order, and those left over are Added or Deleted";
  EXPECT_EQ(surfaces.Warnings, (Lines{"The current listing holds D:\\a" + rest, "The loaded listing holds D:\\a" + rest}));
  surfaces.Warnings.clear();
  Compare(Listing({FileLine("/a"), FileLine("/b")}), Listing({FileLine("/b"), FileLine("/a")}));
  EXPECT_EQ(surfaces.Warnings, Lines{});
}

TEST(FileLineFields, ReadsTheFieldsWhateverTheSeparatorAndSize) {
  const auto f = FileLineFields::Parse("31.12.2023 23.59.58 12345678901 Bytes _____A____R C:\\d\\a b.txt");
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->DateTimeNumber(), 20231231235958);
  EXPECT_EQ(f->Size(), 12345678901u);
  EXPECT_EQ(f->Folder(), "C:\\d\\");
  EXPECT_EQ(f->FileName(), "a b.txt");
  // A size past 64 bits is still a file line, without a number for its size.
  EXPECT_FALSE(FileLineFields::Parse(FileLine("/x", std::string(25, '9')))->Size().has_value());
}

namespace {

const std::string kA(32, 'a'), kB(32, 'b');

std::string Digested(const std::string& path, const std::string& digest, const std::string& size = "0000000100") {
  return FileLine(path, size, "10:00:00", digest);
}

class MoveTest : public ComparisonTest {
 protected:
  MoveTest() { surfaces.DetectMoves = true; }
  std::string Counts() { return surfaces.Panels[3]; }
};

}  // namespace

TEST_F(MoveTest, AMovedFileIsOneLineWhereItsAddedLineStood) {
  EXPECT_TRUE(SameLines({"Added: " + Digested("/e/new", kB, "0000000007"), "Moved: " + Digested("/e/a", kA) + " <= /d/a"},
                        Compare(Listing({Digested("/e/new", kB, "0000000007"), Digested("/d/k", kB), Digested("/e/a", kA)}),
                                Listing({Digested("/d/k", kB), Digested("/d/a", kA)}))));
  EXPECT_EQ(Counts(), "0 modified, 0 deleted, 1 added, 1 moved");
  // Without digests by name, size and date-time: a renamed folder moves all its files.
  EXPECT_TRUE(SameLines({"Deleted: " + FileLine("C:\\old\\x.txt"), "Moved: " + FileLine("C:\\new\\y") + " <= C:\\old\\y",
                         "Moved: " + FileLine("C:\\new\\z") + " <= C:\\old\\z", "Added: " + FileLine("C:\\new\\x")},
                        Compare(Listing({FileLine("C:\\new\\y"), FileLine("C:\\new\\z"), FileLine("C:\\new\\x")}),
                                Listing({FileLine("C:\\old\\x.txt"), FileLine("C:\\old\\y"), FileLine("C:\\old\\z")}))));
  // Switched off, the results are those of every other comparison.
  surfaces.DetectMoves = false;
  EXPECT_EQ(Compare(Listing({FileLine("/e/a")}), Listing({FileLine("/d/a")})),
            (Lines{"Deleted: " + FileLine("/d/a"), "Added: " + FileLine("/e/a")}));
  EXPECT_EQ(Counts(), "0 modified, 1 deleted, 1 added");
}

TEST_F(MoveTest, DuplicatesEmptyFilesAndEditedFilesAreNeverPaired) {
  // Two identical files, one moved and the other deleted: which one moved is unknown.
  EXPECT_EQ(Compare(Listing({Digested("/e/a", kA)}), Listing({Digested("/d/a", kA), Digested("/d/b", kA)})).size(), 3u);
  EXPECT_EQ(Counts(), "0 modified, 2 deleted, 1 added, 0 moved, 3 ambiguous move candidates");
  // Empty files with and without digests, and unreadable ones (32 zeros).
  const std::string emptyDigest = "d41d8cd98f00b204e9800998ecf8427e";
  Compare(Listing({Digested("/e/0", emptyDigest, "0000000000"), FileLine("/e/1", "0000000000"),
                   Digested("/e/2", std::string(32, '0'))}),
          Listing({Digested("/d/0", emptyDigest, "0000000000"), FileLine("/d/1", "0000000000"),
                   Digested("/d/2", std::string(32, '0'))}));
  EXPECT_EQ(Counts(), "0 modified, 3 deleted, 3 added, 0 moved");
  // Moved and edited: another digest, another time or another size.
  Compare(Listing({Digested("/e/a", kB), FileLine("/e/b", "0000000100", "10:00:01"), FileLine("/e/c", "0000000101")}),
          Listing({Digested("/d/a", kA), FileLine("/d/b"), FileLine("/d/c")}));
  EXPECT_EQ(Counts(), "0 modified, 3 deleted, 3 added, 0 moved");
  // A digest on one side only: the keys are of two kinds and never meet.
  Compare(Listing({Digested("/e/a", kA), FileLine("/f/b")}), Listing({FileLine("/d/a"), Digested("/g/b", kB)}));
  EXPECT_EQ(Counts(), "0 modified, 2 deleted, 2 added, 0 moved");
}

TEST_F(MoveTest, TheSameListingsInAnyOrderGiveTheSameMoves) {
  std::mt19937 random(20261207);
  Lines loaded, current;
  for (int i = 0; i < 40; ++i) {
    const std::string digest(32, "0123456789abcdef"[i % 16]), size = "000000000" + std::to_string(i % 3);
    loaded.push_back(Digested("/old/f" + std::to_string(i), digest, size));
    if (i % 4 != 0) current.push_back(Digested((i % 2 ? "/new/f" : "/old/f") + std::to_string(i), digest, size));
    if (i % 5 == 0) current.push_back(FileLine("/plain/" + std::to_string(i % 7)));
    if (i % 6 == 0) loaded.push_back(FileLine("/plain2/" + std::to_string(i % 7)));
  }
  Lines first = Compare(Listing(current), Listing(loaded));
  const std::string counts = Counts();
  EXPECT_GT(window.LastComparison().Moved, 0);
  EXPECT_GT(window.LastComparison().AmbiguousMoves, 0);
  EXPECT_EQ(Compare(Listing(current), Listing(loaded)), first);
  std::sort(first.begin(), first.end());
  for (int round = 0; round < 20; ++round) {
    std::shuffle(current.begin(), current.end(), random);
    std::shuffle(loaded.begin(), loaded.end(), random);
    Lines shuffled = Compare(Listing(current), Listing(loaded));
    std::sort(shuffled.begin(), shuffled.end());
    ASSERT_TRUE(SameLines(first, shuffled)) << "round " << round;
    EXPECT_EQ(Counts(), counts);
  }
}

TEST_F(ComparisonTest, KeepsTheBytesOfAListingInAnOlderCodePage) {
  // An old listing written in a Windows code page (0xE9 is "e acute" there)
  // against a new one in UTF-8: the bytes stay as they are, so the same name
  // shows as one file deleted and one added.
  TempTree tree;
  const std::string ansi = FileLine("C:\\Docs\\caf\xE9.txt"), utf8 = FileLine("C:\\Docs\\caf\xC3\xA9.txt");
  const std::string same = FileLine("C:\\Docs\\plain.txt");
  tree.File("old.qln", ansi + "\r\n" + same + "\r\n>>> All directories found >>>\r\n<<< All directories found <<<\r\n"
                       "Number of Files = 2  Number of Folders = 0  Total Size = 200 Bytes\r\n");
  ListPane loaded;
  ReadListingFile(tree.Path("old.qln"), loaded);
  Lines loadedLines(loaded.Lines().Lines().begin(), loaded.Lines().Lines().end());
  EXPECT_EQ(loadedLines[0], ansi);
  EXPECT_TRUE(SameLines({"Deleted: " + ansi, "Added: " + utf8}, Compare(Listing({utf8, same}), loadedLines)));
}

TEST_F(MoveTest, Sha256DigestsCompareAndPairLikeMd5OnesButNeverWithThem) {
  const std::string sha(64, 'a'), shaB(64, 'b'), zeros(64, '0');
  const std::string line = Digested("/d/a b", sha);  // the fields are views into it
  const auto f = FileLineFields::Parse(line);
  ASSERT_TRUE(f.has_value());
  EXPECT_EQ(f->Digest, sha);
  EXPECT_EQ(f->Path, "/d/a b");
  // Listings of the two kinds: every file is modified, as against no digest.
  Compare(Listing({Digested("/d/a", sha), Digested("/d/b", shaB)}), Listing({Digested("/d/a", kA), FileLine("/d/b")}));
  EXPECT_EQ(Counts(), "2 modified, 0 deleted, 0 added, 0 moved");
  // A move of SHA-256 digests pairs; 64 zeros never do, nor digits of MD5 with those of SHA-256.
  Compare(Listing({Digested("/e/a", sha), Digested("/e/z", zeros), Digested("/e/c", kB)}),
          Listing({Digested("/d/a", sha), Digested("/d/z", zeros), Digested("/d/c", shaB)}));
  EXPECT_EQ(Counts(), "0 modified, 2 deleted, 2 added, 1 moved");
}
