#include "platform/WindowsApi.h"

#include <bcrypt.h>

#include <cstring>

#include "platform/Vexmd5.h"

namespace {

// The MD5 provider is opened once and kept for the life of the process; it
// is only read after that, from any thread.
BCRYPT_ALG_HANDLE Md5Provider() {
  static const BCRYPT_ALG_HANDLE provider = []() -> BCRYPT_ALG_HANDLE {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_MD5_ALGORITHM, nullptr, 0))) return nullptr;
    return handle;
  }();
  return provider;
}

}  // namespace

void md5_starts(md5_context* ctx) {
  ctx->hash = nullptr;
  const BCRYPT_ALG_HANDLE provider = Md5Provider();
  if (provider == nullptr) return;
  BCRYPT_HASH_HANDLE hash = nullptr;
  // Without a buffer of ours the provider keeps the hash object itself.
  if (BCRYPT_SUCCESS(BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) ctx->hash = hash;
}

void md5_update(md5_context* ctx, const unsigned char* input, std::uint32_t length) {
  if (ctx->hash == nullptr || length == 0) return;
  if (!BCRYPT_SUCCESS(BCryptHashData(ctx->hash, const_cast<PUCHAR>(input), length, 0))) {
    BCryptDestroyHash(ctx->hash);
    ctx->hash = nullptr;
  }
}

void md5_finish(md5_context* ctx, unsigned char digest[16]) {
  std::memset(digest, 0, 16);
  if (ctx->hash == nullptr) return;
  if (!BCRYPT_SUCCESS(BCryptFinishHash(ctx->hash, digest, 16, 0))) std::memset(digest, 0, 16);
  BCryptDestroyHash(ctx->hash);
  ctx->hash = nullptr;
}
