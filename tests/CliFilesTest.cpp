// quillon-cli's own guards around its files: outputs over inputs, empty
// names and listings, and signals in the middle of a run.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "TestSupport.h"

namespace {

ProgramResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}

// The run with the signal sent at the first call of function.
ProgramResult InterruptedAt(const char* function, int signal, const std::vector<std::string>& args) {
  setenv("LD_PRELOAD", QUILLON_SHIM_PATH, 1);
  setenv("QUILLON_SHIM_AT", function, 1);
  setenv("QUILLON_SHIM_SIGNAL", std::to_string(signal).c_str(), 1);
  const ProgramResult result = Cli(args);
  for (const char* name : {"LD_PRELOAD", "QUILLON_SHIM_AT", "QUILLON_SHIM_SIGNAL"}) unsetenv(name);
  return result;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

const std::string kListing = "01.01.2024 00:00:00 0000000001 Bytes ____N______ /d/a\r\nNumber of Files = 1\r\n";

}  // namespace

TEST(CliFiles, RefusesAnOutputThatIsOneOfTheFilesRead) {
  TempTree tree;
  tree.Dir("d");
  tree.File("cur.qln", kListing);
  tree.File("old.qln", kListing);
  tree.Link("alias.qln", "old.qln");
  tree.File("excludes", "*.tmp\n");
  for (const std::vector<std::string>& call :
       {std::vector<std::string>{"list", tree.Path("d")}, {"compare", "--folder", tree.Path("d"), tree.Path("old.qln")}}) {
    std::vector<std::string> args = call;
    args.insert(args.end(), {"--exclude-from", tree.Path("excludes"), "-o", tree.Path("excludes")});
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("is the exclude pattern file"), std::string::npos) << result.err;
  }
  EXPECT_EQ(tree.Read("excludes"), "*.tmp\n");
  for (const std::vector<std::string>& call : {std::vector<std::string>{"compare", tree.Path("cur.qln"), tree.Path("old.qln")},
                                               {"compare", "--folder", tree.Path("d"), tree.Path("old.qln")}}) {
    for (const std::string out : {"cur.qln", "old.qln", "alias.qln"}) {
      if (call[1] == "--folder" && out == "cur.qln") continue;
      std::vector<std::string> args = call;
      args.insert(args.end(), {"-o", tree.Path(out)});
      const auto result = Cli(args);
      EXPECT_EQ(result.exitCode, 2) << out;
      EXPECT_NE(result.err.find("listing"), std::string::npos) << result.err;
    }
  }
  EXPECT_EQ(tree.Read("cur.qln"), kListing);
  EXPECT_EQ(tree.Read("old.qln"), kListing);
}

TEST(CliFiles, WritesANameOfStandardOutputWhereItStands) {
  TempTree tree;
  tree.Dir("d");
  tree.File("d/a", "a");
  tree.File("old.qln", kListing);
  const std::string cli = CliPath();
  const auto shell = [&](const std::string& script) {
    return RunProgram({"/bin/sh", "-c", "cd '" + tree.Root() + "' && " + script, "sh", cli});
  };
  const std::string listing = Cli({"list", tree.Path("d")}).out;
  ASSERT_NE(listing.find("Number of Files = 1"), std::string::npos);
  // Between the lines of others, at its own offset: nothing before is overwritten.
  ASSERT_EQ(shell("{ echo head; \"$1\" list d -o /dev/stdout; echo tail; } > rep.txt").exitCode, 0);
  EXPECT_EQ(tree.Read("rep.txt"), "head\n" + listing + "tail\n");
  // Appended to, by every name of it, and never cut short.
  ASSERT_EQ(shell("for o in /dev/stdout /dev/fd/1 /proc/self/fd/1 -; do \"$1\" list d -o $o >> all.txt; done").exitCode, 0);
  EXPECT_EQ(tree.Read("all.txt"), listing + listing + listing + listing);
  shell("echo kept > cmp.txt; \"$1\" compare old.qln old.qln -o /dev/stdout >> cmp.txt");
  EXPECT_EQ(tree.Read("cmp.txt"), "kept\nNo differences found... ;-)\r\n");
  // A descriptor other than standard output too.
  ASSERT_EQ(shell("echo first > fd3.txt; { \"$1\" list d -o /dev/fd/3; } 3>> fd3.txt").exitCode, 0);
  EXPECT_EQ(tree.Read("fd3.txt"), "first\n" + listing);
  // A signature has no place beside standard output, by whatever name.
  tree.Link("out", "/proc/self/fd/1");
  for (const std::string out : {"-", "out"}) {
    const auto refused = shell("\"$1\" list d -o " + out + " --sign key > signed.txt");
    EXPECT_EQ(refused.exitCode, 2) << out;
    EXPECT_NE(refused.err.find("standard output has no place for a signature"), std::string::npos) << refused.err;
  }
  EXPECT_FALSE(std::filesystem::exists(tree.Path("out.sig")));
  EXPECT_FALSE(std::filesystem::exists(tree.Path("-")));
}

TEST(CliFiles, SaysThatANameOrAListingIsEmpty) {
  TempTree tree;
  tree.File("cur.qln", kListing);
  tree.File("empty.qln");
  tree.File("nul.qln", std::string("\0Number of Files = 0\r\n", 22));
  std::vector<std::string> empties{"empty.qln", "nul.qln"};
  if (geteuid() == 0 && mknod(tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) empties.push_back("null");

  const auto noName = Cli({"list", tree.Root(), "-o", ""});
  EXPECT_EQ(noName.exitCode, 2);
  EXPECT_EQ(noName.err.substr(0, noName.err.find('\n')), "quillon-cli: the file name after -o is empty");
  for (const std::string& empty : empties) {
    const auto loaded = Cli({"compare", tree.Path("cur.qln"), tree.Path(empty)});
    EXPECT_EQ(loaded.exitCode, 2);
    EXPECT_EQ(loaded.err, "quillon-cli: List index out of bounds (-1)\nquillon-cli: the loaded listing '" + tree.Path(empty) +
                              "' is empty\n");
  }
  const auto current = Cli({"compare", tree.Path("empty.qln"), tree.Path("cur.qln")});
  EXPECT_EQ(current.err, "quillon-cli: List index out of bounds (-1)\nquillon-cli: the current listing '" + tree.Path("empty.qln") +
                             "' is empty\n");
  EXPECT_EQ(Cli({"compare", tree.Path("cur.qln"), tree.Path("missing.qln")}).err,
            "quillon-cli: Cannot open file " + tree.Path("missing.qln") + "\nNo such file or directory.\n");
}

TEST(CliInterrupt, EndsWith128PlusTheSignalLeavingNoPartialFileAndTheOldOneWhole) {
  TempTree tree;
  tree.Dir("d/e");
  tree.File("d/e/f", "data");
  tree.File("old.qln", kListing);
  const std::vector<std::string> before = Entries(tree.Root());
  // During the save, once the new file holds the whole text, and during the listing run.
  for (const auto& [at, signal] : {std::pair{"fsync", SIGINT}, {"fsync", SIGTERM}, {"fsync", SIGHUP}, {"dirfd", SIGINT}}) {
    for (const std::string out : {"old.qln", "new.qln"}) {
      const auto result = InterruptedAt(at, signal, {"list", tree.Path("d"), "-o", tree.Path(out)});
      EXPECT_EQ(result.exitCode, 128 + signal) << at << " " << out;
      // Only a file that was there is told of.
      EXPECT_EQ(result.err, out == "old.qln" ? "quillon-cli: " + tree.Path(out) + " was left as it was\n" : "")
          << at << " " << out;
      EXPECT_EQ(Entries(tree.Root()), before) << at << " " << out;
      EXPECT_EQ(tree.Read("old.qln"), kListing);
    }
  }
  // After the rename, at the folder's flush: the file there before is new.
  setenv("QUILLON_SHIM_CALL", "2", 1);
  for (const std::string out : {"old.qln", "new.qln"}) {
    const auto result = InterruptedAt("fsync", SIGINT, {"list", tree.Path("d"), "-o", tree.Path(out)});
    EXPECT_EQ(result.exitCode, 130);
    EXPECT_EQ(result.err, out == "old.qln" ? "quillon-cli: " + tree.Path(out) + " was written in full before the interrupt\n" : "");
    EXPECT_EQ(tree.Read(out), Cli({"list", tree.Path("d")}).out);
  }
  unsetenv("QUILLON_SHIM_CALL");
}

TEST(CliInterrupt, SaysWhetherAFileRewrittenInPlaceIsOldOrNew) {
  TempTree tree;
  tree.Dir("d/e");
  tree.File("out.qln", kListing);
  tree.File("old.qln", kListing);
  // A second name makes the save rewrite the file in place.
  ASSERT_EQ(link(tree.Path("out.qln").c_str(), tree.Path("other.qln").c_str()), 0);
  const std::vector<std::string> args{"list", tree.Path("d"), "-o", tree.Path("out.qln")};
  // Before the save begins: during the listing, or the comparison.
  for (const auto& early : {args, {"compare", "--folder", tree.Path("d"), tree.Path("old.qln"), "-o", tree.Path("out.qln")}}) {
    const auto listing = InterruptedAt("dirfd", SIGINT, early);
    EXPECT_EQ(listing.exitCode, 130);
    EXPECT_EQ(listing.err, "quillon-cli: " + tree.Path("out.qln") + " was left as it was\n");
    EXPECT_EQ(tree.Read("out.qln"), kListing);
  }
  const auto whole = InterruptedAt("fallocate", SIGINT, args);
  EXPECT_EQ(whole.exitCode, 130);
  EXPECT_EQ(whole.err, "quillon-cli: " + tree.Path("out.qln") + " was written in full before the interrupt\n");
  EXPECT_NE(tree.Read("out.qln"), kListing);
  EXPECT_EQ(tree.Read("out.qln"), Cli({"list", tree.Path("d")}).out);

  // On a full disk the room cannot be had: the file is never touched.
  ScratchMount disk("64k");
  if (!disk.Ready()) GTEST_SKIP() << "a tmpfs cannot be mounted here";
  const std::string out = disk.Path("out.qln");
  std::filesystem::copy_file(tree.Path("out.qln"), out);
  ASSERT_EQ(link(out.c_str(), disk.Path("other.qln").c_str()), 0);
  for (int i = 0; i < 200; ++i) tree.File("d/f" + std::to_string(i), "x");  // a listing longer than the room left
  std::ofstream(disk.Path("filler")) << std::string(1 << 20, 'f');
  const std::string old = tree.Read("out.qln");
  const auto left = InterruptedAt("fallocate", SIGINT, {"list", tree.Path("d"), "-o", out});
  EXPECT_EQ(left.exitCode, 130);
  EXPECT_EQ(left.err, "quillon-cli: " + out + " was left as it was\n");
  const auto full = Cli({"list", tree.Path("d"), "-o", out});
  EXPECT_EQ(full.exitCode, 2);
  std::ifstream in(out);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), old);
}
