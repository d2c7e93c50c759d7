#include <fcntl.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "platform/PosixFolderSearch.h"

namespace {

constexpr std::int64_t kTime = 1700000000;  // 14.11.2023 22:13:20 UTC
const std::string kDate = "14.11.2023 22:13:20";

// Lists a real tree through the window logic, as the List command does.
std::vector<std::string> ListTree(const std::string& folder, bool md5, RegionalSettings settings = {}) {
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  TMainWindow window(surfaces, search, std::move(settings));
  surfaces.FolderAnswers.push_back(folder);
  surfaces.Md5 = [md5] { return md5; };
  EXPECT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  return surfaces.Lines(PaneId::ListBox1);
}

std::string Pattern(int length) {
  std::string data;
  for (int i = 0; i < length; ++i) data += static_cast<char>((i * 7 + 3) % 256);
  return data;
}

}  // namespace

TEST(RealTree, ListsFilesThenFoldersThenTheSummary) {
  TempTree tree;
  tree.Dir("docs/old");
  tree.Dir("empty");
  tree.File("top.txt", "hello\n");
  tree.File("docs/a b.txt", std::string(1234, 'x'));
  tree.File("docs/old/deep.bin", std::string(1000000, 'y'));
  for (const char* file : {"top.txt", "docs/a b.txt", "docs/old/deep.bin"}) tree.SetTime(file, kTime);
  const std::string r = tree.Root() + "/";
  const std::vector<std::string> expected = {
      kDate + " 0000000006 Bytes ____N______ " + r + "top.txt",
      kDate + " 0000001234 Bytes ____N______ " + r + "docs/a b.txt",
      kDate + " 0001000000 Bytes ____N______ " + r + "docs/old/deep.bin",
      ">>> All directories found >>>",
      r + "docs/",
      r + "empty/",
      r + "docs/old/",
      "<<< All directories found <<<",
      "Number of Files = 3  Number of Folders = 3  Total Size = 1,001,240 Bytes",
  };
  const auto listing = ListTree(tree.Root(), false);
  EXPECT_TRUE(SameLines(SortedSections(expected), SortedSections(listing)));
  // Breadth-first: the deeper folder comes after both folders of the root.
  EXPECT_EQ(listing[6], r + "docs/old/");
}

TEST(RealTree, MapsAttributesAndListsLinksFifosAndSocketsAsEntriesOfTheirOwn) {
  TempTree tree;
  tree.Dir("d");
  tree.File("plain");
  tree.File("readonly");
  tree.Chmod("readonly", 0444);
  tree.File(".hidden", "h");
  tree.Fifo("fifo");
  tree.Link("to-root", tree.Root());   // a link to a folder above it: a loop if followed
  tree.Link("d/self", ".");
  tree.Link("cycle-a", "cycle-b");     // a cycle of links
  tree.Link("cycle-b", "cycle-a");
  for (const char* entry : {"plain", "readonly", ".hidden", "fifo", "to-root", "d/self", "cycle-a", "cycle-b"})
    tree.SetTime(entry, kTime);
  const std::string r = tree.Root() + "/";
  const std::string zeros(32, '0');
  auto size = [](std::size_t n) {
    std::string text = std::to_string(n);
    return std::string(10 - text.size(), '0') + text;
  };
  const std::vector<std::string> expected = {
      kDate + " 0000000000 Bytes ____N______ d41d8cd98f00b204e9800998ecf8427e " + r + "plain",
      kDate + " 0000000000 Bytes __________R d41d8cd98f00b204e9800998ecf8427e " + r + "readonly",
      kDate + " 0000000001 Bytes _________H_ 2510c39011c5be704182423e3a695e91 " + r + ".hidden",
      kDate + " 0000000000 Bytes ________S__ " + zeros + " " + r + "fifo",
      kDate + " " + size(tree.Root().size()) + " Bytes ____N______ " + zeros + " " + r + "to-root",
      kDate + " 0000000001 Bytes ____N______ " + zeros + " " + r + "d/self",
      kDate + " 0000000007 Bytes ____N______ " + zeros + " " + r + "cycle-a",
      kDate + " 0000000007 Bytes ____N______ " + zeros + " " + r + "cycle-b",
      ">>> All directories found >>>",
      r + "d/",
      "<<< All directories found <<<",
      "Number of Files = 8  Number of Folders = 1  Total Size = " + std::to_string(tree.Root().size() + 16) +
          " Bytes",
  };
  EXPECT_TRUE(SameLines(SortedSections(expected), SortedSections(ListTree(tree.Root(), true))));
}

TEST(RealTree, DigestsReadWholeFilesInBlocks) {
  TempTree tree;
  tree.File("empty");
  tree.File("exactly-512", Pattern(512));
  tree.File("one-thousand", Pattern(1000));
  const std::string r = tree.Root() + "/";
  std::map<std::string, std::string> digestByPath;
  for (const auto& line : ListTree(tree.Root(), true)) {
    const auto slash = line.find(r);
    if (slash != std::string::npos && line.size() > 82) digestByPath[line.substr(slash)] = line.substr(49, 32);
  }
  EXPECT_EQ(digestByPath[r + "empty"], "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(digestByPath[r + "exactly-512"], "6a5382abbcdbcf1bd54b3af589f56281");
  EXPECT_EQ(digestByPath[r + "one-thousand"], "10046f077f2082ac19676b8079f1cb1a");
}

// Files of one name in folders of one name under different parents: each
// digest is of its own file, however the folders are held open between files.
TEST(RealTree, DigestsEachFileInItsOwnFolderWhereNamesRepeat) {
  TempTree tree;
  const std::map<std::string, std::string> contents = {
      {"q/x", "abc"}, {"p/q/x", "a"}, {"p/s/x", "abc"}, {"t/q/x", "message digest"}, {"t/x", ""}, {"t/q/r/x", "a"}};
  const std::map<std::string, std::string> digests = {{"a", "0cc175b9c0f1b6a831c399e269772661"},
                                                      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
                                                      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
                                                      {"", "d41d8cd98f00b204e9800998ecf8427e"}};
  for (const char* folder : {"p", "p/q", "p/s", "q", "t", "t/q", "t/q/r"}) tree.Dir(folder);
  for (const auto& [path, content] : contents) tree.File(path, content);
  const std::string r = tree.Root() + "/";
  std::map<std::string, std::string> digestByPath;
  for (const auto& line : ListTree(tree.Root(), true)) {
    const auto at = line.find(r);
    if (at != std::string::npos && line.size() > 82) digestByPath[line.substr(at + r.size())] = line.substr(49, 32);
  }
  ASSERT_EQ(digestByPath.size(), contents.size());
  for (const auto& [path, content] : contents) EXPECT_EQ(digestByPath[path], digests.at(content)) << path;
}

TEST(RealTree, ASparseFileOfTenGigabytesTakesElevenDigits) {
  TempTree tree;
  const int fd = open(tree.Path("sparse").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, 10'000'000'001LL), 0);
  close(fd);
  tree.SetTime("sparse", kTime);
  const auto listing = ListTree(tree.Root(), false);
  EXPECT_EQ(listing[0], kDate + " 10000000001 Bytes ____N______ " + tree.Root() + "/sparse");
  EXPECT_EQ(listing.back(), "Number of Files = 1  Number of Folders = 0  Total Size = 10,000,000,001 Bytes");
}

TEST(RealTree, KeepsSpacesAndUtf8AndShowsControlBytesInNamesAsPictures) {
  TempTree tree;
  tree.File("with  two spaces .txt", "1");
  tree.File("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt", "2");
  tree.File("line\nbreak\rand\x7f", "hello\n");
  tree.Dir("folder\nwith break");
  // Names that differ only in control bytes keep lines of their own.
  for (const char* name : {"a\nb", "a\rb", "a?b"}) tree.File(name);
  for (const char* name : {"with  two spaces .txt", "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt", "line\nbreak\rand\x7f",
                           "a\nb", "a\rb", "a?b"})
    tree.SetTime(name, kTime);
  const std::string r = tree.Root() + "/";
  const std::vector<std::string> expected = {
      kDate + " 0000000001 Bytes ____N______ c4ca4238a0b923820dcc509a6f75849b " + r + "with  two spaces .txt",
      kDate + " 0000000001 Bytes ____N______ c81e728d9d4c2f636f067f89cc14862c " + r +
          "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.txt",
      // The digest is still read through the real name.
      kDate + " 0000000006 Bytes ____N______ b1946ac92492d2347c6235b4d2611184 " + r + "line\u240Abreak\u240Dand\u2421",
      kDate + " 0000000000 Bytes ____N______ d41d8cd98f00b204e9800998ecf8427e " + r + "a\u240Ab",
      kDate + " 0000000000 Bytes ____N______ d41d8cd98f00b204e9800998ecf8427e " + r + "a\u240Db",
      kDate + " 0000000000 Bytes ____N______ d41d8cd98f00b204e9800998ecf8427e " + r + "a?b",
      ">>> All directories found >>>",
      r + "folder\u240Awith break/",
      "<<< All directories found <<<",
      "Number of Files = 6  Number of Folders = 1  Total Size = 8 Bytes",
  };
  EXPECT_TRUE(SameLines(SortedSections(expected), SortedSections(ListTree(tree.Root(), true))));
}

TEST(RealTree, RoundsTimesToTheMillisecondBeforeDroppingIt) {
  TempTree tree;
  tree.File("early");
  tree.File("late");
  tree.SetTime("early", kTime, 999'400'000);
  tree.SetTime("late", kTime, 999'600'000);
  const std::string r = tree.Root() + "/";
  EXPECT_TRUE(SameLines(SortedSections({"14.11.2023 22:13:20 0000000000 Bytes ____N______ " + r + "early",
                                        "14.11.2023 22:13:21 0000000000 Bytes ____N______ " + r + "late",
                                        ">>> All directories found >>>", "<<< All directories found <<<",
                                        "Number of Files = 2  Number of Folders = 0  Total Size = 0 Bytes"}),
                        SortedSections(ListTree(tree.Root(), false))));
}

TEST(RealTree, FollowsTheRegionalSeparators) {
  TempTree tree;
  tree.File("big", std::string(1234567, 'z'));
  tree.SetTime("big", kTime);
  const auto listing = ListTree(tree.Root(), false, RegionalSettings{".", "."});
  EXPECT_EQ(listing[0], "14.11.2023 22.13.20 0001234567 Bytes ____N______ " + tree.Root() + "/big");
  EXPECT_EQ(listing.back(), "Number of Files = 1  Number of Folders = 0  Total Size = 1.234.567 Bytes");
}

TEST(RealTree, AnUnreadableFolderIsListedWithoutItsContent) {
  TempTree tree;
  tree.Dir("locked/inner");
  tree.File("locked/secret", "s");
  tree.File("closed", "c");
  tree.SetTime("closed", kTime);
  tree.Chmod("closed", 0);
  tree.Chmod("locked", 0);
  tree.Chmod("", 0755);
  const std::string r = tree.Root() + "/";
  // Root reads everything, so the listing runs as an ordinary user there.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
    }
    std::string text;
    for (const auto& line : ListTree(tree.Root(), true)) text += line + "\n";
    if (write(pipeFds[1], text.data(), text.size()) < 0) _exit(4);
    _exit(0);
  }
  close(pipeFds[1]);
  std::string text;
  char buffer[4096];
  ssize_t got;
  while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  EXPECT_TRUE(SameLines({kDate + " 0000000001 Bytes __________R " + std::string(32, '0') + " " + r + "closed",
                         ">>> All directories found >>>", r + "locked/", "<<< All directories found <<<",
                         "Number of Files = 1  Number of Folders = 1  Total Size = 1 Bytes"},
                        lines));
}
