#include "platform/WindowsApi.h"

#include <bcrypt.h>

#include <algorithm>
#include <limits>

#include "platform/StreamDigest.h"

namespace {

// The provider is opened once and kept for the life of the process; it is
// only read after that, from any thread.
BCRYPT_ALG_HANDLE Sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = []() -> BCRYPT_ALG_HANDLE {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return nullptr;
    return handle;
  }();
  return provider;
}

}  // namespace

void StreamDigest::StartSha256() {
  FreeSha256();
  const BCRYPT_ALG_HANDLE provider = Sha256Provider();
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (provider != nullptr && BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0)))
    sha256_ = hash;
}

void StreamDigest::UpdateSha256(const unsigned char* input, std::size_t length) {
  constexpr std::size_t kMost = std::numeric_limits<ULONG>::max();
  for (std::size_t done = 0; sha256_ != nullptr && done < length;) {
    const std::size_t part = std::min(length - done, kMost);
    if (!BCRYPT_SUCCESS(BCryptHashData(sha256_, const_cast<PUCHAR>(input + done), static_cast<ULONG>(part), 0)))
      FreeSha256();
    done += part;
  }
}

bool StreamDigest::FinishSha256(unsigned char digest[32]) {
  const bool made = sha256_ != nullptr && BCRYPT_SUCCESS(BCryptFinishHash(sha256_, digest, 32, 0));
  FreeSha256();
  return made;
}

void StreamDigest::FreeSha256() {
  if (sha256_ != nullptr) BCryptDestroyHash(sha256_);
  sha256_ = nullptr;
}
