#include "compare/ComparisonKey.h"

#include <cctype>

namespace ComparisonKey {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// A cursor over the line that each step moves on only when it matches.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  bool Digits(std::size_t count) {
    if (text_.size() - pos_ < count) return false;
    for (std::size_t i = 0; i < count; ++i)
      if (!IsDigit(text_[pos_ + i])) return false;
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
  std::size_t DigitRun() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    return pos_ - start;
  }
  bool Attributes() {
    static constexpr std::string_view kLetters = "EOCTNADVSHR";
    if (text_.size() - pos_ < kLetters.size()) return false;
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
      const char c = text_[pos_ + i];
      if (c != '_' && c != kLetters[i]) return false;
    }
    pos_ += kLetters.size();
    return true;
  }
  void OptionalDigest() {
    if (text_.size() - pos_ < 33 || text_[pos_ + 32] != ' ') return;
    for (std::size_t i = 0; i < 32; ++i)
      if (!IsHex(text_[pos_ + i])) return;
    pos_ += 33;
  }
  std::string_view Rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::string_view> FileLinePath(std::string_view line) {
  Scanner s(line);
  if (!(s.Digits(2) && s.Char('.') && s.Digits(2) && s.Char('.') && s.Digits(4) && s.Char(' ') && s.Digits(2)))
    return std::nullopt;
  s.Separator();
  if (!s.Digits(2)) return std::nullopt;
  s.Separator();
  if (!(s.Digits(2) && s.Char(' ') && s.DigitRun() >= 10 && s.Literal(" Bytes ") && s.Attributes() && s.Char(' ')))
    return std::nullopt;
  s.OptionalDigest();
  const std::string_view path = s.Rest();
  if (path.empty()) return std::nullopt;
  return path;
}

std::optional<std::string_view> KeyOf(std::string_view line) {
  if (const auto path = FileLinePath(line)) {
    const bool driveLetter =
        path->size() >= 2 && std::isalpha(static_cast<unsigned char>((*path)[0])) && (*path)[1] == ':';
    return driveLetter ? path->substr(1) : *path;
  }
  const auto colon = line.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  return line.substr(colon);
}

std::optional<long long> ReadFileCount(std::string_view lastLine) {
  // Each blank of the pattern matches any run of white space, none included.
  std::size_t pos = 0;
  const auto skipSpace = [&] {
    while (pos < lastLine.size() && IsSpace(lastLine[pos])) ++pos;
  };
  bool first = true;
  for (const std::string_view word : {"Number", "of", "Files", "="}) {
    if (!first) skipSpace();
    first = false;
    if (lastLine.substr(pos, word.size()) != word) return std::nullopt;
    pos += word.size();
  }
  skipSpace();
  bool negative = false;
  if (pos < lastLine.size() && (lastLine[pos] == '+' || lastLine[pos] == '-')) negative = lastLine[pos++] == '-';
  long long value = 0;
  std::size_t digits = 0;
  for (; pos < lastLine.size() && IsDigit(lastLine[pos]); ++pos, ++digits) {
    if (value > 1'000'000'000'000LL) return std::nullopt;  // far beyond any pane
    value = value * 10 + (lastLine[pos] - '0');
  }
  if (digits == 0) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace ComparisonKey
