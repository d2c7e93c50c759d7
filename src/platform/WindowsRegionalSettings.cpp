#include "platform/WindowsApi.h"

#include "platform/RegionalSettings.h"

namespace {

std::string LocaleInfo(LCTYPE item) {
  wchar_t value[32];
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, value, 32);
  if (length <= 1) return {};
  return NarrowOf(std::wstring_view(value, static_cast<std::size_t>(length - 1)));
}

}  // namespace

RegionalSettings RegionalSettings::FromUserLocale() {
  RegionalSettings settings;
  const std::string thousands = LocaleInfo(LOCALE_STHOUSAND);
  if (!thousands.empty()) settings.ThousandSeparator = thousands;
  const std::string time = LocaleInfo(LOCALE_STIME);
  if (!time.empty()) settings.TimeSeparator = time;
  return settings;
}
