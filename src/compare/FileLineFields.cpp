#include "compare/FileLineFields.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A cursor over the line that each step moves on only when it matches.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  // A fixed number of digits, read as a number.
  bool Number(std::size_t count, int& value) {
    if (text_.size() - pos_ < count) return false;
    int read = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const char c = text_[pos_ + i];
      if (!IsDigit(c)) return false;
      read = read * 10 + (c - '0');
    }
    value = read;
    pos_ += count;
    return true;
  }
  bool Char(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool Literal(std::string_view literal) {
    if (text_.substr(pos_, literal.size()) != literal) return false;
    pos_ += literal.size();
    return true;
  }
  // The time separator: any run of bytes that are not digits.
  void Separator() {
    while (pos_ < text_.size() && !IsDigit(text_[pos_])) ++pos_;
  }
  std::string_view DigitRun() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }
  std::string_view Attributes() {
    static constexpr std::string_view kLetters = "EOCTNADVSHR";
    if (text_.size() - pos_ < kLetters.size()) return {};
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
      const char c = text_[pos_ + i];
      if (c != '_' && c != kLetters[i]) return {};
    }
    pos_ += kLetters.size();
    return text_.substr(pos_ - kLetters.size(), kLetters.size());
  }
  // An SHA-256 digest of 64 digits, or an MD5 digest of 32, and a blank.
  std::string_view OptionalDigest() {
    for (const std::size_t digits : {std::size_t{64}, std::size_t{32}}) {
      if (text_.size() - pos_ < digits + 1 || text_[pos_ + digits] != ' ') continue;
      std::size_t i = 0;
      while (i < digits && IsHex(text_[pos_ + i])) ++i;
      if (i < digits) continue;
      pos_ += digits + 1;
      return text_.substr(pos_ - digits - 1, digits);
    }
    return {};
  }
  std::string_view Rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

std::size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

}  // namespace

std::optional<FileLineFields> FileLineFields::Parse(std::string_view line) {
  FileLineFields f;
  Scanner s(line);
  if (!(s.Number(2, f.Day) && s.Char('.') && s.Number(2, f.Month) && s.Char('.') && s.Number(4, f.Year) &&
        s.Char(' ') && s.Number(2, f.Hour)))
    return std::nullopt;
  s.Separator();
  if (!s.Number(2, f.Minute)) return std::nullopt;
  s.Separator();
  if (!(s.Number(2, f.Second) && s.Char(' '))) return std::nullopt;
  f.SizeDigits = s.DigitRun();
  if (f.SizeDigits.size() < 10 || !s.Literal(" Bytes ")) return std::nullopt;
  f.Attributes = s.Attributes();
  if (f.Attributes.empty() || !s.Char(' ')) return std::nullopt;
  f.Digest = s.OptionalDigest();
  f.Path = s.Rest();
  if (!f.Path.empty() && (f.Path[0] == 'm' || f.Path[0] == 'o')) {
    // A group with no path after it is the path itself, as it always was.
    f.Meta = MetaFields::Parse(f.Path, f.Digest.size());
    if (f.Meta && f.Meta->Text.size() < f.Path.size()) {
      f.Path.remove_prefix(f.Meta->Text.size());
    } else {
      f.Meta.reset();
    }
  }
  if (f.Path.empty()) return std::nullopt;
  return f;
}

std::optional<FolderLineFields> FolderLineFields::Parse(std::string_view line) {
  if (line.empty() || (line[0] != 'm' && line[0] != 'o')) return std::nullopt;
  auto meta = MetaFields::Parse(line, 0);
  if (!meta) return std::nullopt;
  const std::string_view path = line.substr(meta->Text.size());
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) return std::nullopt;
  return FolderLineFields{*meta, path};
}

std::optional<std::uint64_t> FileLineFields::Size() const {
  std::uint64_t size = 0;
  for (const char c : SizeDigits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (size > (UINT64_MAX - digit) / 10) return std::nullopt;
    size = size * 10 + digit;
  }
  return size;
}

std::int64_t FileLineFields::DateTimeNumber() const {
  return ((((std::int64_t{Year} * 100 + Month) * 100 + Day) * 100 + Hour) * 100 + Minute) * 100 + Second;
}

std::string_view FileLineFields::FileName() const {
  const auto separator = LastSeparator(Path);
  return separator == std::string_view::npos ? Path : Path.substr(separator + 1);
}

std::string_view FileLineFields::Folder() const {
  const auto separator = LastSeparator(Path);
  return separator == std::string_view::npos ? std::string_view() : Path.substr(0, separator + 1);
}

std::optional<DigestAlgorithm> FileLineFields::DigestKind() const {
  if (Digest.empty()) return std::nullopt;
  return Digest.size() == DigestDigitsOf(DigestAlgorithm::Sha256) ? DigestAlgorithm::Sha256 : DigestAlgorithm::Md5;
}
