#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "FakeFolderSearch.h"
#include "RecordingSurfaces.h"
#include "TestSupport.h"
#include "app/TMainWindow.h"
#include "compare/FileLineFields.h"
#include "compare/LineChanges.h"
#include "engine/ListingLineFormat.h"

namespace {

constexpr const char* kPrefix = "01.03.2024 10:00:00 0000000004 Bytes ____N______ ";
const std::string kDigest(64, 'e');

FindData Entry(std::uint32_t mode, std::uint32_t uid = 0, std::uint64_t links = 1) {
  FindData entry;
  entry.Mode = mode;
  entry.Uid = uid;
  entry.Gid = 100;
  entry.Links = links;
  return entry;
}

EntryMeta Posix(std::string target = {}, std::string xattrs = {}) {
  EntryMeta meta;
  meta.LinkTarget = std::move(target);
  meta.XattrDigest = std::move(xattrs);
  return meta;
}

EntryMeta Windows(std::string owner, std::vector<EntryMeta::Stream> streams, std::uint32_t tag = 0) {
  EntryMeta meta;
  meta.Of = EntryMeta::Kind::Windows;
  meta.OwnerSid = std::move(owner);
  meta.DaclDigest = kDigest;
  meta.ReparseTag = tag;
  meta.Streams = std::move(streams);
  return meta;
}

std::string Group(const FindData& entry, const EntryMeta& meta, std::optional<DigestAlgorithm> digests = {}) {
  std::string text;
  ListingLineFormat::AppendMeta(text, entry, meta, digests);
  return text;
}

// Windows facts as a reader of the system would give them, for the tree of
// the test; a stream named "locked" cannot be read.
class FakeWindowsMeta : public MetaReader {
 public:
  void Read(const std::string&, const FindData& entry, std::optional<DigestAlgorithm> digests,
            EntryMeta& meta) override {
    meta = Windows(Owner, {});
    for (const auto& stream : Streams[entry.Name]) {
      meta.Streams.push_back({stream.first, stream.second, digests ? std::string(DigestDigitsOf(*digests), 'a') : ""});
      if (stream.first == "locked") meta.Failures.push_back({"stream locked", EACCES});
    }
  }
  std::string Owner = "S-1-5-32-544";
  std::map<std::string, std::vector<std::pair<std::string, std::uint64_t>>> Streams;
};

}  // namespace

TEST(MetadataForm, ReadsBackExactlyAndNoTwoStatesShareALine) {
  struct State {
    std::string group, mode, target;
  };
  const std::vector<State> states = {
      {Group(Entry(0100644), Posix()), "-rw-r--r--", ""},
      {Group(Entry(0104755), Posix()), "-rwsr-xr-x", ""},
      {Group(Entry(0102644), Posix()), "-rw-r-Sr--", ""},
      {Group(Entry(0041777), Posix()), "drwxrwxrwt", ""},
      {Group(Entry(0041776), Posix()), "drwxrwxrwT", ""},
      {Group(Entry(0100644, 0, 2), Posix()), "-rw-r--r--", ""},
      {Group(Entry(0100644, 65534), Posix()), "-rw-r--r--", ""},
      {Group(Entry(0100644), Posix({}, kDigest)), "-rw-r--r--", ""},
      // Targets with blanks, line breaks and the escapes' own characters.
      {Group(Entry(0120777), Posix("a b")), "lrwxrwxrwx", "a\xE2\x90\xA0" "b"},
      {Group(Entry(0120777), Posix("a\xE2\x90\xA0" "b")), "lrwxrwxrwx", "a\xE2\x90\xA6\xE2\x90\xA0" "b"},
      {Group(Entry(0120777), Posix("a\nb")), "lrwxrwxrwx", "a\xE2\x90\x8A" "b"},
      {Group(Entry(0120777), Posix("a\xE2\x90\x8A" "b")), "lrwxrwxrwx", "a\xE2\x90\xA6\xE2\x90\x8A" "b"},
      {Group(Entry(0120777), Posix("x /etc/passwd")), "lrwxrwxrwx", "x\xE2\x90\xA0/etc/passwd"},
      {Group(Entry(0120777), Posix()), "lrwxrwxrwx", ""},  // a target that could not be read
  };
  std::set<std::string> lines;
  for (const State& state : states) {
    const std::string line = kPrefix + state.group + "/srv/f";
    const auto fields = FileLineFields::Parse(line);
    ASSERT_TRUE(fields && fields->Meta) << line;
    EXPECT_EQ(fields->Path, "/srv/f") << line;
    EXPECT_EQ(fields->Meta->Values[0], state.mode) << line;
    EXPECT_EQ(fields->Meta->Values[5], state.target) << line;
    EXPECT_TRUE(lines.insert(line).second) << "two states, one line: " << line;
  }

  // Windows: each stream by its size, digest and name, however odd the name.
  const std::string md5(32, '1');
  const std::vector<std::string> windows = {
      Group(Entry(0), Windows("S-1-5-18", {})),
      Group(Entry(0), Windows("S-1-5-18", {}, 0xA000000C)),
      Group(Entry(0), Windows("S-1-5-18", {{"a b", 5, md5}}), DigestAlgorithm::Md5),
      Group(Entry(0), Windows("S-1-5-18", {{"a", 5, md5}, {"b", 0, md5}}), DigestAlgorithm::Md5),
      Group(Entry(0), Windows("S-1-5-18", {{"a stream=0:" + md5 + ":b", 5, md5}}), DigestAlgorithm::Md5),
      Group(Entry(0), Windows("", {{"x", 1, ""}}), DigestAlgorithm::Md5),  // unreadable owner and digest
  };
  for (const std::string& group : windows) {
    const std::string line = std::string(kPrefix) + md5 + " " + group + "C:\\d\\f";
    const auto fields = FileLineFields::Parse(line);
    ASSERT_TRUE(fields && fields->Meta) << line;
    EXPECT_EQ(fields->Meta->Of, MetaFields::Form::Windows);
    EXPECT_EQ(fields->Path, "C:\\d\\f") << line;
    EXPECT_TRUE(lines.insert(line).second) << "two states, one line: " << line;
  }
  // A stream's digest is there exactly when the line has one.
  EXPECT_FALSE(FileLineFields::Parse(std::string(kPrefix) + md5 + " " + windows[0].substr(0, windows[0].size() - 2) +
                                     "1 stream=5:a C:\\d\\f")->Meta);
  EXPECT_EQ(Group(Entry(0), Windows("", {{"x", 1, ""}}), DigestAlgorithm::Md5),
            "owner=? dacl=" + kDigest + " reparse=00000000 streams=1 stream=1:" + std::string(32, '0') + ":x ");

  // A folder line carries the group before its path; a line without a path
  // after a group is read as it always was.
  const std::string folderLine = Group(Entry(0040755), Posix()) + "/srv/d/";
  const auto folder = FolderLineFields::Parse(folderLine);
  ASSERT_TRUE(folder);
  EXPECT_EQ(folder->Path, "/srv/d/");
  EXPECT_FALSE(FolderLineFields::Parse(Group(Entry(0040755), Posix()) + "/srv/d"));
  const std::string bareLine = kPrefix + Group(Entry(0100644), Posix());
  const auto bare = FileLineFields::Parse(bareLine);
  ASSERT_TRUE(bare);
  EXPECT_FALSE(bare->Meta);
}

TEST(MetadataCompare, NamesEachChangedFieldAndLeavesOutTheIgnoredOnes) {
  const auto line = [](const FindData& entry, const EntryMeta& meta) { return kPrefix + Group(entry, meta) + "/s/f"; };
  const std::string before = line(Entry(0100644), Posix());
  using Names = std::vector<std::string_view>;
  EXPECT_EQ(LineChanges::ChangedNames(line(Entry(0104644), Posix()), before), Names{"mode"});
  EXPECT_EQ(LineChanges::ChangedNames(line(Entry(0100644, 7), Posix()), before), Names{"uid"});
  EXPECT_EQ(LineChanges::ChangedNames(line(Entry(0100644, 0, 3), Posix({}, kDigest)), before),
            (Names{"links", "xattrs"}));
  EXPECT_EQ(LineChanges::ChangedNames(line(Entry(0120777), Posix("bbbb")), line(Entry(0120777), Posix("aaaa"))),
            Names{"target"});
  // A group on one side only names every field of that side.
  EXPECT_EQ(LineChanges::ChangedNames(line(Entry(0100644), Posix()), std::string(kPrefix) + "/s/f"),
            (Names{"mode", "uid", "gid", "links", "xattrs", "target"}));
  EXPECT_EQ(LineChanges::ChangedNames(line(Entry(0), Windows("S-1-5-18", {{"x", 1, ""}})),
                                      line(Entry(0), Windows("S-1-5-18", {}))),
            Names{"streams"});

  const LineChanges ignoringLinks({"links"});
  EXPECT_FALSE(ignoringLinks.Differs(line(Entry(0100644, 0, 2), Posix()), before));
  EXPECT_TRUE(ignoringLinks.Differs(line(Entry(0100644, 1, 2), Posix()), before));
  EXPECT_TRUE(LineChanges().Differs(line(Entry(0100644, 0, 2), Posix()), before));
  EXPECT_EQ(LineChanges::UnknownField({"links", "owner", "bogus"}), "bogus");
  EXPECT_EQ(LineChanges::UnknownField({"datetime", "streams"}), "");
}

// The Windows fields go through the platform seam: wine has no streams and
// only part of the security descriptors, so a stand-in gives them here.
TEST(MetadataListing, WindowsFieldsThroughTheSeamAreListedComparedAndToldWhenUnreadable) {
  RecordingSurfaces surfaces;
  FakeFolderSearch search;
  FakeWindowsMeta meta;
  TMainWindow window(surfaces, search, RegionalSettings{});
  window.SetMetaReader(&meta);
  window.SetMetadata(true);
  search.AddFolder(Native("/r/"), FakeFolderSearch::WithDots({FakeFolderSearch::File("a.txt", 5),
                                                              FakeFolderSearch::Folder("sub")}));
  search.AddFolder(Native("/r/sub/"), FakeFolderSearch::WithDots({}));
  meta.Streams["a.txt"] = {{"Zone.Identifier", 26}};
  const auto list = [&] {
    surfaces.FolderAnswers.push_back(Native("/r"));
    return window.Dispatch([&] { window.EditListContentActionExecute(); });
  };
  ASSERT_TRUE(list());
  const std::string group = "owner=S-1-5-32-544 dacl=" + kDigest + " reparse=00000000 streams=";
  const std::vector<std::string> before = surfaces.Lines(PaneId::ListBox1);
  ASSERT_EQ(before.size(), 5u);
  EXPECT_EQ(before[0], "01.01.1970 00:00:00 0000000005 Bytes ____N______ " + group + "1 stream=26:Zone.Identifier " +
                           Native("/r/a.txt"));
  EXPECT_EQ(before[2], group + "0 " + Native("/r/sub/"));

  // Data hidden in a new stream of an unchanged file, a folder given to
  // another owner, and a stream that cannot be read.
  meta.Streams["a.txt"].push_back({"hidden data", 4096});
  meta.Streams["sub"] = {{"locked", 1}};
  ASSERT_TRUE(list());
  EXPECT_EQ(surfaces.Unreadable, std::vector<std::string>{"folder " + Native("/r/sub/") + ": stream locked: " +
                                                          std::strerror(EACCES)});
  EXPECT_NE(surfaces.Lines(PaneId::ListBox1)[0].find("stream=4096:hidden\xE2\x90\xA0" "data "), std::string::npos);
  surfaces.SetPaneLines(PaneId::ListBox2, before);
  ASSERT_TRUE(window.Dispatch([&] { window.EditCompareContentActionExecute(); }));
  const std::vector<std::string> results = surfaces.Lines(PaneId::ListBox3);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].rfind("Modified: ", 0), 0u);
  EXPECT_EQ(results[1].rfind("Modified: owner=", 0), 0u);
  surfaces.Pane(PaneId::ListBox3).SetSelectedIndex(1);
  window.ListBox3Click();
  EXPECT_EQ(surfaces.OldLine, group + "[streams:0] " + Native("/r/sub/"));
}
