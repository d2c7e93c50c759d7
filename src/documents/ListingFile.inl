#include <algorithm>
#include <cstring>

template <typename AddLine>
void SplitListingText(std::string_view text, AddLine&& add) {
  const char* p = text.data();
  const char* end = p + text.size();
  if (const void* nul = std::memchr(p, '\0', text.size())) end = static_cast<const char*>(nul);
  const auto next = [end](const char* from, int byte) {
    const void* hit = std::memchr(from, byte, static_cast<std::size_t>(end - from));
    return hit != nullptr ? static_cast<const char*>(hit) : end;
  };
  // The next CR and the next LF are each looked for again only once passed,
  // so every byte is scanned at most twice, whatever the line ends.
  const char* cr = next(p, '\r');
  const char* lf = next(p, '\n');
  while (p < end) {
    if (cr < p) cr = next(p, '\r');
    if (lf < p) lf = next(p, '\n');
    const char* stop = std::min(cr, lf);
    add(std::string_view(p, static_cast<std::size_t>(stop - p)));
    p = stop;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}
