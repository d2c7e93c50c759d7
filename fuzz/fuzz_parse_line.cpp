// Parsing a file line, its key and a summary line's file count, each against
// a plain statement of the same rule: a regular expression, and sscanf with
// the scan pattern "Number of Files = %lld ".
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>

#include "compare/ComparisonKey.h"

namespace {

constexpr std::size_t kLongestLine = 512;  // std::regex recurses per byte

// "dd.mm.yyyy hh?nn?ss <10+ digits> Bytes <11 attributes> " and the rest,
// where each ? is a run of non-digits and each attribute is its letter or _.
std::optional<std::string> ReferencePath(const std::string& line) {
  static const std::regex shape(
      "^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d[^0-9]*\\d\\d[^0-9]*\\d\\d \\d{10,} Bytes "
      "[E_][O_][C_][T_][N_][A_][D_][V_][S_][H_][R_] ([\\s\\S]*)$");
  // An SHA-256 digest of 64 digits before an MD5 one of 32.
  static const std::regex digest("^([0-9a-fA-F]{64}|[0-9a-fA-F]{32}) ");
  std::smatch match;
  if (!std::regex_match(line, match, shape)) return std::nullopt;
  std::string rest = match[1].str();
  std::smatch digits;
  if (std::regex_search(rest, digits, digest)) rest.erase(0, static_cast<std::size_t>(digits.length(0)));
  if (rest.empty()) return std::nullopt;
  return rest;
}

std::optional<std::string> ReferenceKey(const std::string& line) {
  if (const auto path = ReferencePath(line)) {
    const bool drive = path->size() >= 2 && std::isalpha(static_cast<unsigned char>((*path)[0])) && (*path)[1] == ':';
    return drive ? path->substr(1) : *path;
  }
  const auto colon = line.rfind(':');
  if (colon == std::string::npos) return std::nullopt;
  return line.substr(colon);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLongestLine) return -1;
  const std::string line(reinterpret_cast<const char*>(data), size);

  const auto path = ComparisonKey::FileLinePath(line);
  const auto expectedPath = ReferencePath(line);
  if (path.has_value() != expectedPath.has_value() || (path && *path != *expectedPath)) std::abort();
  const auto key = ComparisonKey::KeyOf(line);
  const auto expectedKey = ReferenceKey(line);
  if (key.has_value() != expectedKey.has_value() || (key && *key != *expectedKey)) std::abort();

  // sscanf stops at a NUL and saturates far out; compare where neither matters.
  const auto count = ComparisonKey::ReadFileCount(line);
  long long scanned = 0;
  const bool read = std::sscanf(line.c_str(), "Number of Files = %lld", &scanned) == 1;
  constexpr long long kFar = 100'000'000'000LL;
  if (line.find('\0') == std::string::npos && (!read || (scanned > -kFar && scanned < kFar))) {
    if (count.has_value() != read || (count && *count != scanned)) std::abort();
  }
  return 0;
}
