// Built with -mavx512f (see CMakeLists.txt); called only where the CPU has AVX-512F.
// g++ 12 reports false "may be used uninitialized" warnings inside its own
// AVX-512 header (GCC bug 105593); every other warning stays on.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ < 13
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "platform/Md5Kernels.h"
#include "platform/Md5LaneRounds.h"

namespace {

// The four functions of MD5 are one ternary-logic instruction each, with b, c
// and d as the truth-table inputs 0xF0, 0xCC and 0xAA.
struct Avx512Ops {
  using Vec = __m512i;
  static Vec Add(Vec x, Vec y) { return _mm512_add_epi32(x, y); }
  static Vec Const(std::uint32_t k) { return _mm512_set1_epi32(static_cast<int>(k)); }
  template <int s>
  static Vec Rotl(Vec x) {
    return _mm512_rol_epi32(x, s);
  }
  static Vec F(Vec b, Vec c, Vec d) { return _mm512_ternarylogic_epi32(b, c, d, 0xCA); }
  static Vec G(Vec b, Vec c, Vec d) { return _mm512_ternarylogic_epi32(b, c, d, 0xE4); }
  static Vec H(Vec b, Vec c, Vec d) { return _mm512_ternarylogic_epi32(b, c, d, 0x96); }
  static Vec I(Vec b, Vec c, Vec d) { return _mm512_ternarylogic_epi32(b, c, d, 0x39); }
};

// The 16 words of the 16 lanes, turned so that each vector holds one word of every lane.
inline void Transpose(const unsigned char* const blocks[16], __m512i m[16]) {
  __m512i r[16], t[16], u[16];
  for (int lane = 0; lane < 16; ++lane) r[lane] = _mm512_loadu_si512(blocks[lane]);
  for (int i = 0; i < 16; i += 2) {
    t[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
  }
  // u[4g + c]: in each 128-bit quarter L, column 4L + c of lanes 4g .. 4g+3.
  for (int g = 0; g < 4; ++g) {
    u[4 * g + 0] = _mm512_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 1] = _mm512_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 2] = _mm512_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
    u[4 * g + 3] = _mm512_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
  }
  for (int c = 0; c < 4; ++c) {
    // Quarters 0 and 1, then 2 and 3, of lanes 0-3 beside 4-7, and of 8-11 beside 12-15.
    const __m512i v0 = _mm512_shuffle_i32x4(u[c], u[4 + c], 0x44), v1 = _mm512_shuffle_i32x4(u[c], u[4 + c], 0xEE);
    const __m512i w0 = _mm512_shuffle_i32x4(u[8 + c], u[12 + c], 0x44);
    const __m512i w1 = _mm512_shuffle_i32x4(u[8 + c], u[12 + c], 0xEE);
    m[c] = _mm512_shuffle_i32x4(v0, w0, 0x88);
    m[4 + c] = _mm512_shuffle_i32x4(v0, w0, 0xDD);
    m[8 + c] = _mm512_shuffle_i32x4(v1, w1, 0x88);
    m[12 + c] = _mm512_shuffle_i32x4(v1, w1, 0xDD);
  }
}

}  // namespace

void Md5BlocksAvx512(std::uint32_t* state, const unsigned char* const blocks[16], std::size_t count) {
  __m512i s[4];
  for (int k = 0; k < 4; ++k) s[k] = _mm512_loadu_si512(state + k * kMd5StateStride);
  const unsigned char* at[16];
  for (int lane = 0; lane < 16; ++lane) at[lane] = blocks[lane];
  for (; count > 0; --count) {
    __m512i m[16];
    Transpose(at, m);
    Md5LaneRounds<Avx512Ops>(s, m);
    for (auto& lane : at) lane += 64;
  }
  for (int k = 0; k < 4; ++k) _mm512_storeu_si512(state + k * kMd5StateStride, s[k]);
}
