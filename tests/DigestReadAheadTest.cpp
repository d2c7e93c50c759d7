#include <sys/stat.h>

#include <functional>
#include <map>

#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "engine/DigestPrefetcher.h"
#include "platform/PosixFileReader.h"
#include "platform/PosixFolderSearch.h"
#include "platform/Vexmd5.h"

namespace {

std::string Md5Hex(const std::string& data) {
  md5_context context;
  md5_starts(&context);
  md5_update(&context, reinterpret_cast<const unsigned char*>(data.data()), static_cast<std::uint32_t>(data.size()));
  unsigned char digest[16];
  md5_finish(&context, digest);
  char text[33];
  md5_toHexStr(text, digest);
  return text;
}

FileDigester::Expected ExpectedOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return {S_ISREG(st.st_mode), static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec,
          static_cast<std::uint32_t>(st.st_mtim.tv_nsec)};
}

// A tree of folders three deep whose every file has content of its own, one
// of them large enough to keep a core busy for a while.
std::map<std::string, std::string> MakeTree(TempTree& tree) {
  std::map<std::string, std::string> contentByPath;
  int n = 0;
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 5; ++b) {
      const std::string folder = "d" + std::to_string(a) + "/e" + std::to_string(b);
      tree.Dir(folder);
      for (int f = 0; f < 7; ++f) {
        std::string content = "file " + std::to_string(n++) + std::string(static_cast<std::size_t>(f * 97), 'x');
        if (n == 40) content += std::string(3 << 20, 'L');
        const std::string relative = folder + "/f" + std::to_string(f);
        tree.File(relative, content);
        contentByPath[tree.Path(relative)] = content;
      }
    }
  }
  return contentByPath;
}

}  // namespace

TEST(DigestPrefetcher, HandsOutDigestsInTheOrderTheyWereQueued) {
  TempTree tree;
  std::vector<std::string> paths;
  for (int i = 0; i < 50; ++i) {
    tree.File("f" + std::to_string(i), std::string(static_cast<std::size_t>(i * 1000), static_cast<char>('a' + i % 26)));
    paths.push_back(tree.Path("f" + std::to_string(i)));
  }
  PosixFileReader reader;
  DigestPrefetcher prefetcher(reader);
  FileDigester digester(reader);
  const auto digestOf = [&](std::size_t i) { return digester.ComputeFileDigest(paths[i], ExpectedOf(paths[i])).text; };
  std::vector<std::size_t> jobs;
  for (const auto& path : paths) jobs.push_back(prefetcher.Add(path, ExpectedOf(path)));
  EXPECT_FALSE(prefetcher.Take(jobs[1], digester).has_value());  // only the oldest may be taken
  for (std::size_t i = 0; i < 25; ++i) EXPECT_EQ(prefetcher.Take(jobs[i], digester)->text, digestOf(i));
  prefetcher.Reset();
  EXPECT_EQ(prefetcher.Outstanding(), 0u);
  EXPECT_FALSE(prefetcher.Take(jobs[25], digester).has_value());
  const std::size_t again = prefetcher.Add(paths[7], ExpectedOf(paths[7]));
  EXPECT_EQ(prefetcher.Take(again, digester)->text, digestOf(7));
}

namespace {

// Lists the tree with the check box answering as md5 says, and checks that
// each file line with a digest carries the digest of its own file. Returns
// how many lines had one.
int ListAndCheckDigests(TMainWindow& window, RecordingSurfaces& surfaces, const TempTree& tree,
                        const std::map<std::string, std::string>& contentByPath, std::function<bool(int)> md5) {
  int asked = 0;
  surfaces.Md5 = [&] { return md5(asked++); };
  surfaces.FolderAnswers.push_back(tree.Root());
  EXPECT_TRUE(window.Dispatch([&] { window.EditListContentActionExecute(); }));
  EXPECT_EQ(window.State().FileCount, static_cast<int>(contentByPath.size()));
  const auto lines = surfaces.Lines(PaneId::ListBox1);
  int withDigest = 0;
  for (int i = 0; i < window.State().FileCount; ++i) {
    const std::string& line = lines[static_cast<std::size_t>(i)];
    const bool digest = md5(i);
    const std::string path = line.substr(digest ? 82 : 49);
    EXPECT_TRUE(contentByPath.count(path)) << line;
    if (digest && contentByPath.count(path)) {
      ++withDigest;
      EXPECT_EQ(line.substr(49, 32), Md5Hex(contentByPath.at(path))) << line;
    }
  }
  return withDigest;
}

}  // namespace

TEST(DigestReadAhead, EveryLineCarriesTheDigestOfItsOwnFile) {
  TempTree tree;
  const auto contentByPath = MakeTree(tree);
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  const auto always = [](int) { return true; };
  for (int run = 0; run < 2; ++run)
    EXPECT_EQ(ListAndCheckDigests(window, surfaces, tree, contentByPath, always),
              static_cast<int>(contentByPath.size()));
}

TEST(DigestReadAhead, FollowsTheCheckBoxWhenItChangesDuringARun) {
  TempTree tree;
  const auto contentByPath = MakeTree(tree);
  RecordingSurfaces surfaces;
  PosixFolderSearch search;
  TMainWindow window(surfaces, search, RegionalSettings{});
  // Digests on for a while, then off, then on again, several times.
  const auto inTurns = [](int file) { return (file / 25) % 2 == 0; };
  EXPECT_GT(ListAndCheckDigests(window, surfaces, tree, contentByPath, inTurns), 100);
}
