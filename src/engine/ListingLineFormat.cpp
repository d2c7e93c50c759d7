#include "engine/ListingLineFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace ListingLineFormat {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
constexpr std::int64_t kUnixEpochDay = 25569;  // 1970-01-01 as a day count

void AppendTwoDigits(std::string& out, std::int64_t value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

void AppendZeroFilled(std::string& out, std::uint64_t value, int width) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  for (auto length = end - digits; length < width; ++length) out += '0';
  out.append(digits, end);
}

// Civil date of a count of days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

void AppendDateTime(std::string& out, double dayCount, std::string_view timeSeparator) {
  // The field has four digits for the year: a time outside 01.01.0001
  // 00:00:00 to 31.12.9999 23:59:59 is written as the nearer end.
  constexpr double kFirstDay = -693593.0;  // 01.01.0001
  constexpr double kDayAfterLast = 2958466.0;  // 01.01.10000
  const double milliseconds = std::round(dayCount * static_cast<double>(kMillisecondsPerDay));
  std::int64_t total;
  if (!(milliseconds >= kFirstDay * static_cast<double>(kMillisecondsPerDay)))  // NaN too
    total = static_cast<std::int64_t>(kFirstDay) * kMillisecondsPerDay;
  else if (milliseconds >= kDayAfterLast * static_cast<double>(kMillisecondsPerDay))
    total = static_cast<std::int64_t>(kDayAfterLast) * kMillisecondsPerDay - 1000;
  else
    total = static_cast<std::int64_t>(milliseconds);
  std::int64_t dayIndex = total / kMillisecondsPerDay;
  std::int64_t msOfDay = total % kMillisecondsPerDay;
  if (msOfDay < 0) {
    msOfDay += kMillisecondsPerDay;
    --dayIndex;
  }
  std::int64_t year;
  unsigned month, day;
  CivilFromDays(dayIndex - kUnixEpochDay, year, month, day);
  AppendTwoDigits(out, day);
  out += '.';
  AppendTwoDigits(out, month);
  out += '.';
  AppendZeroFilled(out, static_cast<std::uint64_t>(year), 4);
  out += ' ';
  const std::int64_t seconds = msOfDay / 1000;
  AppendTwoDigits(out, seconds / 3600);
  out += timeSeparator;
  AppendTwoDigits(out, seconds / 60 % 60);
  out += timeSeparator;
  AppendTwoDigits(out, seconds % 60);
}

void AppendSize(std::string& out, double size) {
  if (size >= 0.0 && size < 1.8e19) {
    AppendZeroFilled(out, static_cast<std::uint64_t>(std::round(size)), 10);
    return;
  }
  char text[400];
  const int length = std::snprintf(text, sizeof text, "%010.0f", size);
  out.append(text, static_cast<std::size_t>(length));
}

namespace {
void AppendText(std::string& out, std::string_view text, bool blankToo) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F || (blankToo && byte == 0x20)) {
      out.append(text, start, i - start);
      // U+2400 + byte, or U+2421 for DEL, in UTF-8: E2 90 80+x.
      const unsigned picture = byte == 0x7F ? 0x21 : byte;
      out += '\xE2';
      out += '\x90';
      out += static_cast<char>(0x80 + picture);
      start = i + 1;
    } else if ((byte == 0xE2 || byte == 0xEF) && i + 2 < text.size()) {
      // A picture, the escape itself, or U+FFFD (which a terminal shows for
      // a byte that is no UTF-8) taken literally from the name.
      const auto second = static_cast<unsigned char>(text[i + 1]);
      const auto third = static_cast<unsigned char>(text[i + 2]);
      const bool literal = byte == 0xE2 ? second == 0x90 && ((third >= 0x80 && third <= 0xA1) || third == 0xA6)
                                        : second == 0xBF && third == 0xBD;
      if (!literal) continue;
      out.append(text, start, i - start);
      out += kNameEscape;
      out.append(text, i, 3);
      i += 2;
      start = i + 1;
    }
  }
  out.append(text, start, std::string_view::npos);
}
}  // namespace

void AppendListingText(std::string& out, std::string_view text) { AppendText(out, text, false); }
void AppendMetaText(std::string& out, std::string_view text) { AppendText(out, text, true); }

std::string ModeText(std::uint32_t mode) {
  static constexpr struct {
    std::uint32_t type;
    char letter;
  } kTypes[] = {{0100000, '-'}, {0040000, 'd'}, {0120000, 'l'}, {0010000, 'p'},
                {0140000, 's'}, {0020000, 'c'}, {0060000, 'b'}};
  std::string text = "?---------";
  for (const auto& type : kTypes)
    if ((mode & 0170000) == type.type) text[0] = type.letter;
  static constexpr char kLetters[] = "rwxrwxrwx";
  for (int i = 0; i < 9; ++i)
    if (mode & (0400u >> i)) text[static_cast<std::size_t>(1 + i)] = kLetters[i];
  // The set-user, set-group and sticky bits show in the run letter's place:
  // lower case over a run bit, upper case without one.
  const auto special = [&](std::uint32_t bit, std::size_t at, char letter) {
    if (mode & bit) text[at] = text[at] == 'x' ? letter : static_cast<char>(letter - 'a' + 'A');
  };
  special(04000, 3, 's');
  special(02000, 6, 's');
  special(01000, 9, 't');
  return text;
}

void AppendMeta(std::string& out, const FindData& entry, const EntryMeta& meta,
                std::optional<DigestAlgorithm> streamDigests) {
  constexpr std::size_t kZeros = DigestDigitsOf(DigestAlgorithm::Sha256);
  const auto number = [&out](std::uint64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
  };
  if (meta.Of == EntryMeta::Kind::Posix) {
    out += "mode=";
    out += ModeText(entry.Mode);
    out += " uid=";
    number(entry.Uid);
    out += " gid=";
    number(entry.Gid);
    out += " links=";
    number(entry.Links);
    out += " xattrs=";
    out += meta.XattrDigest.empty() ? std::string_view("-") : std::string_view(meta.XattrDigest);
    out += ' ';
    if ((entry.Mode & 0170000) == 0120000) {
      out += "target=";
      AppendMetaText(out, meta.LinkTarget);
      out += ' ';
    }
    return;
  }
  out += "owner=";
  if (meta.OwnerSid.empty()) {
    out += '?';
  } else {
    AppendMetaText(out, meta.OwnerSid);
  }
  out += " dacl=";
  out += meta.DaclDigest.size() == kZeros ? meta.DaclDigest : std::string(kZeros, '0');
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08X", static_cast<unsigned>(meta.ReparseTag));
  out += " reparse=";
  out += tag;
  out += " streams=";
  number(meta.Streams.size());
  out += ' ';
  for (const EntryMeta::Stream& stream : meta.Streams) {
    out += "stream=";
    number(stream.Size);
    out += ':';
    if (streamDigests) {
      const std::size_t digits = DigestDigitsOf(*streamDigests);
      out += stream.Digest.size() == digits ? stream.Digest : std::string(digits, '0');
      out += ':';
    }
    AppendMetaText(out, stream.Name);
    out += ' ';
  }
}

std::string FormatAttributeLetters(std::uint32_t attributeWord) {
  static constexpr struct {
    std::uint32_t bit;
    char letter;
  } kLetters[11] = {{0x4000, 'E'}, {0x1000, 'O'}, {0x0800, 'C'}, {0x0100, 'T'}, {0x0080, 'N'}, {0x0020, 'A'},
                    {0x0010, 'D'}, {0x0008, 'V'}, {0x0004, 'S'}, {0x0002, 'H'}, {0x0001, 'R'}};
  std::string field(11, '_');
  for (int i = 0; i < 11; ++i)
    if (attributeWord & kLetters[i].bit) field[i] = kLetters[i].letter;
  return field;
}

std::string FormatTotalText(double total, std::string_view thousandSeparator) {
  const double magnitude = std::fabs(total);
  std::string digits;
  if (magnitude < 1e18) {
    // Below 10^18 the whole number has at most 18 digits: round halves away from zero.
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, static_cast<std::uint64_t>(std::round(magnitude))).ptr;
    digits.assign(text, end);
  } else if (std::isfinite(magnitude)) {
    // Keep 18 significant digits and fill the rest of the integer part with zeros.
    char text[64];
    std::snprintf(text, sizeof text, "%.17e", magnitude);
    const std::string_view view(text);
    const auto e = view.find('e');
    digits += view[0];
    digits.append(view.substr(2, e - 2));
    const int exponent = std::atoi(text + e + 1);
    digits.append(static_cast<std::size_t>(exponent - 17), '0');
  } else {
    digits = "0";
  }
  std::string grouped;
  grouped.reserve(digits.size() + digits.size() / 3 * thousandSeparator.size());
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += thousandSeparator;
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace ListingLineFormat
