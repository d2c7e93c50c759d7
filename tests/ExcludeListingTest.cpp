#include <algorithm>
#include <cerrno>
#include <fstream>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"

namespace {

using F = FakeFolderSearch;

// /r holds keep.txt, skip.o (which cannot be examined), build/ (which cannot
// be read), and src/ with a.c, a.o and an inner build/ and a file named build.
struct ExcludeFixture {
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window{surfaces, search, RegionalSettings{}};

  ExcludeFixture() {
    search.AddFolder("/r/", F::WithDots({F::File("keep.txt", 1), F::File("skip.o", 10), F::Folder("build"),
                                         F::Folder("src")}));
    search.AddFolder("/r/src/", F::WithDots({F::File("a.c", 100), F::File("a.o", 1000), F::Folder("build"),
                                             F::File("build", 10000)}));
    search.AddFolder("/r/src/build/", F::WithDots({F::File("out", 100000)}));
    search.FailEntry("/r/", "skip.o", EIO);
    search.FailFolder("/r/build/", 0, EACCES);
  }
  std::vector<std::string> List(std::vector<std::string> patterns) {
    surfaces.Excludes = std::move(patterns);
    surfaces.FolderAnswers.push_back("/r");
    EXPECT_TRUE(window.Dispatch([this] { window.EditListContentActionExecute(); })) << surfaces.Errors.back();
    return surfaces.Lines(PaneId::ListBox1);
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (const std::string& line : surfaces.Lines(PaneId::ListBox1))
      if (line.rfind("01.01.1970", 0) == 0) paths.push_back(line.substr(line.find(" /") + 1));
    return paths;
  }
};

TEST(ExcludeListing, ExcludedEntriesAreNeitherListedNorCountedNorSearched) {
  ExcludeFixture f;
  const auto listing = f.List({"*.o", "build/"});
  EXPECT_EQ(f.Paths(), (std::vector<std::string>{"/r/keep.txt", "/r/src/a.c", "/r/src/build"}));
  EXPECT_EQ(std::count(listing.begin(), listing.end(), "/r/src/"), 1);
  EXPECT_EQ(listing.back(), "Number of Files = 3  Number of Folders = 1  Total Size = 10,101 Bytes");
  EXPECT_EQ(f.surfaces.Panels[0], "Files = 3");
  EXPECT_EQ(f.surfaces.Panels[1], "Folders = 1");
  // Only the root and src were searched: an excluded folder is never opened,
  // and what is excluded is never reported as unreadable.
  EXPECT_EQ(f.search.Patterns, (std::vector<std::string>{"/r/*.*", "/r/src/*.*"}));
  EXPECT_TRUE(f.surfaces.Ops({"ReportUnreadable"}).empty());
  EXPECT_EQ(f.surfaces.Ops({"StatusSetPanelText(4"}),
            (std::vector<std::string>{"StatusSetPanelText(4, Leaving out what matches: *.o build/)"}));

  // A path pattern reaches only its own place.
  f.List({"src/build", "/skip.o"});
  EXPECT_EQ(f.Paths(), (std::vector<std::string>{"/r/keep.txt", "/r/src/a.c", "/r/src/a.o"}));
  EXPECT_EQ(f.surfaces.Ops({"ReportUnreadable"}).size(), 1u);  // build/, searched now
  EXPECT_EQ(std::count(f.search.Patterns.begin(), f.search.Patterns.end(), "/r/build/*.*"), 1);
  EXPECT_EQ(std::count(f.search.Patterns.begin(), f.search.Patterns.end(), "/r/src/build/*.*"), 0);
}

TEST(ExcludeListing, AMalformedPatternStopsTheRunBeforeAnythingIsTouched) {
  ExcludeFixture f;
  f.surfaces.Excludes = {"ok", "bad["};
  f.surfaces.FolderAnswers.push_back("/r");
  f.surfaces.ClearLog();
  EXPECT_FALSE(f.window.Dispatch([&f] { f.window.EditListContentActionExecute(); }));
  EXPECT_TRUE(f.search.Patterns.empty());
  EXPECT_TRUE(f.surfaces.Ops({"PaneClear", "SetLabelText", "PaneAddLine"}).empty());
  ASSERT_EQ(f.surfaces.Errors.size(), 1u);
  EXPECT_NE(f.surfaces.Errors[0].find("\"bad[\""), std::string::npos) << f.surfaces.Errors[0];
}

TEST(ExcludeListing, TheCommandLineTakesPatternsAndPatternFiles) {
  TempTree tree, elsewhere;
  tree.Dir("cache/deep");
  tree.File("cache/deep/x", "x");
  tree.File("keep", "k");
  tree.File("notes.tmp", "t");
  elsewhere.File("patterns", "# what a build leaves\n*.tmp\n\ncache/\n");
  const auto plain = RunProgram({CliPath(), "list", tree.Root()});
  const auto excluded =
      RunProgram({CliPath(), "list", "--exclude-from", elsewhere.Path("patterns"), tree.Root()});
  EXPECT_EQ(excluded.exitCode, 0);
  const auto lines = SplitCrLf(excluded.out);
  ASSERT_EQ(lines.size(), 4u) << excluded.out;
  EXPECT_NE(lines[0].find(tree.Root() + "/keep"), std::string::npos);
  EXPECT_EQ(lines[3], "Number of Files = 1  Number of Folders = 0  Total Size = 1 Bytes");
  // compare --folder takes the patterns too: what they leave out is gone.
  std::ofstream(elsewhere.Path("old.qln"), std::ios::binary) << plain.out;
  const auto compared =
      RunProgram({CliPath(), "compare", "--folder", tree.Root(), "--exclude", "*.tmp", elsewhere.Path("old.qln")});
  const auto old = SplitCrLf(plain.out);
  const auto tmp = std::find_if(old.begin(), old.end(), [](const std::string& line) { return line.ends_with(".tmp"); });
  ASSERT_NE(tmp, old.end());
  EXPECT_EQ(SplitCrLf(compared.out), (std::vector<std::string>{"Deleted: " + *tmp}));
  // A pattern file that cannot be read, a folder too, lists nothing.
  for (const std::string& bad : {elsewhere.Path("missing"), elsewhere.Root()}) {
    const auto refused = RunProgram({CliPath(), "list", "--exclude-from", bad, tree.Root()});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("'" + bad + "'\n"), std::string::npos) << refused.err;
  }
  EXPECT_NE(RunProgram({CliPath(), "list", "--exclude-from", elsewhere.Root(), tree.Root()}).err.find("\nIs a directory"),
            std::string::npos);
}

}  // namespace
