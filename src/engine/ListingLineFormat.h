#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DigestAlgorithm.h"
#include "platform/EntryMeta.h"
#include "platform/FindData.h"

// The fields of listing lines, written straight into a line under construction.
namespace ListingLineFormat {

// "dd.mm.yyyy hh:nn:ss" from a day count since 30 December 1899, rounded to
// the nearest millisecond first; the milliseconds are dropped. Times before
// 01.01.0001 00:00:00 or after 31.12.9999 23:59:59 are written as those.
void AppendDateTime(std::string& out, double dayCount, std::string_view timeSeparator);

// The size as a whole number, zero-filled to at least 10 digits.
void AppendSize(std::string& out, double size);

// The escape of a name's character that would otherwise read as something
// else: U+2426, in UTF-8.
inline constexpr std::string_view kNameEscape = "\xE2\x90\xA6";

// Text of a name or path as a listing line carries it: each control byte
// 0x01-0x1F becomes its own visible picture, U+2400 + byte, and 0x7F U+2421,
// both in UTF-8, so that a line never breaks in a saved listing. So that no
// two names give the same text, a name's own U+2400-U+2421, U+2426 (the
// escape) and U+FFFD (which stands for bytes that are no UTF-8 where the line
// is shown) get U+2426 before them. Every other byte, valid UTF-8 or not,
// stays as it is.
void AppendListingText(std::string& out, std::string_view text);

// The same for a field of the metadata group, which ends at a blank: a
// blank becomes its picture U+2420 too, so that a link target or a stream
// name holds none.
void AppendMetaText(std::string& out, std::string_view text);

// The metadata group of a line, each field followed by one blank. POSIX:
// "mode=-rwsr-xr-x uid=0 gid=0 links=1 xattrs=- ", and for a link
// "target=TEXT " after it; xattrs is "-" for none or the SHA-256 digest of
// the attributes. Windows: "owner=SID dacl=DIGEST reparse=XXXXXXXX
// streams=N " and N times "stream=SIZE:NAME " (with digests,
// "stream=SIZE:DIGEST:NAME "). What could not be read is all zeros (a
// digest), "?" (an owner) or empty (a target).
void AppendMeta(std::string& out, const FindData& entry, const EntryMeta& meta,
                std::optional<DigestAlgorithm> streamDigests);

// "-rwsr-xr-x" for a mode: the type (- d l p s c b, ? for another), then
// read, write and run for owner, group and others, with s/S and t/T.
std::string ModeText(std::uint32_t mode);

// The 11-character attribute field, "EOCTNADVSHR" or "_" per position.
std::string FormatAttributeLetters(std::uint32_t attributeWord);

// A total with the pattern "#,##0": rounded half away from zero to a whole
// number of at most 18 significant digits, grouped in threes.
std::string FormatTotalText(double total, std::string_view thousandSeparator);

}  // namespace ListingLineFormat
