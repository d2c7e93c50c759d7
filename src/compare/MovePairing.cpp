#include "compare/MovePairing.h"

#include <optional>
#include <string>
#include <unordered_map>

#include "compare/FileLineFields.h"

std::optional<std::string> MovePairing::KeyOf(std::string_view line) {
  const auto fields = FileLineFields::Parse(line);
  if (!fields) return std::nullopt;
  const auto size = fields->Size();
  if (!size || *size == 0) return std::nullopt;
  std::string key = std::to_string(*size);
  if (!fields->Digest.empty()) {
    if (fields->Digest.find_first_not_of('0') == std::string_view::npos) return std::nullopt;
    key.insert(0, "d ");
    key += ' ';
    for (const char c : fields->Digest) key += (c >= 'A' && c <= 'F') ? static_cast<char>(c - 'A' + 'a') : c;
  } else {
    key.insert(0, "n ");
    key += ' ';
    key += std::to_string(fields->DateTimeNumber());
    key += ' ';
    key += fields->FileName();
  }
  return key;
}

namespace {

bool SameFolder(std::string_view a, std::string_view b) {
  const auto fa = FileLineFields::Parse(a);
  const auto fb = FileLineFields::Parse(b);
  return fa && fb && fa->Folder() == fb->Folder();
}

struct Occurrences {
  int deletedCount = 0, addedCount = 0;
  int deleted = -1, added = -1;  // the line, when the key occurs once on that side
};

}  // namespace

MovePairing::MovePairing(const std::vector<std::string_view>& deleted, const std::vector<std::string_view>& added)
    : partnerOfAdded_(added.size(), -1), deletedPaired_(deleted.size(), false) {
  std::unordered_map<std::string, Occurrences> byKey;
  byKey.reserve(deleted.size() + added.size());
  for (std::size_t i = 0; i < deleted.size(); ++i) {
    if (auto key = KeyOf(deleted[i])) {
      Occurrences& o = byKey[std::move(*key)];
      ++o.deletedCount;
      o.deleted = static_cast<int>(i);
    }
  }
  for (std::size_t j = 0; j < added.size(); ++j) {
    if (auto key = KeyOf(added[j])) {
      // Keys found on the Added side only can never pair; they are not kept.
      const auto found = byKey.find(*key);
      if (found == byKey.end()) continue;
      ++found->second.addedCount;
      found->second.added = static_cast<int>(j);
    }
  }
  for (const auto& [key, o] : byKey) {
    if (o.addedCount == 0) continue;
    if (o.deletedCount == 1 && o.addedCount == 1) {
      const auto d = static_cast<std::size_t>(o.deleted);
      const auto a = static_cast<std::size_t>(o.added);
      // Without a digest, a file that stayed in its folder is no move.
      if (key[0] == 'n' && SameFolder(deleted[d], added[a])) continue;
      partnerOfAdded_[a] = o.deleted;
      deletedPaired_[d] = true;
    } else {
      ambiguous_ += o.deletedCount + o.addedCount;
    }
  }
}
