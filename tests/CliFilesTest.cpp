// quillon-cli's own guards around its files: outputs over inputs, empty
// names and listings, and signals in the middle of a run.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

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

TEST(CliFiles, RefusesAnOutputThatIsOneOfTheListingsRead) {
  TempTree tree;
  tree.Dir("d");
  tree.File("cur.qln", kListing);
  tree.File("old.qln", kListing);
  tree.Link("alias.qln", "old.qln");
  for (const std::vector<std::string>& call : {std::vector<std::string>{"compare", tree.Path("cur.qln"), tree.Path("old.qln")},
                                               {"compare", "--folder", tree.Path("d"), tree.Path("old.qln")}}) {
    for (const std::string out : {"cur.qln", "old.qln", "alias.qln"}) {
      if (call[1] == "--folder" && out == "cur.qln") continue;
      std::vector<std::string> args = call;
      args.insert(args.end(), {"-o", tree.Path(out)});
      const auto result = Cli(args);
      EXPECT_EQ(result.exitCode, 2) << out;
      EXPECT_NE(result.err.find("is the"), std::string::npos) << result.err;
    }
  }
  EXPECT_EQ(tree.Read("cur.qln"), kListing);
  EXPECT_EQ(tree.Read("old.qln"), kListing);
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
      EXPECT_EQ(Entries(tree.Root()), before) << at << " " << out;
      EXPECT_EQ(tree.Read("old.qln"), kListing);
    }
  }
}
