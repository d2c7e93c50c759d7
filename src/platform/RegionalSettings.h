#pragma once

#include <string>
#include <string_view>

// The two things of the user's regional settings that the listing follows.
struct RegionalSettings {
  std::string ThousandSeparator = ",";
  std::string TimeSeparator = ":";

  // Reads the user's regional settings: on POSIX the locale (LC_NUMERIC and
  // LC_TIME from the environment) without touching the process's global
  // locale, on Windows the user's locale of the system. Empty or unreadable
  // values fall back to "," and ":".
  static RegionalSettings FromUserLocale();

  // The text between hours and minutes of a time format such as "%H:%M:%S";
  // ":" when there is none.
  static std::string TimeSeparatorFromFormat(std::string_view timeFormat);
};
