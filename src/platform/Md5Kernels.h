#pragma once

#include <cstddef>
#include <cstdint>

// The block functions of MD5 (RFC 1321) that Md5Lanes drives. Each vector
// kernel lives in a translation unit of its own, built for its instruction
// set, and may be called only where the CPU has that set.
//
// A vector kernel compresses count blocks of 64 bytes in each of its lanes
// at once: lane l reads blocks[l], blocks[l] + 64, ... in turn. Word k (A, B,
// C, D) of lane l is state[k * kMd5StateStride + l].
constexpr std::size_t kMd5StateStride = 16;

// One lane: state is A, B, C, D; data holds count blocks.
void Md5BlocksScalar(std::uint32_t state[4], const unsigned char* data, std::size_t count);
// 4 lanes.
void Md5BlocksSse2(std::uint32_t* state, const unsigned char* const blocks[4], std::size_t count);
// 8 lanes.
void Md5BlocksAvx2(std::uint32_t* state, const unsigned char* const blocks[8], std::size_t count);
// 16 lanes.
void Md5BlocksAvx512(std::uint32_t* state, const unsigned char* const blocks[16], std::size_t count);
