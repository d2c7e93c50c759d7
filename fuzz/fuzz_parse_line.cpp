// Parsing a file line (with its metadata group), a folder line with one, its
// key and a summary line's file count, each against
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

// The length of the metadata group at the start of rest, whose streams
// carry digests of that many digits; 0 when rest does not begin with one.
std::size_t ReferenceMetaLength(const std::string& rest, std::size_t digestDigits) {
  static const std::regex posix(
      "^mode=([-dlpscb?])[r-][w-][xsS-][r-][w-][xsS-][r-][w-][xtT-] uid=(0|[1-9][0-9]{0,19}) "
      "gid=(0|[1-9][0-9]{0,19}) links=(0|[1-9][0-9]{0,19}) xattrs=(-|[0-9a-f]{64}) ");
  static const std::regex link("^target=[^ ]* ");
  static const std::regex windows(
      "^owner=[^ ]+ dacl=[0-9a-f]{64} reparse=[0-9A-F]{8} streams=(0|[1-9][0-9]{0,8}) ");
  std::smatch match;
  if (std::regex_search(rest, match, posix)) {
    std::size_t length = static_cast<std::size_t>(match.length(0));
    if (match[1].str() != "l") return length;
    const std::string after = rest.substr(length);
    std::smatch target;
    if (!std::regex_search(after, target, link)) return 0;
    return length + static_cast<std::size_t>(target.length(0));
  }
  if (!std::regex_search(rest, match, windows)) return 0;
  std::size_t length = static_cast<std::size_t>(match.length(0));
  const std::regex stream("^stream=(0|[1-9][0-9]{0,19}):" +
                          (digestDigits > 0 ? "[0-9a-f]{" + std::to_string(digestDigits) + "}:" : std::string()) +
                          "[^ ]+ ");
  for (long count = std::stol(match[1].str()); count > 0; --count) {
    const std::string after = rest.substr(length);
    std::smatch one;
    if (!std::regex_search(after, one, stream)) return 0;
    length += static_cast<std::size_t>(one.length(0));
  }
  return length;
}

// "dd.mm.yyyy hh?nn?ss <10+ digits> Bytes <11 attributes> " and the rest,
// where each ? is a run of non-digits and each attribute is its letter or _;
// a metadata group after the digest, when a path follows it, is left out.
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
  std::size_t digestDigits = 0;
  if (std::regex_search(rest, digits, digest)) {
    digestDigits = static_cast<std::size_t>(digits.length(1));
    rest.erase(0, static_cast<std::size_t>(digits.length(0)));
  }
  const std::size_t meta = ReferenceMetaLength(rest, digestDigits);
  if (meta > 0 && meta < rest.size()) rest.erase(0, meta);
  if (rest.empty()) return std::nullopt;
  return rest;
}

// A folder line with the metadata group: its path, which ends with a separator.
std::optional<std::string> ReferenceFolder(const std::string& line) {
  const std::size_t meta = ReferenceMetaLength(line, 0);
  if (meta == 0 || meta == line.size() || (line.back() != '/' && line.back() != '\\')) return std::nullopt;
  return line.substr(meta);
}

std::optional<std::string> ReferenceKey(const std::string& line) {
  auto path = ReferencePath(line);
  if (!path) path = ReferenceFolder(line);
  if (path) {
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
  if (ComparisonKey::ComparedPastCount(line) != ReferenceFolder(line).has_value()) std::abort();
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
