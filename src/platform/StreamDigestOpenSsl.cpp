#include <openssl/evp.h>

#include "platform/StreamDigest.h"

namespace {
EVP_MD_CTX* Context(void* state) { return static_cast<EVP_MD_CTX*>(state); }
}  // namespace

void StreamDigest::StartSha256() {
  // The algorithm is looked up once, with the context; every later file
  // starts again with what the context holds, which costs no lookup.
  if (sha256_ != nullptr && EVP_DigestInit_ex2(Context(sha256_), nullptr, nullptr) == 1) return;
  FreeSha256();
  sha256_ = EVP_MD_CTX_new();
  if (sha256_ != nullptr && EVP_DigestInit_ex2(Context(sha256_), EVP_sha256(), nullptr) != 1) FreeSha256();
}

void StreamDigest::UpdateSha256(const unsigned char* input, std::size_t length) {
  if (sha256_ != nullptr && EVP_DigestUpdate(Context(sha256_), input, length) != 1) FreeSha256();
}

bool StreamDigest::FinishSha256(unsigned char digest[32]) {
  unsigned int size = 0;
  return sha256_ != nullptr && EVP_DigestFinal_ex(Context(sha256_), digest, &size) == 1 && size == 32;
}

void StreamDigest::FreeSha256() {
  EVP_MD_CTX_free(Context(sha256_));
  sha256_ = nullptr;
}
