#include "surfaces/TextForDisplay.h"

namespace {

// The characters of 0x80 to 0x9F; elsewhere Windows-1252 is Latin-1. The five
// bytes it leaves undefined keep their own code, as Windows maps them.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Decodes one sequence at bytes[at]; returns its length, or 0 when it is not
// valid UTF-8.
std::size_t Decode(std::string_view bytes, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead < 0xE0) {
    length = 2, code = lead & 0x1Fu, smallest = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, code = lead & 0x0Fu, smallest = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4, code = lead & 0x07u, smallest = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(at + i) & 0x3Fu);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0;
  return length;
}

}  // namespace

bool TextForDisplay::IsValidUtf8(std::string_view bytes) {
  char32_t code = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = Decode(bytes, at, code);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::u16string TextForDisplay::Of(std::string_view bytes) {
  if (!IsValidUtf8(bytes)) return FromWindows1252(bytes);
  std::u16string text;
  text.reserve(bytes.size());
  char32_t code = 0;
  for (std::size_t at = 0; at < bytes.size();) {
    at += Decode(bytes, at, code);
    if (code < 0x10000) {
      text += static_cast<char16_t>(code);
    } else {
      code -= 0x10000;
      text += static_cast<char16_t>(0xD800 + (code >> 10));
      text += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
  }
  return text;
}

std::u16string TextForDisplay::FromWindows1252(std::string_view bytes) {
  std::u16string text(bytes.size(), u'\0');
  auto out = text.begin();
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    *out++ = (byte >= 0x80 && byte < 0xA0) ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
  }
  return text;
}
