#include "engine/ExcludePatterns.h"

#include <cctype>
#include <cstring>

#include "platform/QuillonError.h"

namespace {

constexpr const char* kClassNames[] = {"alnum", "alpha", "blank", "cntrl", "digit",  "graph",
                                       "lower", "print", "punct", "space", "upper", "xdigit"};

[[noreturn]] void Malformed(const std::string& pattern, const std::string& why) {
  throw QuillonError("Malformed exclude pattern \"" + pattern + "\": " + why);
}

bool HasWildcards(std::string_view name) { return name.find_first_of("*?[\\") != std::string_view::npos; }

// Refuses what would otherwise be taken literally or never match: an
// unclosed "[", an unknown character class, a "\" with nothing to escape.
// True when the name has two stars in a row outside "[...]".
bool CheckName(const std::string& pattern, const std::string& name) {
  bool starRun = false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\') {
      if (++i == name.size()) Malformed(pattern, "it ends with \"\\\", which escapes nothing");
      continue;
    }
    if (name[i] == '*' && i + 1 < name.size() && name[i + 1] == '*') starRun = true;
    if (name[i] != '[') continue;
    std::size_t j = i + 1;
    if (j < name.size() && (name[j] == '!' || name[j] == '^')) ++j;
    if (j < name.size() && name[j] == ']') ++j;  // a "]" first is a member
    bool closed = false;
    for (; j < name.size(); ++j) {
      if (name[j] == '\\') {
        ++j;
      } else if (name[j] == '[' && j + 1 < name.size() && name[j + 1] == ':') {
        const std::size_t end = name.find(":]", j + 2);
        if (end == std::string::npos) break;
        const std::string className = name.substr(j + 2, end - j - 2);
        bool known = false;
        for (const char* candidate : kClassNames) known = known || className == candidate;
        if (!known) Malformed(pattern, "\"[:" + className + ":]\" is no character class");
        j = end + 1;
      } else if (name[j] == ']') {
        closed = true;
        break;
      }
    }
    if (!closed) Malformed(pattern, "the \"[\" is never closed");
    i = j;
  }
  return starRun;
}

// Space as gitignore has it: vertical tab and form feed are none.
int IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The classes hold ASCII bytes only, whatever the locale.
bool InClass(const std::string& className, unsigned char c) {
  static constexpr struct {
    const char* name;
    int (*test)(int);
  } kTests[] = {{"alnum", std::isalnum}, {"alpha", std::isalpha}, {"blank", std::isblank}, {"cntrl", std::iscntrl},
                {"digit", std::isdigit}, {"graph", std::isgraph}, {"lower", std::islower}, {"print", std::isprint},
                {"punct", std::ispunct}, {"space", IsSpace},      {"upper", std::isupper}, {"xdigit", std::isxdigit}};
  for (const auto& test : kTests)
    if (className == test.name) return c < 0x80 && test.test(c) != 0;
  return false;
}

// Matches "[...]" at pattern[p] (checked by CheckName) against c; p moves past it.
bool MatchBracket(const std::string& pattern, std::size_t& p, unsigned char c) {
  ++p;
  const bool negated = pattern[p] == '!' || pattern[p] == '^';
  if (negated) ++p;
  bool matched = false;
  for (bool first = true; first || pattern[p] != ']'; first = false) {
    if (pattern[p] == '[' && pattern[p + 1] == ':') {
      const std::size_t end = pattern.find(":]", p + 2);
      matched = matched || InClass(pattern.substr(p + 2, end - p - 2), c);
      p = end + 2;
      continue;
    }
    if (pattern[p] == '\\') ++p;
    unsigned char low = static_cast<unsigned char>(pattern[p++]);
    unsigned char high = low;
    if (pattern[p] == '-' && pattern[p + 1] != ']') {
      p += pattern[p + 1] == '\\' ? 2 : 1;
      high = static_cast<unsigned char>(pattern[p++]);
    }
    // The first byte of a range is a member even when the range runs
    // backwards: "[z-a]" holds "z" alone, as in gitignore.
    matched = matched || c == low || (c >= low && c <= high);
  }
  ++p;
  return matched != negated;
}

// A name against one name of a pattern, byte by byte: "*" any run of bytes,
// "?" one byte, "[...]" one byte of a set, and a backslash the byte after it.
bool NameMatches(const std::string& pattern, std::string_view name) {
  if (!HasWildcards(pattern)) return name == pattern;
  std::size_t p = 0, n = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starN = n;
      continue;
    }
    if (p < pattern.size()) {
      std::size_t next = p;
      bool matched;
      if (pattern[p] == '?') {
        matched = true;
        ++next;
      } else if (pattern[p] == '[') {
        matched = MatchBracket(pattern, next, static_cast<unsigned char>(name[n]));
      } else {
        if (pattern[p] == '\\') ++next;
        matched = pattern[next++] == name[n];
      }
      if (matched) {
        p = next;
        ++n;
        continue;
      }
    }
    // Let the last "*" take one byte more, or fail.
    if (starP == std::string::npos) return false;
    p = starP;
    n = ++starN;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

ExcludePatterns::ExcludePatterns(const std::vector<std::string>& patterns) {
  for (const std::string& text : patterns) patterns_.push_back(Compile(text));
}

ExcludePatterns::Pattern ExcludePatterns::Compile(const std::string& text) {
  Pattern pattern;
  std::string_view rest = text;
  if (rest.empty()) Malformed(text, "it is empty");
  if (rest.front() == '!') {
    pattern.negated = true;
    rest.remove_prefix(1);
    if (rest.empty()) Malformed(text, "\"!\" negates nothing");
  }
  if (rest.size() > 1 && rest.back() == '/') {
    pattern.foldersOnly = true;
    rest.remove_suffix(1);
  }
  pattern.anchored = rest.find('/') != std::string_view::npos;
  if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  if (rest.empty()) Malformed(text, "it names no entry");
  for (;;) {
    const auto slash = rest.find('/');
    std::string name(rest.substr(0, slash));
    if (name.empty()) Malformed(text, "it has an empty name between two \"/\"");
    if (name == "." || name == "..") Malformed(text, "\"" + name + "\" is never the name of an entry");
    // Any run of two or more stars as a whole name is "**". Within a name of
    // a path pattern git reads such a run one way or the other depending on
    // what comes before it, so it is refused.
    if (CheckName(text, name)) {
      if (name.find_first_not_of('*') == std::string::npos)
        name = "**";
      else if (pattern.anchored)
        Malformed(text, "\"**\" goes alone between \"/\"; within a name \"*\" does");
    }
    pattern.names.push_back(std::move(name));
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return pattern;
}

namespace {

// The line without its unescaped spaces at the end; a backslash keeps the
// byte after it, and a backslash at the very end keeps the line as it is.
std::string_view WithoutTrailingSpaces(std::string_view line) {
  std::size_t end = line.size();
  bool inSpaces = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') {
      if (!inSpaces) end = i;
      inSpaces = true;
      continue;
    }
    if (line[i] == '\\' && ++i == line.size()) return line;
    inSpaces = false;
  }
  return inSpaces ? line.substr(0, end) : line;
}

}  // namespace

std::vector<std::string> ExcludePatterns::FromLines(std::string_view text) {
  std::vector<std::string> patterns;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.back() == '\r') line.remove_suffix(1);
    line = WithoutTrailingSpaces(line);
    if (!line.empty()) patterns.emplace_back(line);
  }
  return patterns;
}

namespace {

using Names = std::vector<std::string>;
using Components = std::vector<std::string_view>;

// "**" takes any number of names, and at least one when it ends the pattern:
// "a/**" is what is inside a, not a itself.
bool Matches(const Names& names, std::size_t n, const Components& path, std::size_t c) {
  if (n == names.size()) return c == path.size();
  if (names[n] == "**") {
    const std::size_t least = n + 1 == names.size() ? c + 1 : c;
    for (std::size_t k = least; k <= path.size(); ++k)
      if (Matches(names, n + 1, path, k)) return true;
    return false;
  }
  return c < path.size() && NameMatches(names[n], path[c]) && Matches(names, n + 1, path, c + 1);
}

}  // namespace

bool ExcludePatterns::Excludes(std::string_view relativePath, bool isFolder) const {
  const auto lastSlash = relativePath.rfind('/');
  const std::string_view name = lastSlash == std::string_view::npos ? relativePath : relativePath.substr(lastSlash + 1);
  Components components;
  // The last pattern that matches decides.
  for (auto it = patterns_.rbegin(); it != patterns_.rend(); ++it) {
    const Pattern& pattern = *it;
    if (pattern.foldersOnly && !isFolder) continue;
    if (!pattern.anchored) {
      const std::string& only = pattern.names.front();
      if (only == "**" || NameMatches(only, name)) return !pattern.negated;
      continue;
    }
    if (components.empty()) {
      std::string_view rest = relativePath;
      for (;;) {
        const auto slash = rest.find('/');
        components.push_back(rest.substr(0, slash));
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
      }
    }
    if (Matches(pattern.names, 0, components, 0)) return !pattern.negated;
  }
  return false;
}
