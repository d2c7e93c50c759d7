#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/ComparisonResult.h"
#include "surfaces/LineStore.h"

// Listings and comparison results as records that programs read without
// parsing prose: CSV after RFC 4180 (a header row; a field is quoted when it
// holds a comma, a double quote, CR or LF, and its quotes are doubled), or
// JSON Lines (one object per record). The fields come from parsing the file
// lines; a line that is not a file line keeps only its raw text, in the field
// "line" ("old_line" for the loaded side of a change). Sizes are numbers,
// date-times ISO 8601 in UTC, and a missing digest is empty in CSV and null
// in JSON.
//
// Text is written byte for byte. CSV carries a name that is not valid UTF-8
// as it stands. JSON must be UTF-8, so such a text is written with each
// invalid byte replaced by U+FFFD, and its exact bytes follow in Base64 under
// the same key with "_base64" appended ("path_base64", "old_path_base64",
// "line_base64", "old_line_base64").
class ReadableRecords {
 public:
  enum class Format { Csv, Json };
  // "csv" or "json"; nothing for any other name.
  static std::optional<Format> FormatNamed(std::string_view name);

  explicit ReadableRecords(Format format) : format_(format) {}

  // A listing, line by line: CSV columns path, size, datetime, attributes,
  // digest, line, digest_algorithm ("md5", "sha256", or empty without a
  // digest; in JSON it follows digest).
  // A long listing may come in parts, the header only with the first.
  void AddListing(const std::vector<std::string_view>& lines, bool header = true);
  // The changes of a comparison of the current lines with the loaded ones:
  // CSV columns change, path, size, datetime, attributes, digest, old_size,
  // old_datetime, old_attributes, old_digest, old_path, line, old_line,
  // digest_algorithm, old_digest_algorithm. The
  // plain columns describe the current file, the old_ ones the loaded file;
  // those of a side a change does not have are empty (null in JSON). JSON ends
  // with one object of counts, which has no "change" key.
  void AddChanges(const ComparisonResult& result, const std::vector<std::string_view>& current,
                  const std::vector<std::string_view>& loaded);

  // The same one change at a time, for results too many to hold at once:
  // the header (CSV), each change with an empty text for a side it lacks,
  // then the counts (JSON). Clear drops the records handed on so far.
  void AddChangeHeader();
  void AddChange(ChangeKind kind, std::string_view current, std::string_view loaded);
  void AddChangeCounts(const ComparisonResult& result);
  void Clear() { records_.Clear(); }

  // Listings and changes that carry the metadata group (see MetaFields)
  // get its fields too: CSV columns mode, uid, gid, links, xattrs, target,
  // owner, dacl, reparse, streams after the others (for a change, first
  // "changed", the names of the fields that differ with a blank between,
  // then the current side's and the old_ side's), and in JSON the keys of
  // the line's form and "changed" as an array. A folder line with the group
  // is a record with its path and those fields. The CSV columns of a
  // listing come with this call; those of changes also when the first
  // change carries the group.
  void SetMetaColumns(bool meta) { metaColumns_ = meta; }

  // The records, each to be written followed by CR LF.
  const std::vector<std::string_view>& Lines() const { return records_.Lines(); }

 private:
  // The CSV header of changes, once the first change tells its columns.
  void PutChangeHeader(bool meta);

  Format format_;
  LineStore records_;
  bool metaColumns_ = false;
  bool headerDue_ = false;
};
