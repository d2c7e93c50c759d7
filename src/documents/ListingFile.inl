#include <cstring>

template <typename AddLine>
void SplitListingText(std::string_view text, AddLine&& add) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end && *p != '\0') {
    // The line ends at the first CR, LF or NUL; each is found with memchr.
    const char* stop = end;
    for (const int byte : {'\n', '\r', '\0'}) {
      const auto* hit = static_cast<const char*>(std::memchr(p, byte, static_cast<std::size_t>(stop - p)));
      if (hit != nullptr) stop = hit;
    }
    add(std::string_view(p, static_cast<std::size_t>(stop - p)));
    p = stop;
    if (p < end && *p == '\r') ++p;
    if (p < end && *p == '\n') ++p;
  }
}
