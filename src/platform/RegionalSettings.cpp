#include "platform/RegionalSettings.h"

#include <langinfo.h>
#include <locale.h>

namespace {

std::string InfoOf(int mask, nl_item item) {
  locale_t loc = newlocale(mask, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return {};
  const char* value = nl_langinfo_l(item, loc);
  std::string result = value != nullptr ? value : "";
  freelocale(loc);
  return result;
}

}  // namespace

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

RegionalSettings RegionalSettings::FromUserLocale() {
  RegionalSettings settings;
  const std::string thousands = InfoOf(LC_NUMERIC_MASK, THOUSEP);
  if (!thousands.empty()) settings.ThousandSeparator = thousands;
  const std::string timeFormat = InfoOf(LC_TIME_MASK, T_FMT);
  if (!timeFormat.empty()) settings.TimeSeparator = TimeSeparatorFromFormat(timeFormat);
  return settings;
}
