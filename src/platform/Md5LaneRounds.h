#pragma once

// The 64 steps of MD5 (RFC 1321) over one block of every lane of a vector at
// once, written once for every kernel. Ops, defined in each kernel's own
// translation unit, supplies the vector type and its operations:
//   Vec; Add(x, y); Const(k) (k in every lane); Rotl<s>(x);
//   F(b, c, d), G(b, c, d), H(b, c, d), I(b, c, d) as RFC 1321 defines them.
// m holds the block's 16 words, word j of every lane in m[j]; state the four
// words A, B, C, D of every lane.
template <typename Ops>
inline void Md5LaneRounds(typename Ops::Vec state[4], const typename Ops::Vec m[16]) {
  using Vec = typename Ops::Vec;
  Vec a = state[0], b = state[1], c = state[2], d = state[3];
  // Each step waits on the one before only through x: w + m[k] + t is summed
  // ahead, and kept whole, lest the compiler regroup the additions and put
  // one more of them after the function of x.
#define QUILLON_MD5_STEP(FN, w, x, y, z, k, s, t)                                        \
  {                                                                                      \
    Vec ahead = Ops::Add(w, Ops::Add(m[k], Ops::Const(t)));                              \
    asm("" : "+v"(ahead));                                                               \
    w = Ops::Add(x, Ops::template Rotl<s>(Ops::Add(ahead, Ops::FN(x, y, z))));           \
  }
  QUILLON_MD5_STEP(F, a, b, c, d, 0, 7, 0xd76aa478);
  QUILLON_MD5_STEP(F, d, a, b, c, 1, 12, 0xe8c7b756);
  QUILLON_MD5_STEP(F, c, d, a, b, 2, 17, 0x242070db);
  QUILLON_MD5_STEP(F, b, c, d, a, 3, 22, 0xc1bdceee);
  QUILLON_MD5_STEP(F, a, b, c, d, 4, 7, 0xf57c0faf);
  QUILLON_MD5_STEP(F, d, a, b, c, 5, 12, 0x4787c62a);
  QUILLON_MD5_STEP(F, c, d, a, b, 6, 17, 0xa8304613);
  QUILLON_MD5_STEP(F, b, c, d, a, 7, 22, 0xfd469501);
  QUILLON_MD5_STEP(F, a, b, c, d, 8, 7, 0x698098d8);
  QUILLON_MD5_STEP(F, d, a, b, c, 9, 12, 0x8b44f7af);
  QUILLON_MD5_STEP(F, c, d, a, b, 10, 17, 0xffff5bb1);
  QUILLON_MD5_STEP(F, b, c, d, a, 11, 22, 0x895cd7be);
  QUILLON_MD5_STEP(F, a, b, c, d, 12, 7, 0x6b901122);
  QUILLON_MD5_STEP(F, d, a, b, c, 13, 12, 0xfd987193);
  QUILLON_MD5_STEP(F, c, d, a, b, 14, 17, 0xa679438e);
  QUILLON_MD5_STEP(F, b, c, d, a, 15, 22, 0x49b40821);

  QUILLON_MD5_STEP(G, a, b, c, d, 1, 5, 0xf61e2562);
  QUILLON_MD5_STEP(G, d, a, b, c, 6, 9, 0xc040b340);
  QUILLON_MD5_STEP(G, c, d, a, b, 11, 14, 0x265e5a51);
  QUILLON_MD5_STEP(G, b, c, d, a, 0, 20, 0xe9b6c7aa);
  QUILLON_MD5_STEP(G, a, b, c, d, 5, 5, 0xd62f105d);
  QUILLON_MD5_STEP(G, d, a, b, c, 10, 9, 0x02441453);
  QUILLON_MD5_STEP(G, c, d, a, b, 15, 14, 0xd8a1e681);
  QUILLON_MD5_STEP(G, b, c, d, a, 4, 20, 0xe7d3fbc8);
  QUILLON_MD5_STEP(G, a, b, c, d, 9, 5, 0x21e1cde6);
  QUILLON_MD5_STEP(G, d, a, b, c, 14, 9, 0xc33707d6);
  QUILLON_MD5_STEP(G, c, d, a, b, 3, 14, 0xf4d50d87);
  QUILLON_MD5_STEP(G, b, c, d, a, 8, 20, 0x455a14ed);
  QUILLON_MD5_STEP(G, a, b, c, d, 13, 5, 0xa9e3e905);
  QUILLON_MD5_STEP(G, d, a, b, c, 2, 9, 0xfcefa3f8);
  QUILLON_MD5_STEP(G, c, d, a, b, 7, 14, 0x676f02d9);
  QUILLON_MD5_STEP(G, b, c, d, a, 12, 20, 0x8d2a4c8a);

  QUILLON_MD5_STEP(H, a, b, c, d, 5, 4, 0xfffa3942);
  QUILLON_MD5_STEP(H, d, a, b, c, 8, 11, 0x8771f681);
  QUILLON_MD5_STEP(H, c, d, a, b, 11, 16, 0x6d9d6122);
  QUILLON_MD5_STEP(H, b, c, d, a, 14, 23, 0xfde5380c);
  QUILLON_MD5_STEP(H, a, b, c, d, 1, 4, 0xa4beea44);
  QUILLON_MD5_STEP(H, d, a, b, c, 4, 11, 0x4bdecfa9);
  QUILLON_MD5_STEP(H, c, d, a, b, 7, 16, 0xf6bb4b60);
  QUILLON_MD5_STEP(H, b, c, d, a, 10, 23, 0xbebfbc70);
  QUILLON_MD5_STEP(H, a, b, c, d, 13, 4, 0x289b7ec6);
  QUILLON_MD5_STEP(H, d, a, b, c, 0, 11, 0xeaa127fa);
  QUILLON_MD5_STEP(H, c, d, a, b, 3, 16, 0xd4ef3085);
  QUILLON_MD5_STEP(H, b, c, d, a, 6, 23, 0x04881d05);
  QUILLON_MD5_STEP(H, a, b, c, d, 9, 4, 0xd9d4d039);
  QUILLON_MD5_STEP(H, d, a, b, c, 12, 11, 0xe6db99e5);
  QUILLON_MD5_STEP(H, c, d, a, b, 15, 16, 0x1fa27cf8);
  QUILLON_MD5_STEP(H, b, c, d, a, 2, 23, 0xc4ac5665);

  QUILLON_MD5_STEP(I, a, b, c, d, 0, 6, 0xf4292244);
  QUILLON_MD5_STEP(I, d, a, b, c, 7, 10, 0x432aff97);
  QUILLON_MD5_STEP(I, c, d, a, b, 14, 15, 0xab9423a7);
  QUILLON_MD5_STEP(I, b, c, d, a, 5, 21, 0xfc93a039);
  QUILLON_MD5_STEP(I, a, b, c, d, 12, 6, 0x655b59c3);
  QUILLON_MD5_STEP(I, d, a, b, c, 3, 10, 0x8f0ccc92);
  QUILLON_MD5_STEP(I, c, d, a, b, 10, 15, 0xffeff47d);
  QUILLON_MD5_STEP(I, b, c, d, a, 1, 21, 0x85845dd1);
  QUILLON_MD5_STEP(I, a, b, c, d, 8, 6, 0x6fa87e4f);
  QUILLON_MD5_STEP(I, d, a, b, c, 15, 10, 0xfe2ce6e0);
  QUILLON_MD5_STEP(I, c, d, a, b, 6, 15, 0xa3014314);
  QUILLON_MD5_STEP(I, b, c, d, a, 13, 21, 0x4e0811a1);
  QUILLON_MD5_STEP(I, a, b, c, d, 4, 6, 0xf7537e82);
  QUILLON_MD5_STEP(I, d, a, b, c, 11, 10, 0xbd3af235);
  QUILLON_MD5_STEP(I, c, d, a, b, 2, 15, 0x2ad7d2bb);
  QUILLON_MD5_STEP(I, b, c, d, a, 9, 21, 0xeb86d391);
#undef QUILLON_MD5_STEP
  state[0] = Ops::Add(state[0], a);
  state[1] = Ops::Add(state[1], b);
  state[2] = Ops::Add(state[2], c);
  state[3] = Ops::Add(state[3], d);
}
