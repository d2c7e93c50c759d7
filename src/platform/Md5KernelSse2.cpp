// Built with SSE2 only (see CMakeLists.txt): the baseline of every x86-64.
#include <emmintrin.h>

#include "platform/Md5Kernels.h"
#include "platform/Md5LaneRounds.h"

namespace {

struct Sse2Ops {
  using Vec = __m128i;
  static Vec Add(Vec x, Vec y) { return _mm_add_epi32(x, y); }
  static Vec Const(std::uint32_t k) { return _mm_set1_epi32(static_cast<int>(k)); }
  template <int s>
  static Vec Rotl(Vec x) {
    return _mm_or_si128(_mm_slli_epi32(x, s), _mm_srli_epi32(x, 32 - s));
  }
  static Vec F(Vec b, Vec c, Vec d) { return _mm_xor_si128(d, _mm_and_si128(b, _mm_xor_si128(c, d))); }
  static Vec G(Vec b, Vec c, Vec d) { return _mm_xor_si128(c, _mm_and_si128(d, _mm_xor_si128(b, c))); }
  static Vec H(Vec b, Vec c, Vec d) { return _mm_xor_si128(_mm_xor_si128(b, c), d); }
  static Vec I(Vec b, Vec c, Vec d) {
    return _mm_xor_si128(c, _mm_or_si128(b, _mm_xor_si128(d, _mm_set1_epi32(-1))));
  }
};

// Words 4q .. 4q+3 of the 4 lanes, turned so that each vector holds one word of every lane.
inline void Transpose(const unsigned char* const blocks[4], int q, __m128i m[16]) {
  const auto row = [&](int lane) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks[lane] + 16 * q)); };
  const __m128i t0 = _mm_unpacklo_epi32(row(0), row(1)), t1 = _mm_unpackhi_epi32(row(0), row(1));
  const __m128i t2 = _mm_unpacklo_epi32(row(2), row(3)), t3 = _mm_unpackhi_epi32(row(2), row(3));
  m[4 * q + 0] = _mm_unpacklo_epi64(t0, t2);
  m[4 * q + 1] = _mm_unpackhi_epi64(t0, t2);
  m[4 * q + 2] = _mm_unpacklo_epi64(t1, t3);
  m[4 * q + 3] = _mm_unpackhi_epi64(t1, t3);
}

}  // namespace

void Md5BlocksSse2(std::uint32_t* state, const unsigned char* const blocks[4], std::size_t count) {
  __m128i s[4];
  for (int k = 0; k < 4; ++k) s[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + k * kMd5StateStride));
  const unsigned char* at[4] = {blocks[0], blocks[1], blocks[2], blocks[3]};
  for (; count > 0; --count) {
    __m128i m[16];
    for (int q = 0; q < 4; ++q) Transpose(at, q, m);
    Md5LaneRounds<Sse2Ops>(s, m);
    for (auto& lane : at) lane += 64;
  }
  for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(state + k * kMd5StateStride), s[k]);
}
