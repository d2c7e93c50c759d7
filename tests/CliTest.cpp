#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "TestSupport.h"
#include "surfaces/BuildInfo.h"
#include "surfaces/Texts.h"

namespace {

constexpr std::int64_t kTime = 1700000000;
const std::string kDate = "14.11.2023 22:13:20";

ProgramResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}

// Runs quillon-cli with standard error on a terminal of its own: what the
// terminal showed as err, standard output as out.
ProgramResult CliOnTerminal(const std::vector<std::string>& args) {
  ProgramResult result;
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return result;
  FILE* out = std::tmpfile();
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    dup2(fileno(out), 1);
    dup2(slave, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(slave);
  char buffer[4096];
  ssize_t got;
  while ((got = read(master, buffer, sizeof buffer)) > 0) result.err.append(buffer, static_cast<std::size_t>(got));
  int status = 0;
  waitpid(child, &status, 0);
  close(master);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::rewind(out);
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, out)) result.out.append(buffer, n);
  std::fclose(out);
  return result;
}

}  // namespace

TEST(CliList, WritesTheListingWithCrLfAndTheTotalsToStandardError) {
  TempTree tree;
  tree.Dir("sub");
  tree.File("sub/f.txt", "hello\n");
  tree.SetTime("sub/f.txt", kTime);
  const std::string r = tree.Root() + "/";
  const auto result = Cli({"list", "--md5", tree.Root()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, kDate + " 0000000006 Bytes ____N______ b1946ac92492d2347c6235b4d2611184 " + r +
                            "sub/f.txt\r\n"
                            ">>> All directories found >>>\r\n" +
                            r + "sub/\r\n" +
                            "<<< All directories found <<<\r\n"
                            "Number of Files = 1  Number of Folders = 1  Total Size = 6 Bytes\r\n");
  EXPECT_EQ(result.err, "Files = 1  Folders = 1  Total = 6 Bytes\n");
}

TEST(CliList, NormalisesTheFolderLexically) {
  TempTree tree;
  tree.Dir("a/b");
  tree.File("a/x");
  tree.SetTime("a/x", kTime);
  const auto result = Cli({"list", tree.Root() + "/a/b/..//"});
  EXPECT_EQ(result.exitCode, 0);
  const auto lines = SplitCrLf(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], kDate + " 0000000000 Bytes ____N______ " + tree.Root() + "/a/x");
}

TEST(CliList, WritesTheSameBytesToAFileAndReplacesItWhole) {
  TempTree tree;
  tree.Dir("tree");
  tree.File("tree/f", "data");
  tree.File("out.qln", "an older and much longer listing that must be replaced entirely");
  const auto toStdout = Cli({"list", tree.Path("tree")});
  const auto toFile = Cli({"list", tree.Path("tree"), "-o", tree.Path("out.qln")});
  EXPECT_EQ(toFile.exitCode, 0);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(tree.Read("out.qln"), toStdout.out);
}

TEST(CliList, RejectsBadInputWithOneLineAndExitCodeTwo) {
  TempTree tree;
  tree.File("file");
  const std::vector<std::vector<std::string>> calls = {
      {"list", tree.Path("missing")},
      {"list", tree.Path("file")},
  };
  for (const auto& call : calls) {
    const auto result = Cli(call);
    EXPECT_EQ(result.exitCode, 2) << call[1];
    EXPECT_EQ(result.out, "") << call[1];
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(call[1]), std::string::npos) << result.err;
  }
  EXPECT_EQ(Cli({"list"}).exitCode, 2);
  EXPECT_EQ(Cli({"list", "--bogus", tree.Root()}).exitCode, 2);
  for (const char* readers : {"0", "1025", "x", "-1", "100000000000000000000"}) {
    const auto result = Cli({"list", "--readers", readers, tree.Root()});
    EXPECT_EQ(result.exitCode, 2) << readers;
    EXPECT_NE(result.err.find("--readers needs a number from 1 to 1024"), std::string::npos) << result.err;
  }
  EXPECT_EQ(Cli({"list", tree.Root(), "--readers"}).exitCode, 2);
  EXPECT_EQ(Cli({"compare", "--readers", "4", tree.Path("file"), tree.Path("file")}).exitCode, 2);
  EXPECT_EQ(Cli({"list", "--readers", "1024", tree.Root()}).exitCode, 0);
  EXPECT_EQ(Cli({"frobnicate"}).exitCode, 2);
  EXPECT_EQ(Cli({}).exitCode, 2);
}

TEST(CliList, KeepsAnExistingFileWhenItCannotBeWritten) {
  TempTree tree;
  tree.Dir("tree");
  tree.File("kept.qln", "old content\r\n");
  tree.Chmod("kept.qln", 0444);
  tree.Dir("a-folder.qln");
  for (const auto& [target, reason] : {std::pair<std::string, std::string>{"kept.qln", "Permission denied"},
                                        {"a-folder.qln", "Is a directory"},
                                        {"no/such/folder.qln", "No such file or directory"}}) {
    const auto result = Cli({"list", tree.Path("tree"), "-o", tree.Path(target)});
    EXPECT_EQ(result.exitCode, 2) << target;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quillon-cli: Cannot create file " + tree.Path(target) + "\n" + reason + ".\n");
  }
  EXPECT_EQ(tree.Read("kept.qln"), "old content\r\n");
  // Nothing half-written is left beside it.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(tree.Root())) ++entries;
  EXPECT_EQ(entries, 3u);
}

TEST(CliList, AnswersHelpAndVersion) {
  const auto version = Cli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  // One version for the program's texts and the build: change both together.
  EXPECT_EQ(std::string(Texts::kApplicationTitle), "Quillon " + BuildInfo::Version());
  EXPECT_EQ(std::string(Texts::kCaption), "Quillon - V" + BuildInfo::Version());
  EXPECT_EQ(version.out, BuildInfo::VersionLine() + "\n");
  EXPECT_EQ(version.out.find(" (commit "), BuildInfo::Commit().empty() ? std::string::npos : 12u);
  const auto help = Cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("quillon-cli list [--md5|--sha256 [--reuse-digests]] [--readers N] [--format F] [EXCLUDES]"),
            std::string::npos);
}

TEST(CliList, BeginsEveryErrorWithItsNameAndKeepsTheReasonOnTheNextLine) {
  TempTree tree;
  tree.Dir("tree");
  tree.File("listing.qln", "no summary\r\n");
  const std::vector<std::vector<std::string>> calls{
      {"list", "--format", "xml", tree.Path("tree")},                   // usage
      {"list", tree.Path("missing")},                                   // a folder that is not there
      {"list", "--exclude", "[", tree.Path("tree")},                    // a malformed pattern
      {"list", tree.Path("tree"), "-o", tree.Path("no/such/out.qln")},  // the output cannot be made
      {"compare", tree.Path("listing.qln"), tree.Path("missing.qln")},  // an input cannot be read
      {"compare", tree.Path("listing.qln"), tree.Path("listing.qln")},  // no summary line to read
  };
  for (const auto& call : calls) {
    const auto result = Cli(call);
    EXPECT_EQ(result.exitCode, 2) << call[1];
    EXPECT_EQ(result.err.rfind("quillon-cli: ", 0), 0u) << result.err;
  }
  EXPECT_NE(Cli(calls[4]).err.find("\nNo such file or directory"), std::string::npos);
  // Standard output that cannot take the listing: a full device of our own.
  if (geteuid() == 0 && mknod(tree.Path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
    const auto full = RunProgram({"/bin/sh", "-c", "exec \"$0\" list \"$1\" > \"$2\"", CliPath(), tree.Path("tree"),
                                  tree.Path("full")});
    EXPECT_EQ(full.exitCode, 2);
    EXPECT_EQ(full.err, "quillon-cli: Stream write error.\n");
  }
}

TEST(CliList, ShowsALiveProgressLineOnlyOnATerminal) {
  TempTree tree;
  for (int i = 0; i < 5; ++i) {
    tree.Dir("d" + std::to_string(i));
    tree.File("d" + std::to_string(i) + "/f", "x");
  }
  const ProgramResult run = CliOnTerminal({"list", tree.Root()});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.err.find("files/s"), std::string::npos) << run.err;
  // The line is wiped before the totals are written.
  EXPECT_NE(run.err.find("\r\x1b[KFiles = 5  Folders = 5  Total = 5 Bytes"), std::string::npos) << run.err;
  // Standard output holds the listing alone.
  EXPECT_EQ(run.out.find("files/s"), std::string::npos);
  EXPECT_EQ(SplitCrLf(run.out).back(), "Number of Files = 5  Number of Folders = 5  Total Size = 5 Bytes");
}

TEST(CliCompare, ShowsHowFarItHasReadOnATerminal) {
  // Listings long enough for the line to be shown.
  TempTree tree;
  std::string old, current;
  for (int i = 0; i < 6000; ++i) {
    const std::string tail = " " + std::to_string(1000000000 + i).substr(0, 10) + " Bytes ____N______ /r/f" + std::to_string(i) + "\r\n";
    old += "01.01.2020 10:00:00" + tail;
    current += (i == 42 ? "01.01.2020 11:00:00" : "01.01.2020 10:00:00") + tail;
  }
  const std::string end = ">>> All directories found >>>\r\n<<< All directories found <<<\r\n"
                          "Number of Files = 6000  Number of Folders = 0  Total Size = 1 Bytes\r\n";
  tree.File("old.qln", old + end);
  tree.File("new.qln", current + end);
  const ProgramResult run = CliOnTerminal({"compare", tree.Path("new.qln"), tree.Path("old.qln")});
  EXPECT_NE(run.err.find("\rcomparing: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(" %\x1b[K"), std::string::npos) << run.err;
  // The line is wiped before the counts, and the results hold none of it.
  EXPECT_NE(run.err.find("\r\x1b[K1 modified, 0 deleted, 0 added"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "Modified: 01.01.2020 11:00:00 1000000042 Bytes ____N______ /r/f42\r\n");
}

TEST(CliList, WarnsOfWhatItCouldNotReadAndEndsIncomplete) {
  TempTree tree;
  tree.Chmod("", 0755);
  tree.Dir("locked/inner");
  tree.Dir("names-only");
  tree.File("names-only/kept", "k");
  tree.File("closed", "c");
  tree.Chmod("closed", 0);
  tree.Chmod("locked", 0);
  tree.Chmod("names-only", 0444);  // its names can be read, nothing about them
  const std::string r = tree.Root() + "/";
  // Root reads everything, so the listing runs as an ordinary user there.
  std::vector<std::string> asUser;
  if (geteuid() == 0) asUser = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
  const auto cli = [&](std::vector<std::string> args) {
    args.insert(args.begin(), CliPath());
    args.insert(args.begin(), asUser.begin(), asUser.end());
    return RunProgram(args);
  };
  const auto result = cli({"list", "--md5", tree.Root()});
  EXPECT_EQ(result.exitCode, 3);
  // Each warning as the walk meets it: the root's file, then its folders.
  EXPECT_EQ(result.err, "quillon-cli: " + r + "closed: Permission denied\n" + "quillon-cli: " + r +
                            (result.err.find("locked/:") < result.err.find("kept:")
                                 ? "locked/: Permission denied\nquillon-cli: " + r + "names-only/kept"
                                 : "names-only/kept: Permission denied\nquillon-cli: " + r + "locked/") +
                            ": Permission denied\nFiles = 1  Folders = 2  Total = 1 Bytes\n"
                            "quillon-cli: 1 folder and 2 files could not be read\n");
  EXPECT_NE(result.out.find(std::string(32, '0') + " " + r + "closed\r\n"), std::string::npos);
  // Incomplete outranks the differences a comparison finds.
  tree.File("old.qln", result.out);
  EXPECT_EQ(cli({"compare", "--folder", tree.Root(), tree.Path("old.qln")}).exitCode, 3);
  // A folder that cannot be read at all has no listing.
  const auto refused = cli({"list", tree.Path("locked")});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "quillon-cli: cannot list '" + tree.Path("locked") + "': Permission denied\n");
}

TEST(CliList, WarnsOfAnMd5KernelThatIsNotThereAndListsAsEver) {
  TempTree tree;
  tree.File("f.txt", "hello\n");
  const auto plain = Cli({"list", "--md5", tree.Root()});
  const auto bogus = RunProgram({"/usr/bin/env", "QUILLON_MD5_KERNEL=bogus", CliPath(), "list", "--md5", tree.Root()});
  EXPECT_EQ(bogus.exitCode, 0);
  EXPECT_EQ(bogus.out, plain.out);
  EXPECT_EQ(bogus.err, "quillon-cli: warning: QUILLON_MD5_KERNEL=bogus names no kernel; the kernels are scalar, sse2, "
                       "avx2, avx512; the automatic choice is used\n" + plain.err);
  EXPECT_EQ(RunProgram({"/usr/bin/env", "QUILLON_MD5_KERNEL=scalar", CliPath(), "list", "--md5", tree.Root()}).err,
            plain.err);
}

TEST(CliList, Sha256PutsSixtyFourDigitsWhereMd5PutsThirtyTwo) {
  TempTree tree;
  tree.Chmod("", 0755);
  tree.File("f.txt", "hello\n");
  tree.SetTime("f.txt", kTime);
  tree.File("closed", "c");
  tree.Chmod("closed", 0);
  const std::string r = tree.Root() + "/";
  std::vector<std::string> args{CliPath(), "list", "--sha256", tree.Root()};
  if (geteuid() == 0) args.insert(args.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
  const auto result = RunProgram(args);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_NE(result.out.find(kDate + " 0000000006 Bytes ____N______ "
                                    "5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03 " + r + "f.txt\r\n"),
            std::string::npos) << result.out;
  EXPECT_NE(result.out.find(" " + std::string(64, '0') + " " + r + "closed\r\n"), std::string::npos) << result.out;
  EXPECT_EQ(Cli({"list", "--md5", "--sha256", tree.Root()}).exitCode, 2);
  EXPECT_EQ(Cli({"compare", "--sha256", tree.Path("f.txt"), tree.Path("f.txt")}).exitCode, 2);
}
