#include <cstring>

#ifndef _WIN32
#ifndef OPENSSL_SUPPRESS_DEPRECATED
#define OPENSSL_SUPPRESS_DEPRECATED
#endif
#include <openssl/md5.h>
#endif

#include "platform/Md5Kernels.h"
#include "platform/Md5LaneRounds.h"

namespace {

// The rounds over a single 32-bit word: one lane.
struct ScalarOps {
  using Vec = std::uint32_t;
  static Vec Add(Vec x, Vec y) { return x + y; }
  static Vec Const(std::uint32_t k) { return k; }
  template <int s>
  static Vec Rotl(Vec x) {
    return (x << s) | (x >> (32 - s));
  }
  static Vec F(Vec b, Vec c, Vec d) { return d ^ (b & (c ^ d)); }
  static Vec G(Vec b, Vec c, Vec d) { return c ^ (d & (b ^ c)); }
  static Vec H(Vec b, Vec c, Vec d) { return b ^ c ^ d; }
  static Vec I(Vec b, Vec c, Vec d) { return c ^ (b | ~d); }
};

}  // namespace

void Md5BlocksScalar(std::uint32_t state[4], const unsigned char* data, std::size_t count) {
#ifndef _WIN32
  // OpenSSL's block function, hand-scheduled, is about a tenth faster than
  // ours: given whole blocks and nothing held, MD5_Update runs it on them
  // directly.
  MD5_CTX context{};
  context.A = state[0];
  context.B = state[1];
  context.C = state[2];
  context.D = state[3];
  MD5_Update(&context, data, count * 64);
  state[0] = context.A;
  state[1] = context.B;
  state[2] = context.C;
  state[3] = context.D;
  return;
#endif
  for (; count > 0; --count, data += 64) {
    std::uint32_t m[16];
    // The words are little-endian, as on every system this builds for.
    std::memcpy(m, data, sizeof m);
    Md5LaneRounds<ScalarOps>(state, m);
  }
}
