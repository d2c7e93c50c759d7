#pragma once

#include <string>
#include <string_view>
#include <vector>

// The entries a listing leaves out, given as patterns:
// - a pattern without "/" matches an entry's name at any depth; one with "/"
//   matches the entry's path relative to the listed folder (a leading "/" only
//   anchors it there);
// - "*", "?" and "[...]" match within one name and never cross "/"; "**" as a
//   whole name matches any number of folders, none included;
// - a trailing "/" matches folders only;
// - matching is case-sensitive, byte for byte as names are stored.
class ExcludePatterns {
 public:
  ExcludePatterns() = default;
  // Fails with a message naming the first malformed pattern.
  explicit ExcludePatterns(const std::vector<std::string>& patterns);

  // The patterns of a text with one a line; blank lines and lines starting
  // with "#" are left out, and a CR before the line end is dropped.
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
  };

  static Pattern Compile(const std::string& text);

  std::vector<Pattern> patterns_;
};
