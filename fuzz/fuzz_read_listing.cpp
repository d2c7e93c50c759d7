// Reading a listing from bytes: ReadListingFile over a memory file must give
// the lines that the reading rule gives, taken byte by byte.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "documents/ListingFile.h"
#include "platform/QuillonError.h"
#include "surfaces/ListPane.h"

namespace {

// The rule as written: a line runs to the next CR, LF or NUL or the end; then
// one CR and one LF are skipped where they stand; it goes on while the byte
// there is neither NUL nor the end.
std::vector<std::string> ReferenceLines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  while (p < size && data[p] != 0) {
    std::size_t stop = p;
    while (stop < size && data[stop] != '\r' && data[stop] != '\n' && data[stop] != 0) ++stop;
    lines.emplace_back(reinterpret_cast<const char*>(data) + p, stop - p);
    p = stop;
    if (p < size && data[p] == '\r') ++p;
    if (p < size && data[p] == '\n') ++p;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("listing", 0);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

  ListPane pane;
  try {
    ReadListingFile(path, pane, {.memoryLimit = std::size_t{64} << 20});
  } catch (const QuillonError&) {
    std::abort();  // a small memory file always reads
  }
  const std::vector<std::string> expected = ReferenceLines(data, size);
  if (static_cast<std::size_t>(pane.Count()) != expected.size()) std::abort();
  for (std::size_t i = 0; i < expected.size(); ++i)
    if (pane.LineAt(static_cast<int>(i)) != expected[i]) std::abort();
  return 0;
}
