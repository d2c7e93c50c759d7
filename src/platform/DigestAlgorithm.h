#pragma once

#include <cstddef>
#include <string_view>

// The digests a listing can carry. MD5 is the listing's own; SHA-256 is the
// choice where someone may have prepared files with equal MD5 digests.
enum class DigestAlgorithm { Md5, Sha256 };

// Digest bytes, and the hexadecimal digits of its text.
constexpr std::size_t DigestBytesOf(DigestAlgorithm algorithm) { return algorithm == DigestAlgorithm::Sha256 ? 32 : 16; }
constexpr std::size_t DigestDigitsOf(DigestAlgorithm algorithm) { return 2 * DigestBytesOf(algorithm); }
constexpr std::size_t kMaxDigestDigits = 64;

// "md5" or "sha256", as records and the digest cache name them.
constexpr std::string_view DigestNameOf(DigestAlgorithm algorithm) {
  return algorithm == DigestAlgorithm::Sha256 ? "sha256" : "md5";
}
