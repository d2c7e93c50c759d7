#pragma once

#include <cstddef>

#include "platform/DigestAlgorithm.h"
#include "platform/Vexmd5.h"

// The digest of one stream of bytes, fed block by block, for any algorithm
// the listing knows: MD5 through the listing's own calls, SHA-256 through
// the system's cryptography (libcrypto's EVP, which uses the CPU's SHA
// instructions where it has them; CNG on Windows). One object serves file
// after file.
class StreamDigest {
 public:
  explicit StreamDigest(DigestAlgorithm algorithm);
  ~StreamDigest();
  StreamDigest(const StreamDigest&) = delete;
  StreamDigest& operator=(const StreamDigest&) = delete;

  DigestAlgorithm Algorithm() const { return algorithm_; }
  void Start();
  void Update(const unsigned char* input, std::size_t length);
  // Writes DigestDigitsOf(Algorithm()) lower-case hexadecimal digits, no
  // terminating zero; all "0" where the system could not make the digest.
  void FinishHex(char* text);

 private:
  // The SHA-256 state of the system, made when first started.
  void StartSha256();
  void UpdateSha256(const unsigned char* input, std::size_t length);
  bool FinishSha256(unsigned char digest[32]);
  void FreeSha256();

  DigestAlgorithm algorithm_;
  md5_context md5_{};
  void* sha256_ = nullptr;
};
