#include <gtest/gtest.h>

#include "engine/ExcludePatterns.h"
#include "platform/QuillonError.h"

namespace {

TEST(ExcludePatterns, FollowEachRuleOfAPattern) {
  struct Case {
    const char* pattern;
    const char* path;
    bool folder, excluded;
  };
  const Case cases[] = {
      // Without "/": a name at any depth, a leading dot included.
      {"*.o", "src/deep/b.o", false, true}, {"*.o", "src/.o", false, true}, {"*.o", "a.oo", false, false},
      {"file?.[ch]", "d/file1.c", false, true}, {"file?.[ch]", "d/file12.c", false, false},
      {"[[:digit:]]x", "7x", false, true}, {"[]]", "]", false, true}, {"a\\[", "a[", false, true},
      {"[a-c]*[!0-9]", "b12x", false, true}, {"[a-c]*[!0-9]", "b129", false, false}, {"*a*b", "xaxxb", false, true},
      {"*a*b", "xaxxbc", false, false}, {"a*", "a", false, true}, {"?", "ab", false, false},
      // With "/": the path below the listed folder; * ? [...] stay within a name.
      {"src/*.o", "src/a.o", false, true}, {"src/*.o", "lib/src/a.o", false, false},
      {"src/*.o", "src/deep/a.o", false, false}, {"a?b/c", "a/b/c", false, false},
      {"/top", "top", false, true}, {"/top", "x/top", false, false},
      // "**" crosses any number of folders, none included; at the end, what is inside.
      {"src/**/a.o", "src/a.o", false, true}, {"src/**/a.o", "src/x/y/a.o", false, true},
      {"**/cache/", "a/b/cache", true, true}, {"logs/**", "logs/x/y", false, true}, {"logs/**", "logs", true, false},
      // A trailing "/" matches folders only; case counts.
      {"tmp/", "a/tmp", true, true}, {"tmp/", "a/tmp", false, false}, {"a/tmp/", "a/tmp", false, false},
      {"*.O", "a.o", false, false}, {"Build", "build", true, false},
      // As gitignore: a backwards range holds its first byte, [:space:] no \v, a run of stars alone is "**".
      {"[z-a]", "z", false, true}, {"[z-a]", "a", false, false}, {"[[:space:]]", "\v", false, false},
      {"[[:alpha:]]", "\xE9", false, false}, {"a/***/b", "a/x/y/b", false, true},
      {"\\!x", "!x", false, true}, {"\\#x", "#x", false, true}, {"a\\ ", "a ", false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ExcludePatterns({c.pattern}).Excludes(c.path, c.folder), c.excluded) << c.pattern << " " << c.path;
}

TEST(ExcludePatterns, AMalformedPatternIsAnErrorThatNamesIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"foo[", "\"[\" is never closed"},     {"a/[b/c", "\"[\" is never closed"},
      {"[[:bogus:]]", "no character class"}, {"end\\", "escapes nothing"},
      {"", "empty"},                         {"a//b", "empty name"},
      {"/", "names no entry"},               {"./x", "never the name"},
      {"!", "negates nothing"},              {"a**/b", "\"**\" goes alone"},
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
}

TEST(ExcludePatterns, ReadsOnePatternALineWithComments) {
  // As gitignore: unescaped spaces at the end go, "\ " keeps one, a tab is a pattern.
  EXPECT_EQ(ExcludePatterns::FromLines("\xEF\xBB\xBF# build output\r\n*.o  \r\n\n   \nbuild/\n#x\n\\#y\na\\  \n\t\nlast\r"),
            (std::vector<std::string>{"*.o", "build/", "\\#y", "a\\ ", "\t", "last"}));
}

TEST(ExcludePatterns, TheLastPatternThatMatchesDecides) {
  const ExcludePatterns patterns({"*.log", "!keep.log", "d*/", "!dk/", "dk/x", "!/dk/x"});
  const std::pair<const char*, bool> cases[] = {{"a.log", true}, {"sub/keep.log", false}, {"!keep.log", true},
                                                {"dz", true},     {"dk", false},          {"dk/x", false},
                                                {"dk/y", false}};
  for (const auto& [path, excluded] : cases)
    EXPECT_EQ(patterns.Excludes(path, path[0] == 'd' && path[2] == '\0'), excluded) << path;
  EXPECT_TRUE(ExcludePatterns({"!x", "x"}).Excludes("x", false));
}

}  // namespace
