#pragma once

#include <cstdint>

#ifdef _WIN32
// MD5 digests (RFC 1321) in the form the listing drives them, over the
// system's own cryptography (CNG); the context holds the open hash.
struct md5_context {
  void* hash = nullptr;
};
#else
// Suppresses OpenSSL's deprecation of the plain MD5 calls; they are the
// cheapest way to feed many small blocks.
#ifndef OPENSSL_SUPPRESS_DEPRECATED
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/md5.h>

// MD5 digests (RFC 1321) in the form the listing drives them.
struct md5_context {
  MD5_CTX state;
};
#endif

void md5_starts(md5_context* ctx);
void md5_update(md5_context* ctx, const unsigned char* input, std::uint32_t length);
// Writes the 16 digest bytes; 16 zero bytes where the system could not make the digest.
void md5_finish(md5_context* ctx, unsigned char digest[16]);
// Writes 32 lower-case hexadecimal digits and a terminating zero byte.
void md5_toHexStr(char* text, const unsigned char digest[16]);
