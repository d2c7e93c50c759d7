#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "TestSupport.h"

namespace {

ProgramResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> all{CliPath()};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram(all);
}

bool Have(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

int Shell(const std::string& command) { return std::system(command.c_str()); }

// The tree every row starts from: a file, a folder and a link, each with a
// fixed time, so that only the change under test moves a field.
void Build(TempTree& tree) {
  tree.File("f", "content");
  tree.File("g", "other");
  tree.Dir("d");
  tree.Link("l", "aaaa");
  ASSERT_EQ(Shell("chmod 644 '" + tree.Path("f") + "' && touch -h -d @1700000000 '" + tree.Path("l") + "'"), 0);
}

std::vector<std::string> ChangedLines(const std::string& out) {
  std::vector<std::string> changed;
  for (const std::string& line : SplitCrLf(out))
    if (line.rfind("Changed: ", 0) == 0) changed.push_back(line);
  return changed;
}

}  // namespace

// Each change an attacker makes first, alone: exactly one Modified line,
// naming exactly the field it is in.
TEST(MetadataTree, EachChangeIsModifiedInExactlyItsField) {
  if (geteuid() != 0) GTEST_SKIP() << "chown and setcap need root, as CI has";
  struct Row {
    const char* what;
    const char* tool;
    std::string command;  // run in the tree's folder
    const char* field;
  };
  const std::vector<Row> rows = {
      {"setuid added", "chmod", "chmod 4644 f", "mode"},
      {"owner changed", "chown", "chown 65534 f", "uid"},
      {"group changed", "chgrp", "chgrp 65534 f", "gid"},
      {"hard link added outside", "ln", "ln g \"$(pwd)-g2\"", "links"},
      {"access list added", "setfacl", "setfacl -m u:65534:r f", "xattrs"},
      {"capability added", "setcap", "setcap cap_net_raw+ep f", "xattrs"},
      {"attribute added", "setfattr", "setfattr -n user.x -v 1 f", "xattrs"},
      {"link repointed, same length", "ln", "ln -sfn bbbb l && touch -h -d @1700000000 l", "target"},
      {"folder made writable for all", "chmod", "chmod 777 d", "mode"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (!Have(row.tool)) {
      ADD_FAILURE() << row.tool << " is missing (quillon.sh installs it)";
      continue;
    }
    TempTree tree;
    Build(tree);
    const std::string base = tree.Root() + ".qln";
    ASSERT_EQ(Cli({"list", "--meta", "--md5", tree.Root(), "-o", base}).exitCode, 0);
    ASSERT_EQ(Shell("cd '" + tree.Root() + "' && " + row.command), 0);
    const ProgramResult result = Cli({"compare", "--folder", tree.Root(), base});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(ChangedLines(result.out), std::vector<std::string>{std::string("Changed: ") + row.field}) << result.out;
    EXPECT_NE(result.err.find("1 modified, 0 deleted, 0 added"), std::string::npos) << result.err;
    // Left out, the field changes nothing.
    EXPECT_EQ(Cli({"compare", "--folder", tree.Root(), "--ignore", row.field, base}).exitCode, 0);
    unlink(base.c_str());
    unlink((tree.Root() + "-g2").c_str());
  }
}

// The audit of the issue: setuid, another owner and an attribute, each
// named, against a baseline whose digest and metadata the folder follows.
TEST(MetadataTree, AnAuditFollowsItsBaselineAndNamesEachChange) {
  if (geteuid() != 0 || !Have("setfattr")) GTEST_SKIP() << "needs root and setfattr";
  TempTree tree;
  tree.File("a", "a");
  tree.File("b", "b");
  const std::string base = tree.Root() + ".qln";
  ASSERT_EQ(Cli({"list", "--md5", "--meta", tree.Root(), "-o", base}).exitCode, 0);
  EXPECT_EQ(Cli({"compare", "--folder", tree.Root(), base}).exitCode, 0);
  ASSERT_EQ(Shell("cd '" + tree.Root() + "' && chmod 4755 a && chown 65534 b && setfattr -n user.x -v 1 a"), 0);
  const ProgramResult result = Cli({"compare", "--folder", tree.Root(), base});
  EXPECT_EQ(result.exitCode, 1);
  std::vector<std::string> changed = ChangedLines(result.out);
  std::sort(changed.begin(), changed.end());
  EXPECT_EQ(changed, (std::vector<std::string>{"Changed: mode, xattrs", "Changed: uid"})) << result.out;

  // A choice the baseline contradicts is refused, saying what it holds.
  const std::string plain = tree.Root() + "-plain.qln";
  ASSERT_EQ(Cli({"list", "--md5", tree.Root(), "-o", plain}).exitCode, 0);
  const ProgramResult refused = Cli({"compare", "--folder", tree.Root(), "--meta", plain});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find("was made without metadata"), std::string::npos) << refused.err;
  EXPECT_EQ(Cli({"compare", "--ignore", "bogus", base, base}).exitCode, 2);
  unlink(base.c_str());
  unlink(plain.c_str());
}
