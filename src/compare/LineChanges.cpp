#include "compare/LineChanges.h"

#include <algorithm>

#include "compare/FileLineFields.h"
#include "compare/KeyJoin.h"

namespace {
constexpr std::size_t kDateTimeLength = 19;  // "dd.mm.yyyy hh:nn:ss"
}

const std::vector<std::string_view>& LineChanges::FieldNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> all{"datetime", "size", "attributes", "digest"};
    for (const std::string_view name : MetaFields::AllNames()) all.push_back(name);
    all.push_back("path");
    return all;
  }();
  return names;
}

std::string LineChanges::UnknownField(const std::vector<std::string>& names) {
  for (const std::string& name : names)
    if (std::find(FieldNames().begin(), FieldNames().end(), name) == FieldNames().end()) return name.empty() ? "''" : name;
  return {};
}

std::vector<std::pair<std::string_view, std::string_view>> LineChanges::Changed(std::string_view now,
                                                                               std::string_view before) {
  std::vector<std::pair<std::string_view, std::string_view>> changed;
  const auto nowFile = FileLineFields::Parse(now);
  const auto oldFile = FileLineFields::Parse(before);
  if (nowFile && oldFile) {
    if (nowFile->DateTimeNumber() != oldFile->DateTimeNumber())
      changed.emplace_back("datetime", before.substr(0, kDateTimeLength));
    if (nowFile->Size() != oldFile->Size()) changed.emplace_back("size", oldFile->SizeDigits);
    if (nowFile->Attributes != oldFile->Attributes) changed.emplace_back("attributes", oldFile->Attributes);
    if (nowFile->Digest != oldFile->Digest)
      changed.emplace_back("digest", !oldFile->Digest.empty() ? oldFile->Digest
                                     : oldFile->Meta  ? oldFile->Meta->Text.substr(0, 0)
                                                      : oldFile->Path.substr(0, 0));
    const std::string_view place = oldFile->Meta ? oldFile->Meta->Text : oldFile->Path.substr(0, 0);
    for (const auto& field : ChangedMeta(nowFile->Meta, oldFile->Meta, place)) changed.push_back(field);
    if (nowFile->Path != oldFile->Path) changed.emplace_back("path", oldFile->Path);
    return changed;
  }
  const auto nowFolder = FolderLineFields::Parse(now);
  const auto oldFolder = FolderLineFields::Parse(before);
  if (!nowFolder || !oldFolder) return changed;
  for (const auto& field : ChangedMeta(nowFolder->Meta, oldFolder->Meta, oldFolder->Meta.Text)) changed.push_back(field);
  if (nowFolder->Path != oldFolder->Path) changed.emplace_back("path", oldFolder->Path);
  return changed;
}

std::vector<std::string_view> LineChanges::ChangedNames(std::string_view now, std::string_view before) {
  std::vector<std::string_view> names;
  for (const auto& field : Changed(now, before)) names.push_back(field.first);
  return names;
}

bool LineChanges::HasMeta(std::string_view line) {
  if (const auto file = FileLineFields::Parse(line)) return file->Meta.has_value();
  return FolderLineFields::Parse(line).has_value();
}

bool LineChanges::Differs(std::string_view current, std::string_view loaded) const {
  if (!KeyJoin::Differs(current, loaded)) return false;
  if (ignored_.empty()) return true;
  const auto changed = Changed(current, loaded);
  // Lines that differ in no field (another time separator, more leading
  // zeros) differ as they always did.
  if (changed.empty()) return true;
  return std::any_of(changed.begin(), changed.end(), [this](const auto& field) {
    return std::find(ignored_.begin(), ignored_.end(), field.first) == ignored_.end();
  });
}
