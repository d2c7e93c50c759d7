#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "compare/MetaFields.h"
#include "platform/DigestAlgorithm.h"

// The fields of a file line, read by the line's shape:
// "dd.mm.yyyy hh<sep>nn<sep>ss <10+ digits> Bytes <11 attribute letters> "
// with an optional digest of 32 (MD5) or 64 (SHA-256) hexadecimal digits and
// a space, and an optional metadata group (MetaFields), before the full
// path. The views point into the line.
struct FileLineFields {
  int Day = 0, Month = 0, Year = 0, Hour = 0, Minute = 0, Second = 0;
  std::string_view SizeDigits;  // as written, with its leading zeros
  std::string_view Attributes;  // the 11 letters or underscores
  std::string_view Digest;      // empty when the line carries none; its length tells the kind
  std::optional<MetaFields> Meta;  // the metadata group between the digest and the path, if any
  std::string_view Path;        // never empty

  // Nothing when the line does not have the shape of a file line.
  static std::optional<FileLineFields> Parse(std::string_view line);

  // The algorithm of the digest, by its length; nothing for a line without one.
  std::optional<DigestAlgorithm> DigestKind() const;
  // The size in bytes; nothing when it does not fit in 64 bits.
  std::optional<std::uint64_t> Size() const;
  // The date-time as one number, yyyymmddhhnnss, whatever the separator.
  std::int64_t DateTimeNumber() const;
  // The path after its last "/" or "\", and the path up to and including it.
  std::string_view FileName() const;
  std::string_view Folder() const;
};

// A line of the folder section that carries the metadata group: the group,
// then the folder's path, which ends with "/" or "\". Such a line is
// compared as a file line is; a folder line without it never is.
struct FolderLineFields {
  MetaFields Meta;
  std::string_view Path;

  static std::optional<FolderLineFields> Parse(std::string_view line);
};
