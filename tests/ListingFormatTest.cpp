#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <vector>

#include "surfaces/ErrorText.h"
#include "surfaces/ScrollExtent.h"
#include "engine/ListingLineFormat.h"
#include "platform/Vexuf.h"

using namespace ListingLineFormat;

namespace {

std::string DateTimeOf(std::int64_t seconds, std::uint32_t nanoseconds, const std::string& separator = ":") {
  FindData entry;
  entry.ModifiedSeconds = seconds;
  entry.ModifiedNanoseconds = nanoseconds;
  std::string text;
  AppendDateTime(text, vexuf::GetWFDUTCTimeInTDataTime(entry, 0), separator);
  return text;
}

}  // namespace

TEST(ListingLineFormat, WritesTheDateTimeRoundedToTheMillisecond) {
  EXPECT_EQ(DateTimeOf(0, 0), "01.01.1970 00:00:00");
  EXPECT_EQ(DateTimeOf(1700000000, 0), "14.11.2023 22:13:20");
  EXPECT_EQ(DateTimeOf(1700000000, 999'400'000), "14.11.2023 22:13:20");
  EXPECT_EQ(DateTimeOf(1700000000, 999'600'000), "14.11.2023 22:13:21");
  // Rounding may carry into the next day and year.
  EXPECT_EQ(DateTimeOf(1704067199, 999'700'000), "01.01.2024 00:00:00");
  EXPECT_EQ(DateTimeOf(1709208000, 0), "29.02.2024 12:00:00");
  EXPECT_EQ(DateTimeOf(-86400, 0), "31.12.1969 00:00:00");
  EXPECT_EQ(DateTimeOf(1700000000, 0, "."), "14.11.2023 22.13.20");
  EXPECT_EQ(DateTimeOf(1700000000, 0, " h "), "14.11.2023 22 h 13 h 20");
  // The day count itself is the one of 30 December 1899.
  std::string text;
  AppendDateTime(text, 0.0, ":");
  EXPECT_EQ(text, "30.12.1899 00:00:00");
  text.clear();
  AppendDateTime(text, 2.75, ":");
  EXPECT_EQ(text, "01.01.1900 18:00:00");
}

TEST(ListingLineFormat, ClampsTimesToTheYearsTheFieldCanShow) {
  EXPECT_EQ(DateTimeOf(-315619200, 0), "01.01.1960 00:00:00");  // negative, shown as it is
  EXPECT_EQ(DateTimeOf(-62135596801, 0), "01.01.0001 00:00:00");
  EXPECT_EQ(DateTimeOf(std::numeric_limits<std::int64_t>::min(), 0), "01.01.0001 00:00:00");
  EXPECT_EQ(DateTimeOf(253402300799, 999'999'999), "31.12.9999 23:59:59");
  EXPECT_EQ(DateTimeOf(253402300800, 0), "31.12.9999 23:59:59");  // the year 10000
  EXPECT_EQ(DateTimeOf(std::numeric_limits<std::int64_t>::max(), 0), "31.12.9999 23:59:59");
}

TEST(ListingLineFormat, ZeroFillsTheSizeToTenDigitsAndGrowsPastThem) {
  const std::pair<double, std::string> cases[] = {
      {0, "0000000000"}, {12345, "0000012345"}, {9999999999.0, "9999999999"}, {1e10, "10000000000"},
      {123456789012345.0, "123456789012345"}};
  for (const auto& [size, field] : cases) {
    std::string text;
    AppendSize(text, size);
    EXPECT_EQ(text, field);
  }
}

TEST(ListingLineFormat, PutsOneLetterPerAttributeBit) {
  EXPECT_EQ(FormatAttributeLetters(0), "___________");
  EXPECT_EQ(FormatAttributeLetters(0x21), "_____A____R");
  EXPECT_EQ(FormatAttributeLetters(0x80), "____N______");
  EXPECT_EQ(FormatAttributeLetters(0x59BF), "EOCTNADVSHR");
  EXPECT_EQ(FormatAttributeLetters(0x06), "________SH_");
  // Bits without a letter are ignored.
  EXPECT_EQ(FormatAttributeLetters(0x2000 | 0x0200 | 0x0400 | 0x8000 | 0x0040), "___________");
}

TEST(ListingLineFormat, GroupsTheTotalInThreesWithTheRegionalSeparator) {
  EXPECT_EQ(FormatTotalText(0, ","), "0");
  EXPECT_EQ(FormatTotalText(999, ","), "999");
  EXPECT_EQ(FormatTotalText(1000, ","), "1,000");
  EXPECT_EQ(FormatTotalText(1234567, ","), "1,234,567");
  EXPECT_EQ(FormatTotalText(1234567, "."), "1.234.567");
  EXPECT_EQ(FormatTotalText(1234567, "\xE2\x80\xAF"), "1\xE2\x80\xAF" "234\xE2\x80\xAF" "567");
  EXPECT_EQ(FormatTotalText(2.5, ","), "3");
  EXPECT_EQ(FormatTotalText(9007199254740993.0, ","), "9,007,199,254,740,992");
  // Past 18 digits only 18 significant ones of the double are kept.
  EXPECT_EQ(FormatTotalText(1234567890123456789012.0, ","), "1,234,567,890,123,456,770,000");
}

TEST(ListingLineFormat, WritesEachControlByteOfANameAsItsOwnPicture) {
  std::string text;
  // A real "?" stays one; bytes that are no UTF-8 stay as they are.
  AppendListingText(text, "a\nb\rc\x7f" "d\x01\x1f? caf\xC3\xA9 \xFF\xC3");
  EXPECT_EQ(text, "a\u240Ab\u240Dc\u2421d\u2401\u241F? caf\xC3\xA9 \xFF\xC3");
}

TEST(ListingLineFormat, NoTwoNamesGiveTheSameText) {
  const auto shown = [](std::string_view name) {
    std::string text;
    AppendListingText(text, name);
    return text;
  };
  // Each control byte against its own picture, the picture escaped.
  for (int byte = 1; byte < 0x80; byte = byte == 0x1F ? 0x7F : byte + 1) {
    const unsigned code = byte == 0x7F ? 0x21 : static_cast<unsigned>(byte);
    const std::string picture = {'\xE2', '\x90', static_cast<char>(0x80 + code)};
    EXPECT_EQ(shown("run" + std::string(1, static_cast<char>(byte))), "run" + picture);
    EXPECT_EQ(shown("run" + picture), "run\u2426" + picture);
  }
  // A byte that is no UTF-8 against the U+FFFD a terminal shows for it, and the escape itself.
  EXPECT_EQ(shown("a\xFF\xEF\xBF\xBD\u2426\u2400\u2422\xE2\x90"), "a\xFF\u2426\uFFFD\u2426\u2426\u2426\u2400\u2422\xE2\x90");
  // Every name of up to four bytes from pieces of those forms gives a text of its own.
  const char alphabet[] = {'\x01', '\xE2', '\x90', '\x81', '\xA6', '\xEF', '\xBF', '\xBD', 'a'};
  std::map<std::string, std::string> nameOf;
  std::vector<std::string> names{""};
  for (std::size_t start = 0, length = 0; length < 4; ++length) {
    const std::size_t end = names.size();
    for (std::size_t i = start; i < end; ++i)
      for (const char c : alphabet) names.push_back(names[i] + c);
    start = end;
  }
  for (const std::string& name : names) {
    const auto [it, fresh] = nameOf.emplace(shown(name), name);
    EXPECT_TRUE(fresh) << "two names give " << it->first;
  }
}

TEST(ScrollExtent, TruncatesTheRuleOnce) {
  EXPECT_EQ(ScrollExtentFor(8, 100, 96), 666);
  EXPECT_EQ(ScrollExtentFor(8, 0, 96), 0);
  EXPECT_EQ(ScrollExtentFor(8, 27, 96), 180);
  EXPECT_EQ(ScrollExtentFor(8, 80, 96), 533);
  EXPECT_EQ(ScrollExtentFor(8, 120, 96), 800);
  EXPECT_EQ(ScrollExtentFor(10, 100, 120), 666);
  EXPECT_EQ(ScrollExtentFor(8, 100, 0), 0);
}

TEST(ErrorText, AddsAPeriodOnlyAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorText::ForErrorBox("Unable to insert a line"), "Unable to insert a line.");
  EXPECT_EQ(ErrorText::ForErrorBox("List index out of bounds (-1)"), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorText::ForErrorBox("Cannot create file /tmp/x.txt"), "Cannot create file /tmp/x.txt.");
  EXPECT_EQ(ErrorText::ForErrorBox("Cannot create file /tmp/dir/"), "Cannot create file /tmp/dir/.");
  EXPECT_EQ(ErrorText::ForErrorBox("ends with a period."), "ends with a period.");
  EXPECT_EQ(ErrorText::ForErrorBox("ends with a dash -"), "ends with a dash -");
  EXPECT_EQ(ErrorText::ForErrorBox(""), "");
}
