#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The fields of listing lines, written straight into a line under construction.
namespace ListingLineFormat {

// "dd.mm.yyyy hh:nn:ss" from a day count since 30 December 1899, rounded to
// the nearest millisecond first; the milliseconds are dropped. Times before
// 01.01.0001 00:00:00 or after 31.12.9999 23:59:59 are written as those.
void AppendDateTime(std::string& out, double dayCount, std::string_view timeSeparator);

// The size as a whole number, zero-filled to at least 10 digits.
void AppendSize(std::string& out, double size);

// Text of a name or path as a listing line carries it: each control byte
// 0x01-0x1F becomes its own visible picture, U+2400 + byte, and 0x7F U+2421,
// both in UTF-8, so that a line never breaks in a saved listing and names that
// differ only in control bytes still give different lines. Every other byte,
// valid UTF-8 or not, stays as it is.
void AppendListingText(std::string& out, std::string_view text);

// The 11-character attribute field, "EOCTNADVSHR" or "_" per position.
std::string FormatAttributeLetters(std::uint32_t attributeWord);

// A total with the pattern "#,##0": rounded half away from zero to a whole
// number of at most 18 significant digits, grouped in threes.
std::string FormatTotalText(double total, std::string_view thousandSeparator);

}  // namespace ListingLineFormat
