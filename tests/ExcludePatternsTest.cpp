#include <gtest/gtest.h>

#include "engine/ExcludePatterns.h"
#include "platform/QuillonError.h"

namespace {

bool Excluded(const std::string& pattern, const std::string& path, bool isFolder = false) {
  return ExcludePatterns({pattern}).Excludes(path, isFolder);
}

TEST(ExcludePatterns, APatternWithoutSlashMatchesTheNameAtAnyDepth) {
  EXPECT_TRUE(Excluded("*.o", "a.o"));
  EXPECT_TRUE(Excluded("*.o", "src/deep/b.o"));
  EXPECT_TRUE(Excluded("*.o", "src/.o"));  // a leading dot is no exception
  EXPECT_FALSE(Excluded("*.o", "a.oo"));
  EXPECT_FALSE(Excluded("*.o", "a.o/inner"));
  EXPECT_TRUE(Excluded("cache", "x/y/cache", true));
  EXPECT_TRUE(Excluded("file?.[ch]", "dir/file1.c"));
  EXPECT_FALSE(Excluded("file?.[ch]", "dir/file12.c"));
  EXPECT_TRUE(Excluded("[!a]*", "b"));
  EXPECT_TRUE(Excluded("[[:digit:]]x", "7x"));
}

TEST(ExcludePatterns, APatternWithSlashMatchesThePathBelowTheListedFolder) {
  EXPECT_TRUE(Excluded("src/*.o", "src/a.o"));
  EXPECT_FALSE(Excluded("src/*.o", "lib/src/a.o"));
  // "*", "?" and "[...]" stay within one name.
  EXPECT_FALSE(Excluded("src/*.o", "src/deep/a.o"));
  EXPECT_FALSE(Excluded("src*", "src/a"));
  EXPECT_FALSE(Excluded("a?b/c", "a/b/c"));
  EXPECT_TRUE(Excluded("/top", "top"));
  EXPECT_FALSE(Excluded("/top", "x/top"));
  // "**" crosses any number of folders, none included.
  EXPECT_TRUE(Excluded("src/**/a.o", "src/a.o"));
  EXPECT_TRUE(Excluded("src/**/a.o", "src/x/y/a.o"));
  EXPECT_FALSE(Excluded("src/**/a.o", "lib/src/a.o"));
  EXPECT_TRUE(Excluded("**/cache/", "cache", true));
  EXPECT_TRUE(Excluded("**/cache/", "a/b/cache", true));
  EXPECT_TRUE(Excluded("logs/**", "logs/x"));
  EXPECT_TRUE(Excluded("logs/**", "logs/x/y", true));
  EXPECT_FALSE(Excluded("logs/**", "logs", true));
}

TEST(ExcludePatterns, ATrailingSlashMatchesFoldersOnlyAndCaseCounts) {
  EXPECT_TRUE(Excluded("tmp/", "a/tmp", true));
  EXPECT_FALSE(Excluded("tmp/", "a/tmp", false));
  EXPECT_TRUE(Excluded("a/tmp/", "a/tmp", true));
  EXPECT_FALSE(Excluded("a/tmp/", "a/tmp", false));
  EXPECT_FALSE(Excluded("*.O", "a.o"));
  EXPECT_FALSE(Excluded("Build", "build", true));
  const ExcludePatterns several({"*.tmp", "keep/", "docs/old"});
  EXPECT_TRUE(several.Excludes("docs/old", true));
  EXPECT_TRUE(several.Excludes("x.tmp", false));
  EXPECT_FALSE(several.Excludes("docs/new", true));
  EXPECT_TRUE(ExcludePatterns().Empty());
}

TEST(ExcludePatterns, AMalformedPatternIsAnErrorThatNamesIt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"foo[", "\"[\" is never closed"},     {"a/[b/c", "\"[\" is never closed"},
      {"[[:bogus:]]", "no character class"}, {"end\\", "escapes nothing"},
      {"", "empty"},                         {"a//b", "empty name"},
      {"/", "names no entry"},               {"./x", "never the name"},
  };
  for (const auto& [pattern, why] : cases) {
    try {
      ExcludePatterns({"fine", pattern});
      ADD_FAILURE() << pattern;
    } catch (const QuillonError& error) {
      const std::string text = error.what();
      EXPECT_NE(text.find("\"" + pattern + "\""), std::string::npos) << text;
      EXPECT_NE(text.find(why), std::string::npos) << text;
    }
  }
  // A "]" right after "[" is a member, and an escaped "[" is literal.
  EXPECT_TRUE(Excluded("[]]", "]"));
  EXPECT_TRUE(Excluded("a\\[", "a["));
}

TEST(ExcludePatterns, ReadsOnePatternALineWithComments) {
  EXPECT_EQ(ExcludePatterns::FromLines("# build output\r\n*.o\r\n\n   \nbuild/\n#x\nlast"),
            (std::vector<std::string>{"*.o", "build/", "last"}));
}

}  // namespace
