#include "documents/ListingFileCheck.h"

#include <algorithm>
#include <vector>

#include "platform/ReadableFile.h"

namespace {

constexpr std::size_t kSample = std::size_t{1} << 16;
constexpr std::string_view kSummaryStart = "Number of Files = ";

// Text has no NUL byte and few control bytes besides tab and line ends;
// control bytes in names are written as control pictures.
bool IsText(std::string_view bytes) {
  std::size_t control = 0;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) return false;
    if (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') ++control;
  }
  return control * 100 <= bytes.size();
}

}  // namespace

bool ListingFileCheck::LooksLikeListing(std::string_view head, std::string_view tail) {
  if (!IsText(head) || !IsText(tail)) return false;
  const std::size_t end = tail.find_last_not_of("\r\n");
  if (end == std::string_view::npos) return false;
  const std::string_view text = tail.substr(0, end + 1);
  const std::size_t lineEnd = text.find_last_of("\r\n");
  const std::string_view last = lineEnd == std::string_view::npos ? text : text.substr(lineEnd + 1);
  return last.substr(0, kSummaryStart.size()) == kSummaryStart;
}

bool ListingFileCheck::LooksLikeListing(const std::string& fileName) {
  ReadableFile file;
  // What is no regular file is left to the loading, which refuses it.
  if (!file.OpenForLoading(fileName, true) || !file.IsRegular()) return true;
  // The head, then the last kSample bytes of the rest, read through once.
  std::string head(kSample, '\0');
  long long got = 0, count = 0;
  while (static_cast<std::size_t>(got) < head.size() &&
         (count = file.Read(head.data() + got, head.size() - static_cast<std::size_t>(got))) > 0)
    got += count;
  if (count < 0) return true;
  head.resize(static_cast<std::size_t>(got));
  if (!IsText(head)) return false;
  std::vector<char> ring(2 * kSample);
  std::size_t filled = 0;
  while ((count = file.Read(ring.data() + filled, ring.size() - filled)) > 0) {
    filled += static_cast<std::size_t>(count);
    if (filled == ring.size()) {
      std::copy(ring.begin() + kSample, ring.end(), ring.begin());
      filled = kSample;
    }
  }
  if (count < 0) return true;
  // The last line may begin in the head.
  std::string tail = filled >= kSample ? std::string() : head.substr(head.size() - std::min(head.size(), kSample - filled));
  tail.append(ring.data() + (filled > kSample ? filled - kSample : 0), std::min(filled, kSample));
  return LooksLikeListing(head, tail);
}
