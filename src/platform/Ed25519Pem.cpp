#include "platform/Ed25519Pem.h"

#include <cstdint>

namespace {

// The DER before the key bytes: a SEQUENCE holding version 0, the algorithm
// id-Ed25519 (1.3.101.112) and the seed as an OCTET STRING in an OCTET STRING.
constexpr std::string_view kPrivatePrefix{"\x30\x2e\x02\x01\x00\x30\x05\x06\x03\x2b\x65\x70\x04\x22\x04\x20", 16};
// Version 1 adds the public point, [1] IMPLICIT BIT STRING, after the seed.
constexpr std::string_view kPrivatePrefixV2{"\x30\x51\x02\x01\x01\x30\x05\x06\x03\x2b\x65\x70\x04\x22\x04\x20", 16};
constexpr std::string_view kPointTag{"\x81\x21\x00", 3};
// A SEQUENCE of the algorithm and the point as a BIT STRING.
constexpr std::string_view kPublicPrefix{"\x30\x2a\x30\x05\x06\x03\x2b\x65\x70\x03\x21\x00", 12};

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64(std::string_view bytes) {
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    std::uint32_t group = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at])) << 16;
    if (at + 1 < bytes.size()) group |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8;
    if (at + 2 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[at + 2]);
    for (std::size_t i = 0; i < 4; ++i) text += at + i <= bytes.size() ? kAlphabet[(group >> (18 - 6 * i)) & 63] : '=';
  }
  return text;
}

// The bytes of base64 text, white space between the characters allowed;
// "=" only as the padding of the last group.
std::optional<std::string> FromBase64(std::string_view text) {
  std::string chars;
  for (const char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') chars += c;
  if (chars.empty() || chars.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && chars[chars.size() - 1 - padding] == '=') ++padding;
  std::string bytes;
  for (std::size_t at = 0; at < chars.size(); at += 4) {
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const bool padded = at + i >= chars.size() - padding;
      const std::size_t value = padded ? 0 : kAlphabet.find(chars[at + i]);
      if (value == std::string_view::npos) return std::nullopt;
      group = group << 6 | static_cast<std::uint32_t>(value);
    }
    const std::size_t count = at + 4 == chars.size() ? 3 - padding : 3;
    for (std::size_t i = 0; i < count; ++i) bytes += static_cast<char>((group >> (16 - 8 * i)) & 0xff);
  }
  return bytes;
}

std::string Pem(std::string_view label, std::string_view der) {
  std::string text = "-----BEGIN " + std::string(label) + "-----\n";
  const std::string body = Base64(der);
  for (std::size_t at = 0; at < body.size(); at += 64) text += body.substr(at, 64) + "\n";
  return text + "-----END " + std::string(label) + "-----\n";
}

// The DER of the first block of that label; text around it is allowed, as
// OpenSSL allows it.
std::optional<std::string> Der(std::string_view text, std::string_view label) {
  const std::string begin = "-----BEGIN " + std::string(label) + "-----";
  const std::string end = "-----END " + std::string(label) + "-----";
  const std::size_t from = text.find(begin);
  if (from == std::string_view::npos) return std::nullopt;
  const std::size_t to = text.find(end, from + begin.size());
  if (to == std::string_view::npos) return std::nullopt;
  return FromBase64(text.substr(from + begin.size(), to - from - begin.size()));
}

}  // namespace

namespace Ed25519Pem {

std::string PrivateKey(std::string_view seed) { return Pem("PRIVATE KEY", std::string(kPrivatePrefix) + std::string(seed)); }

std::string PublicKey(std::string_view point) { return Pem("PUBLIC KEY", std::string(kPublicPrefix) + std::string(point)); }

std::optional<std::string> ReadPrivate(std::string_view text, std::string* point) {
  const std::optional<std::string> der = Der(text, "PRIVATE KEY");
  if (!der) return std::nullopt;
  const std::string_view bytes = *der;
  if (bytes.size() == kPrivatePrefix.size() + kKeySize && bytes.starts_with(kPrivatePrefix))
    return std::string(bytes.substr(kPrivatePrefix.size()));
  const std::size_t pointAt = kPrivatePrefixV2.size() + kKeySize + kPointTag.size();
  if (bytes.size() == pointAt + kKeySize && bytes.starts_with(kPrivatePrefixV2) &&
      bytes.substr(pointAt - kPointTag.size(), kPointTag.size()) == kPointTag) {
    if (point != nullptr) *point = std::string(bytes.substr(pointAt));
    return std::string(bytes.substr(kPrivatePrefixV2.size(), kKeySize));
  }
  return std::nullopt;
}

std::optional<std::string> ReadPublic(std::string_view text) {
  const std::optional<std::string> der = Der(text, "PUBLIC KEY");
  if (!der || der->size() != kPublicPrefix.size() + kKeySize || !std::string_view(*der).starts_with(kPublicPrefix))
    return std::nullopt;
  return der->substr(kPublicPrefix.size());
}

}  // namespace Ed25519Pem
