#pragma once

#include <optional>
#include <string>
#include <string_view>

// Ed25519 key files in the PEM forms of RFC 8410, byte for byte as OpenSSL
// writes them: a private key as PKCS #8 ("PRIVATE KEY", the 32-byte seed),
// a public key as SubjectPublicKeyInfo ("PUBLIC KEY", the 32-byte point).
// For the build whose cryptography library reads and writes no PEM.
namespace Ed25519Pem {

constexpr std::size_t kKeySize = 32;

std::string PrivateKey(std::string_view seed);
std::string PublicKey(std::string_view point);

// The seed of a private key file's text, or the point of a public key
// file's; nothing when the text holds no such key. A private key may carry
// its public point too (PKCS #8 version 2): it is given back in point.
std::optional<std::string> ReadPrivate(std::string_view text, std::string* point = nullptr);
std::optional<std::string> ReadPublic(std::string_view text);

}  // namespace Ed25519Pem
