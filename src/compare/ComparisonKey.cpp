#include "compare/ComparisonKey.h"

#include <cctype>

#include "compare/FileLineFields.h"

namespace ComparisonKey {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

}  // namespace

std::optional<std::string_view> FileLinePath(std::string_view line) {
  if (const auto fields = FileLineFields::Parse(line)) return fields->Path;
  return std::nullopt;
}

std::optional<std::string_view> KeyOf(std::string_view line) {
  std::optional<std::string_view> path = FileLinePath(line);
  if (!path) {
    if (const auto folder = FolderLineFields::Parse(line)) path = folder->Path;
  }
  if (path) {
    const bool driveLetter =
        path->size() >= 2 && std::isalpha(static_cast<unsigned char>((*path)[0])) && (*path)[1] == ':';
    return driveLetter ? path->substr(1) : *path;
  }
  const auto colon = line.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  return line.substr(colon);
}

std::string_view ShownPath(std::string_view line) {
  if (const auto folder = FolderLineFields::Parse(line)) return folder->Path;
  return FileLinePath(line).value_or(line);
}

bool ComparedPastCount(std::string_view line) { return FolderLineFields::Parse(line).has_value(); }

std::optional<long long> ReadFileCount(std::string_view lastLine) {
  // Each blank of the pattern matches any run of white space, none included.
  std::size_t pos = 0;
  const auto skipSpace = [&] {
    while (pos < lastLine.size() && IsSpace(lastLine[pos])) ++pos;
  };
  bool first = true;
  for (const std::string_view word : {"Number", "of", "Files", "="}) {
    if (!first) skipSpace();
    first = false;
    if (lastLine.substr(pos, word.size()) != word) return std::nullopt;
    pos += word.size();
  }
  skipSpace();
  bool negative = false;
  if (pos < lastLine.size() && (lastLine[pos] == '+' || lastLine[pos] == '-')) negative = lastLine[pos++] == '-';
  long long value = 0;
  std::size_t digits = 0;
  for (; pos < lastLine.size() && IsDigit(lastLine[pos]); ++pos, ++digits) {
    if (value > 1'000'000'000'000LL) return std::nullopt;  // far beyond any pane
    value = value * 10 + (lastLine[pos] - '0');
  }
  if (digits == 0) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace ComparisonKey
