// Built with -mavx2 (see CMakeLists.txt); called only where the CPU has AVX2.
#include <immintrin.h>

#include "platform/Md5Kernels.h"
#include "platform/Md5LaneRounds.h"

namespace {

struct Avx2Ops {
  using Vec = __m256i;
  static Vec Add(Vec x, Vec y) { return _mm256_add_epi32(x, y); }
  static Vec Const(std::uint32_t k) { return _mm256_set1_epi32(static_cast<int>(k)); }
  template <int s>
  static Vec Rotl(Vec x) {
    return _mm256_or_si256(_mm256_slli_epi32(x, s), _mm256_srli_epi32(x, 32 - s));
  }
  static Vec F(Vec b, Vec c, Vec d) { return _mm256_xor_si256(d, _mm256_and_si256(b, _mm256_xor_si256(c, d))); }
  static Vec G(Vec b, Vec c, Vec d) { return _mm256_xor_si256(c, _mm256_and_si256(d, _mm256_xor_si256(b, c))); }
  static Vec H(Vec b, Vec c, Vec d) { return _mm256_xor_si256(_mm256_xor_si256(b, c), d); }
  static Vec I(Vec b, Vec c, Vec d) {
    return _mm256_xor_si256(c, _mm256_or_si256(b, _mm256_xor_si256(d, _mm256_set1_epi32(-1))));
  }
};

// Words 8h .. 8h+7 of the 8 lanes, turned so that each vector holds one word of every lane.
inline void Transpose(const unsigned char* const blocks[8], int h, __m256i m[16]) {
  __m256i r[8], t[8], u[8];
  for (int lane = 0; lane < 8; ++lane)
    r[lane] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blocks[lane] + 32 * h));
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm256_unpackhi_epi32(r[i], r[i + 1]);
  }
  // u[4g + c]: in each 128-bit half L, column 4L + c of lanes 4g .. 4g+3.
  for (int g = 0; g < 2; ++g) {
    u[4 * g + 0] = _mm256_unpacklo_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 1] = _mm256_unpackhi_epi64(t[4 * g], t[4 * g + 2]);
    u[4 * g + 2] = _mm256_unpacklo_epi64(t[4 * g + 1], t[4 * g + 3]);
    u[4 * g + 3] = _mm256_unpackhi_epi64(t[4 * g + 1], t[4 * g + 3]);
  }
  for (int c = 0; c < 4; ++c) {
    m[8 * h + c] = _mm256_permute2x128_si256(u[c], u[4 + c], 0x20);
    m[8 * h + 4 + c] = _mm256_permute2x128_si256(u[c], u[4 + c], 0x31);
  }
}

}  // namespace

void Md5BlocksAvx2(std::uint32_t* state, const unsigned char* const blocks[8], std::size_t count) {
  __m256i s[4];
  for (int k = 0; k < 4; ++k)
    s[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(state + k * kMd5StateStride));
  const unsigned char* at[8];
  for (int lane = 0; lane < 8; ++lane) at[lane] = blocks[lane];
  for (; count > 0; --count) {
    __m256i m[16];
    Transpose(at, 0, m);
    Transpose(at, 1, m);
    Md5LaneRounds<Avx2Ops>(s, m);
    for (auto& lane : at) lane += 64;
  }
  for (int k = 0; k < 4; ++k) _mm256_storeu_si256(reinterpret_cast<__m256i*>(state + k * kMd5StateStride), s[k]);
}
