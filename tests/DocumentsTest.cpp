#include <csignal>
#include <filesystem>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "documents/ListingFile.h"
#include "platform/QuillonError.h"

namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  ListPane pane;
  ReadListingFile(path, pane);
  std::vector<std::string> lines;
  for (auto line : pane.Lines().Lines()) lines.emplace_back(line);
  return lines;
}

std::vector<std::string> LinesOf(const std::string& bytes) {
  TempTree tree;
  tree.File("f", bytes);
  return ReadLines(tree.Path("f"));
}

std::string CreateError(const std::string& path) {
  try {
    WriteListingFile({"line"}, path);
  } catch (const QuillonError& error) {
    return error.what();
  }
  return "no error";
}

std::size_t EntriesIn(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

}  // namespace

TEST(ListingFile, SplitsLinesByTheReadingRule) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(LinesOf("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(LinesOf("a\nb\n"), (Lines{"a", "b"}));
  EXPECT_EQ(LinesOf("a\rb\r"), (Lines{"a", "b"}));
  EXPECT_EQ(LinesOf("a\n\rb"), (Lines{"a", "", "b"}));  // LF CR ends two lines
  EXPECT_EQ(LinesOf("A\r\n\r\n"), (Lines{"A", ""}));
  EXPECT_EQ(LinesOf("last line without break"), (Lines{"last line without break"}));
  EXPECT_EQ(LinesOf(std::string("a\r\nb\0c\r\nd", 9)), (Lines{"a", "b"}));  // NUL ends the text
  EXPECT_EQ(LinesOf(std::string("\0abc", 4)), Lines{});
  EXPECT_EQ(LinesOf(""), Lines{});
  EXPECT_EQ(LinesOf("\r\n"), (Lines{""}));
  EXPECT_EQ(LinesOf("caf\xC3\xA9\t\x01\r\n"), (Lines{"caf\xC3\xA9\t\x01"}));
}

TEST(ListingFile, RoundTripsLinesAsTheirLengthsPlusTwoBytes) {
  TempTree tree;
  const std::vector<std::string> lines = {"first", "", "with spaces  and \t tab", std::string(5000, 'x'), "last"};
  std::vector<std::string_view> views(lines.begin(), lines.end());
  WriteListingFile(views, tree.Path("out.qln"));
  EXPECT_EQ(ReadLines(tree.Path("out.qln")), lines);
  std::size_t expected = 0;
  for (const auto& line : lines) expected += line.size() + 2;
  EXPECT_EQ(std::filesystem::file_size(tree.Path("out.qln")), expected);
  WriteListingFile({}, tree.Path("empty.qln"));
  EXPECT_EQ(std::filesystem::file_size(tree.Path("empty.qln")), 0u);
  // A file that was there is replaced whole, and keeps its permissions.
#ifndef _WIN32
  tree.Chmod("out.qln", 0640);
#endif
  WriteListingFile({"short"}, tree.Path("out.qln"));
  EXPECT_EQ(tree.Read("out.qln"), "short\r\n");
#ifndef _WIN32
  EXPECT_EQ(std::filesystem::status(tree.Path("out.qln")).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
#endif
  EXPECT_EQ(EntriesIn(tree.Root()), 2u);
}

#ifdef _WIN32
TEST(ListingFile, CannotCreateOverAFolderOrInAMissingFolder) {
  TempTree tree;
  tree.Dir("folder.qln");
  for (const auto& [name, reason] : {std::pair<std::string, std::string>{"folder.qln", "Is a directory"},
                                     {"missing/x.qln", "No such file or directory"}})
    EXPECT_EQ(CreateError(tree.Path(name)), "Cannot create file " + tree.Path(name) + "\n" + reason);
  EXPECT_EQ(EntriesIn(tree.Root()), 1u);
}
#endif

// Links, and failing writes by a file-size limit, are POSIX matters; the
// Windows saves have tests of their own.
#ifndef _WIN32
TEST(ListingFile, WritesThroughALinkToTheFileItNames) {
  TempTree tree;
  tree.File("real.qln", "old\r\n");
  tree.Link("link.qln", "real.qln");
  WriteListingFile({"new"}, tree.Path("link.qln"));
  EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("link.qln")));
  EXPECT_EQ(tree.Read("real.qln"), "new\r\n");
}

TEST(ListingFile, CannotCreateAFolderAMissingFolderAReadOnlyFileADanglingLinkOrALoop) {
  TempTree tree;
  tree.Dir("folder.qln");
  tree.File("readonly.qln", "keep me\r\n");
  tree.Chmod("readonly.qln", 0444);
  tree.Link("dangling.qln", "missing.qln");
  tree.Link("loop.qln", "loop.qln");
  for (const auto& [name, reason] : {std::pair<std::string, std::string>{"folder.qln", "Is a directory"},
                                     {"missing/x.qln", "No such file or directory"},
                                     {"readonly.qln", "Permission denied"},
                                     {"dangling.qln", "No such file or directory"},
                                     {"loop.qln", "Too many levels of symbolic links"},
                                     {"", "No such file or directory"}})
    EXPECT_EQ(CreateError(name.empty() ? name : tree.Path(name)),
              "Cannot create file " + (name.empty() ? name : tree.Path(name)) + "\n" + reason);
  EXPECT_EQ(tree.Read("readonly.qln"), "keep me\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("dangling.qln")));
  EXPECT_EQ(EntriesIn(tree.Root()), 4u);
  EXPECT_THROW(ReadLines(tree.Path("missing.qln")), QuillonError);
  try {
    ReadLines(tree.Path("folder.qln"));
    ADD_FAILURE() << "a folder was read";
  } catch (const QuillonError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + tree.Path("folder.qln") + "\nIs a directory");
  }
}

TEST(ListingFile, AWriteThatFailsPartWayLeavesTheOldFileWhole) {
  TempTree tree;
  const std::string old(100, 'o');
  tree.File("listing.qln", old);
  const pid_t child = fork();
  if (child == 0) {
    // Past 64 KiB every write fails as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{65536, 65536};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::vector<std::string> lines(10000, std::string(100, 'n'));
    std::vector<std::string_view> views(lines.begin(), lines.end());
    try {
      WriteListingFile(views, tree.Path("listing.qln"));
    } catch (const QuillonError& error) {
      _exit(std::string(error.what()) == "Stream write error\nFile too large" ? 0 : 3);
    }
    _exit(4);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(tree.Read("listing.qln"), old);
  EXPECT_EQ(EntriesIn(tree.Root()), 1u);
}

#endif

namespace {

// The window logic over recorded surfaces, with a small tree to list.
class DocumentsTest : public ::testing::Test {
 protected:
  DocumentsTest() : window(surfaces, search, RegionalSettings{}) {
    search.AddFolder(Native("/r/"), {FakeFolderSearch::File("a", 1), FakeFolderSearch::File("b", 2)});
  }

  bool Run(void (TMainWindow::*handler)(const void*)) {
    return window.Dispatch([&] { (window.*handler)(nullptr); });
  }
  void ListTree() {
    surfaces.FolderAnswers.push_back(Native("/r"));
    ASSERT_TRUE(Run(&TMainWindow::EditListContentActionExecute));
  }
  // Opens a file, a listing or not.
  void OpenFile(const std::string& path) {
    surfaces.OpenAnswers.push_back(path);
    surfaces.ConfirmAnswers.push_back(ConfirmAnswer::Yes);
    ASSERT_TRUE(Run(&TMainWindow::FileOpenActionExecute));
    surfaces.ConfirmAnswers.clear();
  }
  bool Enabled(ActionId action) { return surfaces.IsEnabled(action); }

  TempTree tree;
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  TMainWindow window;
};

}  // namespace

TEST_F(DocumentsTest, NewEmptiesTheWindowButKeepsTotalsCaptionAndCheckBox) {
  ListTree();
  tree.File("loaded.qln", "x:1\r\nNumber of Files = 1\r\n");
  OpenFile(tree.Path("loaded.qln"));
  surfaces.SetPaneLines(PaneId::ListBox3, {"result"});
  surfaces.Pane(PaneId::ListBox3).SetScrollExtent(77);
  surfaces.ClearLog();
  ASSERT_TRUE(Run(&TMainWindow::FileNewActionExecute));
  EXPECT_TRUE(SameLines(
      {"SetBusyCursor()", "PaneClear(ListBox1)", "PaneClear(ListBox2)", "PaneClear(ListBox3)",
       "SetLabelText(Label1, Selected: ?)", "SetLabelText(Label2, Loaded File: ?)", "EditSetText()",
       "SetActionEnabled(FileSaveAction, false)", "SetActionEnabled(FileSaveResultAction, false)",
       "SetActionEnabled(EditCompareContentAction, false)", "SetActionEnabled(EditRepeatLastAction, false)",
       "PaneSetScrollExtent(ListBox1, 0)", "PaneSetScrollExtent(ListBox2, 0)", "SetNormalCursor()"},
      surfaces.Ops()));
  const MainWindowState& state = window.State();
  EXPECT_EQ(state.DocumentFileName, "Untitled");
  EXPECT_FALSE(state.HasListing);
  EXPECT_FALSE(state.HasLoadedListing);
  EXPECT_EQ(state.LastListPath, Native("/r/"));
  EXPECT_EQ(state.LastCommand, 1);
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox3).ScrollExtent(), 77);
  EXPECT_EQ(surfaces.Panels[0], "Files = 2");
}

TEST_F(DocumentsTest, OpenLoadsTheFileAndMakesItTheDocument) {
  tree.File("loaded.qln", "short\r\na somewhat longer line\nmid\r");
  surfaces.ClearLog();
  OpenFile(tree.Path("loaded.qln"));
  const std::string path = tree.Path("loaded.qln");
  EXPECT_TRUE(SameLines({"SetBusyCursor()", "RunOpenDialog()", "PaneLoadFromFile(ListBox2, " + path + ")",
                         "SetLabelText(Label2, Loaded File: " + path + ")",
                         "SetActionEnabled(FileSaveAsAction, true)", "SetActionEnabled(EditRepeatLastAction, false)"},
                        surfaces.Ops({"SetBusy", "Run", "PaneLoad", "SetLabel", "SetAction"})));
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox2), (std::vector<std::string>{"short", "a somewhat longer line", "mid"}));
  EXPECT_EQ(window.State().DocumentFileName, path);
  EXPECT_TRUE(window.State().HasLoadedListing);
  EXPECT_EQ(window.State().WidestLoadedLine, 22);
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox2).ScrollExtent(), 146);  // 8 × 22 × 80 / 96
  EXPECT_FALSE(surfaces.Busy);
  // Without a listing Compare keeps its state; the next run enables it.
  EXPECT_FALSE(surfaces.Enabled[static_cast<int>(ActionId::EditCompareContentAction)].has_value());
  ListTree();
  EXPECT_TRUE(Enabled(ActionId::EditCompareContentAction));
}

TEST_F(DocumentsTest, OpenAfterAListingEnablesCompareAndDisablesRepeat) {
  ListTree();
  EXPECT_TRUE(Enabled(ActionId::EditRepeatLastAction));
  tree.File("empty.qln");
  OpenFile(tree.Path("empty.qln"));
  EXPECT_TRUE(Enabled(ActionId::EditCompareContentAction));
  EXPECT_FALSE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox2).Count(), 0);
  EXPECT_EQ(surfaces.Pane(PaneId::ListBox2).ScrollExtent(), 0);
}

TEST_F(DocumentsTest, AFailedOrCancelledOpenChangesNothing) {
  tree.File("first.qln", "kept\r\n");
  OpenFile(tree.Path("first.qln"));
  surfaces.ClearLog();
  ASSERT_TRUE(Run(&TMainWindow::FileOpenActionExecute));  // no answer: cancelled
  EXPECT_TRUE(SameLines({"SetBusyCursor()", "RunOpenDialog()", "SetNormalCursor()"}, surfaces.Ops()));

  surfaces.OpenAnswers.push_back(tree.Path("missing.qln"));
  EXPECT_FALSE(Run(&TMainWindow::FileOpenActionExecute));
  EXPECT_EQ(surfaces.Errors, std::vector<std::string>{"Cannot open file " + tree.Path("missing.qln") + "\nNo such file or directory."});
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox2), std::vector<std::string>{"kept"});
  EXPECT_EQ(surfaces.Label2, "Loaded File: " + tree.Path("first.qln"));
  EXPECT_EQ(window.State().DocumentFileName, tree.Path("first.qln"));
  EXPECT_TRUE(surfaces.Busy);  // a failing command leaves the cursor as it was
}

TEST_F(DocumentsTest, SaveOfAnUntitledListingGoesThroughSaveAs) {
  ListTree();
  surfaces.ClearLog();
  ASSERT_TRUE(Run(&TMainWindow::FileSaveActionExecute));  // dialog cancelled
  EXPECT_TRUE(SameLines({"SetBusyCursor()", "RunSaveDialog()", "SetNormalCursor()"}, surfaces.Ops()));
  EXPECT_EQ(window.State().DocumentFileName, "Untitled");
  EXPECT_TRUE(Enabled(ActionId::FileSaveAction));

  surfaces.SaveAnswers.push_back(tree.Path("saved.qln"));
  ASSERT_TRUE(Run(&TMainWindow::FileSaveActionExecute));
  EXPECT_EQ(window.State().DocumentFileName, tree.Path("saved.qln"));
  EXPECT_FALSE(Enabled(ActionId::FileSaveAction));
  EXPECT_FALSE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_FALSE(surfaces.Busy);
  EXPECT_EQ(ReadLines(tree.Path("saved.qln")), surfaces.Lines(PaneId::ListBox1));
}

TEST_F(DocumentsTest, SaveAsAsksBeforeReplacingAFileAndOnlyYesReplacesIt) {
  ListTree();
  tree.File("existing.qln", "previous\r\n");
  const std::string path = tree.Path("existing.qln");
  for (const ConfirmAnswer answer : {ConfirmAnswer::No, ConfirmAnswer::Cancel}) {
    surfaces.SaveAnswers.push_back(path);
    surfaces.ConfirmAnswers.push_back(answer);
    ASSERT_TRUE(Run(&TMainWindow::FileSaveActionExecute));
    EXPECT_EQ(tree.Read("existing.qln"), "previous\r\n");
    EXPECT_EQ(window.State().DocumentFileName, "Untitled");
    EXPECT_TRUE(Enabled(ActionId::FileSaveAction));
    EXPECT_FALSE(surfaces.Busy);
  }
  surfaces.SaveAnswers.push_back(path);
  surfaces.ConfirmAnswers.push_back(ConfirmAnswer::Yes);
  ASSERT_TRUE(Run(&TMainWindow::FileSaveActionExecute));
  EXPECT_EQ(surfaces.Questions, std::vector<std::string>(3, "OK to overwrite " + path));
  EXPECT_EQ(ReadLines(path), surfaces.Lines(PaneId::ListBox1));
  EXPECT_EQ(window.State().DocumentFileName, path);
}

TEST_F(DocumentsTest, SaveAsToAFolderAsksNothingAndFails) {
  ListTree();
  tree.Dir("folder.qln");
  surfaces.SaveAnswers.push_back(tree.Path("folder.qln"));
  EXPECT_FALSE(Run(&TMainWindow::FileSaveActionExecute));
  EXPECT_TRUE(surfaces.Questions.empty());
  EXPECT_EQ(surfaces.Errors, std::vector<std::string>{"Cannot create file " + tree.Path("folder.qln") + "\nIs a directory."});
  EXPECT_EQ(window.State().DocumentFileName, "Untitled");
  EXPECT_TRUE(Enabled(ActionId::FileSaveAction));
}

TEST_F(DocumentsTest, SaveOverTheLoadedListingAsksFirstAndOnlyYesWritesIt) {
  tree.File("document.qln", "old listing\r\nNumber of Files = 0\r\n");
  OpenFile(tree.Path("document.qln"));
  ListTree();
  for (const ConfirmAnswer answer : {ConfirmAnswer::No, ConfirmAnswer::Cancel, ConfirmAnswer::Yes}) {
    surfaces.ConfirmAnswers.push_back(answer);
    surfaces.Questions.clear();
    ASSERT_TRUE(Run(&TMainWindow::FileSaveActionExecute));
    EXPECT_EQ(surfaces.Questions, std::vector<std::string>{"OK to overwrite " + tree.Path("document.qln")});
    EXPECT_EQ(ReadLines(tree.Path("document.qln")).size(), answer == ConfirmAnswer::Yes ? 5u : 2u);
    EXPECT_EQ(Enabled(ActionId::FileSaveAction), answer != ConfirmAnswer::Yes);
  }
  EXPECT_FALSE(surfaces.Busy);
}

TEST_F(DocumentsTest, OpenAsksBeforeLoadingAFileThatIsNoListing) {
  tree.File("binary.bin", std::string("\x7f" "ELF\0\0\x01", 7) + "Number of Files = 1\r\n");
  tree.File("results.txt", "Added: x\r\n");
  tree.File("listing.qln", "a\r\n" + std::string(70000, 'x') + "\r\nNumber of Files = 1  Number of Folders = 0\r\n");
  for (const char* name : {"binary.bin", "results.txt", "listing.qln"}) {
    surfaces.Questions.clear();
    surfaces.OpenAnswers.push_back(tree.Path(name));
    surfaces.ConfirmAnswers.push_back(ConfirmAnswer::No);
    ASSERT_TRUE(Run(&TMainWindow::FileOpenActionExecute));
    const bool listing = std::string(name) == "listing.qln";
    EXPECT_EQ(surfaces.Questions.empty(), listing) << name;
    EXPECT_EQ(window.State().HasLoadedListing, listing) << name;
    surfaces.ConfirmAnswers.clear();
  }
  // Yes loads it all the same.
  surfaces.OpenAnswers.push_back(tree.Path("results.txt"));
  surfaces.ConfirmAnswers.push_back(ConfirmAnswer::Yes);
  ASSERT_TRUE(Run(&TMainWindow::FileOpenActionExecute));
  EXPECT_EQ(surfaces.Questions.back(), tree.Path("results.txt") + " does not look like a listing. Open it anyway?");
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox2), std::vector<std::string>{"Added: x"});
}

TEST_F(DocumentsTest, SaveComparisonResultsWritesTheResultsPaneOnly) {
  ListTree();
  surfaces.SetPaneLines(PaneId::ListBox3, {"Added: one", "Deleted: two"});
  surfaces.Enabled[static_cast<int>(ActionId::FileSaveResultAction)] = true;

  // Declining the overwrite offers the dialog again; given up then, the
  // command stays available and nothing is written.
  tree.File("results.txt", "older results\r\n");
  surfaces.SaveAnswers = {tree.Path("results.txt"), tree.Path("results.txt")};
  surfaces.ConfirmAnswers = {ConfirmAnswer::No, ConfirmAnswer::Cancel};
  ASSERT_TRUE(Run(&TMainWindow::FileSaveResultActionExecute));
  EXPECT_TRUE(surfaces.SaveAnswers.empty());  // the dialog came twice
  EXPECT_EQ(tree.Read("results.txt"), "older results\r\n");
  EXPECT_TRUE(Enabled(ActionId::FileSaveResultAction));
  EXPECT_FALSE(surfaces.Busy);

  surfaces.SaveAnswers.push_back(tree.Path("new-results.txt"));
  ASSERT_TRUE(Run(&TMainWindow::FileSaveResultActionExecute));
  EXPECT_EQ(tree.Read("new-results.txt"), "Added: one\r\nDeleted: two\r\n");
  EXPECT_FALSE(Enabled(ActionId::FileSaveResultAction));
  EXPECT_FALSE(Enabled(ActionId::EditRepeatLastAction));
  EXPECT_EQ(window.State().DocumentFileName, "Untitled");
  EXPECT_TRUE(Enabled(ActionId::FileSaveAction));
}

TEST_F(DocumentsTest, ACancelledSaveComparisonResultsStillDisablesIt) {
  surfaces.SetPaneLines(PaneId::ListBox3, {"No differences found... ;-)"});
  surfaces.ClearLog();
  ASSERT_TRUE(Run(&TMainWindow::FileSaveResultActionExecute));
  EXPECT_TRUE(SameLines({"SetBusyCursor()", "RunSaveDialog()", "SetActionEnabled(FileSaveResultAction, false)",
                         "SetActionEnabled(EditRepeatLastAction, false)", "SetNormalCursor()"},
                        surfaces.Ops()));
  EXPECT_EQ(surfaces.Lines(PaneId::ListBox3), std::vector<std::string>{"No differences found... ;-)"});
}
