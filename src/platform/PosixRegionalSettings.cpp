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

RegionalSettings RegionalSettings::FromUserLocale() {
  RegionalSettings settings;
  const std::string thousands = InfoOf(LC_NUMERIC_MASK, THOUSEP);
  if (!thousands.empty()) settings.ThousandSeparator = thousands;
  const std::string timeFormat = InfoOf(LC_TIME_MASK, T_FMT);
  if (!timeFormat.empty()) settings.TimeSeparator = TimeSeparatorFromFormat(timeFormat);
  return settings;
}
