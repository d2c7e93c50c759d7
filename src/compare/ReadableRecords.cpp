#include "compare/ReadableRecords.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>

#include <nlohmann/json.hpp>

#include "compare/FileLineFields.h"
#include "compare/LineChanges.h"

namespace {

using Json = nlohmann::ordered_json;

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    std::uint32_t point;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, point = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, point = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, point = c & 0x07u;
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0u) != 0x80u) return false;
      point = (point << 6) | (next & 0x3Fu);
    }
    // Overlong forms, surrogates and points past U+10FFFF.
    if (length == 3 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) return false;
    if (length == 4 && (point < 0x10000 || point > 0x10FFFF)) return false;
    i += length;
  }
  return true;
}

// Base64 (RFC 4648) with padding. Written out here rather than taken from a
// library, since the Windows build has no libcrypto.
std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  encoded.reserve(4 * ((bytes.size() + 2) / 3));
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) encoded += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return encoded;
}

// A text field of a JSON record; see the class comment for invalid UTF-8.
void PutText(Json& record, const std::string& key, std::string_view text) {
  record[key] = std::string(text);
  if (!IsUtf8(text)) record[key + "_base64"] = Base64(text);
}

void AppendCsvField(std::string& record, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    record += field;
    return;
  }
  record += '"';
  for (const char c : field) {
    if (c == '"') record += '"';
    record += c;
  }
  record += '"';
}

std::string IsoDateTime(const FileLineFields& f) {
  std::string text = "0000-00-00T00:00:00Z";
  const auto put = [&text](std::size_t at, int value, int digits) {
    for (std::size_t i = at + static_cast<std::size_t>(digits); i-- > at; value /= 10) text[i] = static_cast<char>('0' + value % 10);
  };
  put(0, f.Year, 4), put(5, f.Month, 2), put(8, f.Day, 2), put(11, f.Hour, 2), put(14, f.Minute, 2), put(17, f.Second, 2);
  return text;
}

// A date-time that can be, from 01.01.0001 00:00:00 to 31.12.9999 23:59:59.
bool RealDateTime(const FileLineFields& f) {
  static constexpr int kDaysOf[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (f.Year < 1 || f.Month < 1 || f.Month > 12 || f.Day < 1) return false;
  const bool leap = f.Year % 4 == 0 && (f.Year % 100 != 0 || f.Year % 400 == 0);
  const int days = kDaysOf[f.Month - 1] + (f.Month == 2 && leap ? 1 : 0);
  return f.Day <= days && f.Hour < 24 && f.Minute < 60 && f.Second < 60;
}

// A line's fields when it is a file line whose size is a number and whose
// date-time is a real one.
std::optional<FileLineFields> FieldsOf(std::string_view line) {
  auto fields = FileLineFields::Parse(line);
  if (fields && (!fields->Size() || !RealDateTime(*fields))) return std::nullopt;
  return fields;
}

// Whether the fields give the line back as it is: "dd.mm.yyyy hh:nn:ss ",
// the size zero-filled to ten digits, and the rest as it stands. Another time
// separator, or more leading zeros, are only in the raw line.
bool Rebuildable(const FileLineFields& f, std::string_view line) {
  constexpr std::ptrdiff_t kSizeAt = 20;
  return f.SizeDigits.data() - line.data() == kSizeAt && line[13] == ':' && line[16] == ':' &&
         (f.SizeDigits.size() == 10 || f.SizeDigits.front() != '0');
}

// One side of a record: the fields of a file line, or the raw text of any
// other line, or nothing at all. A file line that its fields do not give
// back keeps its raw text beside them.
struct Side {
  std::optional<FileLineFields> fields;
  std::string_view raw;
  bool present = false;
  bool rawToo = false;
  std::optional<FolderLineFields> folder;  // a folder line with metadata: its path and group

  static Side Of(std::string_view line) {
    Side side{FieldsOf(line), line, true, false, std::nullopt};
    side.rawToo = side.fields && !Rebuildable(*side.fields, line);
    if (!side.fields) side.folder = FolderLineFields::Parse(line);
    return side;
  }
  bool NeedsRaw() const { return present && ((!fields && !folder) || rawToo); }
  const MetaFields* Meta() const {
    if (fields) return fields->Meta ? &*fields->Meta : nullptr;
    return folder ? &folder->Meta : nullptr;
  }
  std::optional<std::string_view> Path() const {
    if (fields) return fields->Path;
    if (folder) return folder->Path;
    return std::nullopt;
  }
};

// The value of a metadata field on a side; nothing where it has none (a
// target is only a link's).
std::optional<std::string_view> MetaValue(const Side& side, std::string_view name) {
  const MetaFields* meta = side.Meta();
  if (meta == nullptr) return std::nullopt;
  const auto value = meta->Value(name);
  if (value && name == "target" && meta->Values[0].substr(0, 1) != "l") return std::nullopt;
  return value;
}

// The metadata columns of a side, each after a comma.
void AppendMetaCsv(std::string& record, const Side& side) {
  for (const std::string_view name : MetaFields::AllNames()) {
    record += ',';
    if (const auto value = MetaValue(side, name)) AppendCsvField(record, *value);
  }
}

// The metadata keys of a side: numbers for uid, gid and links, texts else,
// null for a field its form lacks.
void PutMetaJson(Json& record, const Side& side, const std::string& prefix) {
  const MetaFields* meta = side.Meta();
  if (meta == nullptr) return;
  for (const std::string_view name : meta->Names()) {
    const auto value = MetaValue(side, name);
    const std::string key = prefix + std::string(name);
    if (!value) {
      record[key] = nullptr;
    } else if (name == "uid" || name == "gid" || name == "links") {
      record[key] = std::stoull(std::string(*value));
    } else {
      PutText(record, key, *value);
    }
  }
}

// "md5" or "sha256" by the digest's length; empty for a side without one.
std::string_view AlgorithmOf(const Side& side) {
  if (!side.fields || side.fields->Digest.empty()) return {};
  return side.fields->Digest.size() == 64 ? "sha256" : "md5";
}

// The fields of a side under their keys with the prefix, in the order of
// the CSV columns: the current side's path first, the old side's last.
void PutSideJson(Json& record, const Side& side, const std::string& prefix) {
  const auto& f = side.fields;
  const auto putPath = [&] {
    if (const auto path = side.Path()) {
      PutText(record, prefix + "path", *path);
    } else {
      record[prefix + "path"] = nullptr;
    }
  };
  if (prefix.empty()) putPath();
  record[prefix + "size"] = f ? Json(*f->Size()) : Json(nullptr);
  record[prefix + "datetime"] = f ? Json(IsoDateTime(*f)) : Json(nullptr);
  record[prefix + "attributes"] = f ? Json(std::string(f->Attributes)) : Json(nullptr);
  record[prefix + "digest"] = f && !f->Digest.empty() ? Json(std::string(f->Digest)) : Json(nullptr);
  const std::string_view algorithm = AlgorithmOf(side);
  record[prefix + "digest_algorithm"] = algorithm.empty() ? Json(nullptr) : Json(std::string(algorithm));
  if (!prefix.empty()) putPath();
}

// The five CSV fields of one side: path, size, datetime, attributes, digest,
// or with the path last for the old side.
void AppendSideCsv(std::string& record, const Side& side, bool pathLast = false) {
  if (!side.fields) {
    // A folder line has a path and no other of these fields.
    if (side.folder && !pathLast) AppendCsvField(record, side.folder->Path);
    record += ",,,,";
    if (side.folder && pathLast) AppendCsvField(record, side.folder->Path);
    return;
  }
  const FileLineFields& f = *side.fields;
  if (!pathLast) {
    AppendCsvField(record, f.Path);
    record += ',';
  }
  record += std::to_string(*f.Size());
  record += ',';
  record += IsoDateTime(f);
  record += ',';
  record += f.Attributes;
  record += ',';
  record += f.Digest;
  if (pathLast) {
    record += ',';
    AppendCsvField(record, f.Path);
  }
}

std::string_view RawWhereNeeded(const Side& side) { return side.NeedsRaw() ? side.raw : std::string_view(); }

const char* WordOf(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::Modified: return "modified";
    case ChangeKind::Deleted: return "deleted";
    case ChangeKind::Added: return "added";
    case ChangeKind::Moved: return "moved";
  }
  return "";
}

std::string Dump(const Json& record) { return record.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A JSON record whose keys are made once and whose values each record fills
// in place, texts keeping their capacity: most records then allocate nothing
// but their dumped text.
class JsonRecord {
 public:
  JsonRecord(std::initializer_list<const char*> keys) {
    for (const char* key : keys) object_[key] = nullptr;
    for (const char* key : keys) slots_.push_back(&object_[key]);  // stable once every key is in
  }
  void Text(std::size_t slot, std::string_view text) {
    Json& value = *slots_[slot];
    if (value.is_string()) {
      value.get_ref<std::string&>().assign(text);
    } else {
      value = std::string(text);
    }
  }
  void Null(std::size_t slot) { *slots_[slot] = nullptr; }
  void Number(std::size_t slot, std::uint64_t number) { *slots_[slot] = number; }
  // The fields of a side into the slots of its path, size, datetime,
  // attributes, digest and digest algorithm; nulls for a side that is absent.
  void PutSide(const std::array<std::size_t, 6>& slots, const Side& side) {
    if (!side.fields) {
      for (const std::size_t slot : slots) Null(slot);
      return;
    }
    const FileLineFields& f = *side.fields;
    Text(slots[0], f.Path);
    Number(slots[1], *f.Size());
    Text(slots[2], IsoDateTime(f));
    Text(slots[3], f.Attributes);
    if (f.Digest.empty()) {
      Null(slots[4]);
      Null(slots[5]);
    } else {
      Text(slots[4], f.Digest);
      Text(slots[5], AlgorithmOf(side));
    }
  }
  std::string Dump() const { return object_.dump(); }

 private:
  Json object_ = Json::object();
  std::vector<Json*> slots_;
};

// Whether a side fits a JsonRecord: absent, or a file line given back by its
// fields whose path is valid UTF-8.
bool Plain(const Side& side) {
  return !side.NeedsRaw() && !side.folder && (!side.present || (IsUtf8(side.fields->Path) && !side.fields->Meta));
}

constexpr const char* kChangeColumns =
    "change,path,size,datetime,attributes,digest,old_size,old_datetime,old_attributes,old_digest,old_path,line,"
    "old_line,digest_algorithm,old_digest_algorithm";

// The names of the fields in which a change's sides differ, one blank between them.
std::string ChangedText(const std::vector<std::string_view>& names) {
  std::string text;
  for (const std::string_view name : names) text.append(text.empty() ? "" : " ").append(name);
  return text;
}

}  // namespace

std::optional<ReadableRecords::Format> ReadableRecords::FormatNamed(std::string_view name) {
  if (name == "csv") return Format::Csv;
  if (name == "json") return Format::Json;
  return std::nullopt;
}

void ReadableRecords::AddListing(const std::vector<std::string_view>& lines, bool header) {
  std::string record;
  JsonRecord plain{"path", "size", "datetime", "attributes", "digest", "digest_algorithm"};
  // The digest's algorithm came later than the other columns: it is last, so
  // that readers who count columns find the others where they were.
  if (format_ == Format::Csv && header) {
    std::string columns = "path,size,datetime,attributes,digest,line,digest_algorithm";
    if (metaColumns_)
      for (const std::string_view name : MetaFields::AllNames()) columns.append(",").append(name);
    records_.Append(columns);
  }
  for (const std::string_view line : lines) {
    const Side side = Side::Of(line);
    record.clear();
    if (format_ == Format::Csv) {
      AppendSideCsv(record, side);
      record += ',';
      AppendCsvField(record, RawWhereNeeded(side));
      record += ',';
      record += AlgorithmOf(side);
      if (metaColumns_) AppendMetaCsv(record, side);
      records_.Append(record);
      continue;
    }
    if (Plain(side)) {
      plain.PutSide({0, 1, 2, 3, 4, 5}, side);
      records_.Append(plain.Dump());
      continue;
    }
    Json object = Json::object();
    if (side.fields || side.folder) PutSideJson(object, side, "");
    PutMetaJson(object, side, "");
    if (side.NeedsRaw()) PutText(object, "line", line);
    records_.Append(Dump(object));
  }
}

void ReadableRecords::AddChanges(const ComparisonResult& result, const std::vector<std::string_view>& current,
                                 const std::vector<std::string_view>& loaded) {
  AddChangeHeader();
  for (const Change& change : result.Changes)
    AddChange(change.Kind, change.Current >= 0 ? current[static_cast<std::size_t>(change.Current)] : std::string_view(),
              change.Loaded >= 0 ? loaded[static_cast<std::size_t>(change.Loaded)] : std::string_view());
  AddChangeCounts(result);
}

void ReadableRecords::AddChangeHeader() { headerDue_ = format_ == Format::Csv; }

void ReadableRecords::PutChangeHeader(bool meta) {
  if (!headerDue_) return;
  headerDue_ = false;
  metaColumns_ = metaColumns_ || meta;
  std::string columns = kChangeColumns;
  if (metaColumns_) {
    columns += ",changed";
    for (const char* prefix : {"", "old_"})
      for (const std::string_view name : MetaFields::AllNames()) columns.append(",").append(prefix).append(name);
  }
  records_.Append(columns);
}

void ReadableRecords::AddChange(ChangeKind kind, std::string_view current, std::string_view loaded) {
  const Side now = !current.empty() ? Side::Of(current) : Side();
  const Side old = !loaded.empty() ? Side::Of(loaded) : Side();
  const bool meta = now.Meta() != nullptr || old.Meta() != nullptr;
  // The fields that differ, where both sides are there to tell.
  const std::vector<std::string_view> changed =
      meta && now.present && old.present ? LineChanges::ChangedNames(current, loaded) : std::vector<std::string_view>();
  PutChangeHeader(meta);
  if (format_ == Format::Csv) {
    std::string record(WordOf(kind));
    record += ',';
    AppendSideCsv(record, now);
    record += ',';
    AppendSideCsv(record, old, true);
    record += ',';
    AppendCsvField(record, RawWhereNeeded(now));
    record += ',';
    AppendCsvField(record, RawWhereNeeded(old));
    record += ',';
    record += AlgorithmOf(now);
    record += ',';
    record += AlgorithmOf(old);
    if (metaColumns_) {
      record += ',';
      record += ChangedText(changed);
      AppendMetaCsv(record, now);
      AppendMetaCsv(record, old);
    }
    records_.Append(record);
    return;
  }
  if (Plain(now) && Plain(old)) {
    JsonRecord plain{"change",       "path",           "size",       "datetime",
                     "attributes",   "digest",         "digest_algorithm",
                     "old_size",     "old_datetime",   "old_attributes",
                     "old_digest",   "old_digest_algorithm", "old_path"};
    plain.Text(0, WordOf(kind));
    plain.PutSide({1, 2, 3, 4, 5, 6}, now);
    plain.PutSide({12, 7, 8, 9, 10, 11}, old);
    records_.Append(plain.Dump());
    return;
  }
  Json object = Json::object();
  object["change"] = WordOf(kind);
  PutSideJson(object, now, "");
  PutSideJson(object, old, "old_");
  if (meta) {
    object["changed"] = Json::array();
    for (const std::string_view name : changed) object["changed"].push_back(std::string(name));
    PutMetaJson(object, now, "");
    PutMetaJson(object, old, "old_");
  }
  if (now.NeedsRaw()) PutText(object, "line", now.raw);
  if (old.NeedsRaw()) PutText(object, "old_line", old.raw);
  records_.Append(Dump(object));
}

void ReadableRecords::AddChangeCounts(const ComparisonResult& result) {
  PutChangeHeader(false);
  if (format_ == Format::Json) {
    Json counts = Json::object();
    counts["modified"] = result.Modified;
    counts["deleted"] = result.Deleted;
    counts["added"] = result.Added;
    if (result.MovesDetected) {
      counts["moved"] = result.Moved;
      counts["ambiguous_move_candidates"] = result.AmbiguousMoves;
    }
    records_.Append(Dump(counts));
  }
}
