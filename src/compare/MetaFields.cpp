#include "compare/MetaFields.h"

#include <algorithm>

namespace {

constexpr std::array<std::string_view, 6> kPosixNames{"mode", "uid", "gid", "links", "xattrs", "target"};
constexpr std::array<std::string_view, 4> kWindowsNames{"owner", "dacl", "reparse", "streams"};
constexpr std::size_t kXattrDigits = 64;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f'); }

// A cursor over the group; each step moves on only when it matches.
class Fields {
 public:
  explicit Fields(std::string_view text) : text_(text) {}

  // "name=" and a value up to the next blank, which is passed over.
  bool Token(std::string_view name, std::string_view& value) {
    if (text_.substr(pos_, name.size()) != name || text_.substr(pos_ + name.size(), 1) != "=") return false;
    const std::size_t start = pos_ + name.size() + 1;
    const std::size_t blank = text_.find(' ', start);
    if (blank == std::string_view::npos) return false;
    value = text_.substr(start, blank - start);
    pos_ = blank + 1;
    return true;
  }
  std::size_t Pos() const { return pos_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// A number as the listing writes it: digits without a leading zero.
bool IsNumber(std::string_view value) {
  return !value.empty() && value.size() <= 20 && std::all_of(value.begin(), value.end(), IsDigit) &&
         (value.size() == 1 || value[0] != '0');
}
bool IsHexDigits(std::string_view value, std::size_t digits) {
  return value.size() == digits && std::all_of(value.begin(), value.end(), IsHex);
}

bool IsMode(std::string_view mode) {
  static constexpr std::string_view kTypes = "-dlpscb?";
  static constexpr std::array<std::string_view, 9> kAllowed{"r-", "w-", "xsS-", "r-", "w-", "xsS-", "r-", "w-", "xtT-"};
  if (mode.size() != 10 || kTypes.find(mode[0]) == std::string_view::npos) return false;
  for (std::size_t i = 0; i < 9; ++i)
    if (kAllowed[i].find(mode[i + 1]) == std::string_view::npos) return false;
  return true;
}

// "SIZE:NAME" or "SIZE:DIGEST:NAME", the name not empty.
bool IsStream(std::string_view value, std::size_t digestDigits) {
  const std::size_t colon = value.find(':');
  if (colon == std::string_view::npos || !IsNumber(value.substr(0, colon))) return false;
  std::string_view rest = value.substr(colon + 1);
  if (digestDigits > 0) {
    if (rest.size() < digestDigits + 1 || rest[digestDigits] != ':') return false;
    const std::string_view digest = rest.substr(0, digestDigits);
    if (!std::all_of(digest.begin(), digest.end(), IsHex)) return false;
    rest.remove_prefix(digestDigits + 1);
  }
  return !rest.empty();
}

}  // namespace

std::optional<MetaFields> MetaFields::Parse(std::string_view text, std::size_t streamDigestDigits) {
  MetaFields meta;
  Fields f(text);
  auto& v = meta.Values;
  if (f.Token("mode", v[0])) {
    meta.Of = Form::Posix;
    if (!IsMode(v[0]) || !f.Token("uid", v[1]) || !IsNumber(v[1]) || !f.Token("gid", v[2]) || !IsNumber(v[2]) ||
        !f.Token("links", v[3]) || !IsNumber(v[3]) || !f.Token("xattrs", v[4]) ||
        !(v[4] == "-" || IsHexDigits(v[4], kXattrDigits)))
      return std::nullopt;
    // A link's target, which only a link has; empty where it could not be read.
    if (v[0][0] == 'l' && !f.Token("target", v[5])) return std::nullopt;
    if (v[0][0] != 'l') v[5] = text.substr(f.Pos(), 0);
  } else if (f.Token("owner", v[0])) {
    meta.Of = Form::Windows;
    std::string_view count;
    if (v[0].empty() || !f.Token("dacl", v[1]) || !IsHexDigits(v[1], kXattrDigits) || !f.Token("reparse", v[2]) ||
        v[2].size() != 8 || !std::all_of(v[2].begin(), v[2].end(), [](char c) { return IsDigit(c) || (c >= 'A' && c <= 'F'); }))
      return std::nullopt;
    const std::size_t streamsAt = f.Pos() + 8;  // past "streams="
    if (!f.Token("streams", count) || !IsNumber(count) || count.size() > 9) return std::nullopt;
    std::size_t streams = 0;
    for (const char c : count) streams = streams * 10 + static_cast<std::size_t>(c - '0');
    for (std::string_view stream; streams > 0; --streams)
      if (!f.Token("stream", stream) || !IsStream(stream, streamDigestDigits)) return std::nullopt;
    v[3] = text.substr(streamsAt, f.Pos() - 1 - streamsAt);
  } else {
    return std::nullopt;
  }
  meta.Text = text.substr(0, f.Pos());
  return meta;
}

std::span<const std::string_view> MetaFields::NamesOf(Form form) {
  if (form == Form::Posix) return kPosixNames;
  return kWindowsNames;
}

const std::vector<std::string_view>& MetaFields::AllNames() {
  static const std::vector<std::string_view> names = [] {
    std::vector<std::string_view> all(kPosixNames.begin(), kPosixNames.end());
    all.insert(all.end(), kWindowsNames.begin(), kWindowsNames.end());
    return all;
  }();
  return names;
}

bool MetaFields::Known(std::string_view name) {
  const auto& all = AllNames();
  return std::find(all.begin(), all.end(), name) != all.end();
}

std::optional<std::string_view> MetaFields::Value(std::string_view name) const {
  const auto names = Names();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return Values[i];
  return std::nullopt;
}

std::vector<std::pair<std::string_view, std::string_view>> ChangedMeta(const std::optional<MetaFields>& now,
                                                                     const std::optional<MetaFields>& before,
                                                                     std::string_view placeInOld) {
  std::vector<std::pair<std::string_view, std::string_view>> changed;
  if (!now && !before) return changed;
  if (!now || !before || now->Of != before->Of) {
    // Another form, or none: each field of the old side, else of the new.
    const MetaFields& side = before ? *before : *now;
    for (std::size_t i = 0; i < side.Names().size(); ++i)
      changed.emplace_back(side.Names()[i], before ? before->Values[i] : placeInOld);
    return changed;
  }
  for (std::size_t i = 0; i < now->Names().size(); ++i)
    if (now->Values[i] != before->Values[i]) changed.emplace_back(now->Names()[i], before->Values[i]);
  return changed;
}
