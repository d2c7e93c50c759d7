#pragma once

#include <string>
#include <string_view>
#include <vector>

// The entries a listing leaves out, given as patterns, with the rules of
// gitignore:
// - a pattern without "/" matches an entry's name at any depth; one with "/"
//   matches the entry's path relative to the listed folder (a leading "/" only
//   anchors it there);
// - "*", "?" and "[...]" match within one name and never cross "/"; "**" as a
//   whole name matches any number of folders, none included;
// - a trailing "/" matches folders only;
// - a leading "!" negates: what the pattern matches is kept again. The last
//   pattern that matches an entry decides. What is inside an excluded folder
//   cannot be kept again, since that folder is never searched;
// - a backslash takes the byte after it literally ("\!", "\#", "\*");
// - matching is case-sensitive, byte for byte as names are stored.
// Forms that gitignore would take as matching nothing (an unclosed "[", an
// unknown class, a lone "!") are refused instead.
class ExcludePatterns {
 public:
  ExcludePatterns() = default;
  // Fails with a message naming the first malformed pattern.
  explicit ExcludePatterns(const std::vector<std::string>& patterns);

  // The patterns of a text with one a line, as gitignore reads them: a byte
  // order mark at the start, empty lines and lines starting with "#" are
  // left out; a CR before the line end and spaces at the end are dropped,
  // except a space escaped with a backslash ("\ ").
  static std::vector<std::string> FromLines(std::string_view text);

  bool Empty() const { return patterns_.empty(); }
  std::size_t Count() const { return patterns_.size(); }
  // relativePath: the entry's path below the listed folder, names joined by "/".
  bool Excludes(std::string_view relativePath, bool isFolder) const;

 private:
  struct Pattern {
    std::vector<std::string> names;  // "**" stands for any number of folders
    bool anchored = false;           // matches the whole relative path
    bool foldersOnly = false;
    bool negated = false;            // keeps what it matches
  };

  static Pattern Compile(const std::string& text);

  std::vector<Pattern> patterns_;
};
