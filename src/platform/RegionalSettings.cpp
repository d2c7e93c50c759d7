#include "platform/RegionalSettings.h"

std::string RegionalSettings::TimeSeparatorFromFormat(std::string_view timeFormat) {
  if (timeFormat.find("%T") != std::string_view::npos || timeFormat.find("%R") != std::string_view::npos)
    return ":";
  for (const char* hour : {"%H", "%I", "%k", "%l", "%OH", "%OI"}) {
    const auto at = timeFormat.find(hour);
    if (at == std::string_view::npos) continue;
    const auto from = at + std::char_traits<char>::length(hour);
    const auto to = timeFormat.find('%', from);
    if (to == std::string_view::npos) break;
    std::string separator(timeFormat.substr(from, to - from));
    return separator.empty() ? ":" : separator;
  }
  return ":";
}
