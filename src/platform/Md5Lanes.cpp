#include "platform/Md5Lanes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/Md5Kernels.h"

namespace {

constexpr std::uint32_t kInitialState[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

// The number of busy lanes from which a vector beats hashing them one by
// one, measured on AMD Zen 4 (bench/md5_lanes_bench.sh): one block of every
// lane costs each vector kernel less than two blocks of one stream (SSE2
// 1.6, AVX2 1.5, AVX-512 1.9).
std::size_t FewestLanes(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::Sse2:
    case Md5Kernel::Avx2:
    case Md5Kernel::Avx512: return 2;
    case Md5Kernel::Scalar: break;
  }
  return Md5Lanes::kSlots + 1;
}

}  // namespace

bool Md5Lanes::Supported(Md5Kernel kernel) {
#if defined(__x86_64__) || defined(__i386__)
  switch (kernel) {
    case Md5Kernel::Scalar: return true;
    case Md5Kernel::Sse2: return __builtin_cpu_supports("sse2");
    case Md5Kernel::Avx2: return __builtin_cpu_supports("avx2");
    case Md5Kernel::Avx512: return __builtin_cpu_supports("avx512f");
  }
  return false;
#else
  return kernel == Md5Kernel::Scalar;
#endif
}

Md5Kernel Md5Lanes::ChosenKernel() {
  // Read once: the CPU does not change, nor does the environment matter later.
  static const Md5Kernel chosen = [] {
    constexpr Md5Kernel kFastestFirst[] = {Md5Kernel::Avx512, Md5Kernel::Avx2, Md5Kernel::Sse2, Md5Kernel::Scalar};
    if (const char* forced = std::getenv("QUILLON_MD5_KERNEL")) {
      for (Md5Kernel kernel : kFastestFirst)
        if (Name(kernel) == forced && Supported(kernel)) return kernel;
    }
    for (Md5Kernel kernel : kFastestFirst)
      if (Supported(kernel)) return kernel;
    return Md5Kernel::Scalar;
  }();
  return chosen;
}

std::string_view Md5Lanes::Name(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::Scalar: return "scalar";
    case Md5Kernel::Sse2: return "sse2";
    case Md5Kernel::Avx2: return "avx2";
    case Md5Kernel::Avx512: return "avx512";
  }
  return "scalar";
}

std::size_t Md5Lanes::Width(Md5Kernel kernel) {
  switch (kernel) {
    case Md5Kernel::Sse2: return 4;
    case Md5Kernel::Avx2: return 8;
    case Md5Kernel::Avx512: return 16;
    case Md5Kernel::Scalar: break;
  }
  return 1;
}

Md5Lanes::Md5Lanes(Md5Kernel kernel)
    : kernel_(Supported(kernel) ? kernel : Md5Kernel::Scalar),
      width_(Width(kernel_)),
      fewestLanes_(FewestLanes(kernel_)) {
  for (std::size_t slot = 0; slot < kSlots; ++slot) Start(slot);
}

void Md5Lanes::Start(std::size_t slot) {
  for (int k = 0; k < 4; ++k) state_[k][slot] = kInitialState[k];
  Slot& s = slots_[slot];
  s.size = 0;
  s.held = 0;
  s.runCount = s.runAt = 0;
  s.ending = s.ended = false;
}

void Md5Lanes::Feed(std::size_t slot, const unsigned char* data, std::size_t size, bool last) {
  Slot& s = slots_[slot];
  s.runCount = s.runAt = 0;
  s.size += size;
  // A partial block held from before is completed first, in a copy of its
  // own, since partial takes the end of this piece.
  if (s.held > 0) {
    const std::size_t take = std::min(size, 64 - s.held);
    if (take > 0) std::memcpy(s.partial + s.held, data, take);
    s.held += take;
    data += take;
    size -= take;
    if (s.held == 64) {
      std::memcpy(s.carry, s.partial, 64);
      s.runs[s.runCount++] = Run{s.carry, 1};
      s.held = 0;
    }
  }
  if (size >= 64) {
    s.runs[s.runCount++] = Run{data, size / 64};
    data += size / 64 * 64;
    size %= 64;
  }
  if (size > 0) {
    std::memcpy(s.partial, data, size);
    s.held = size;
  }
  if (!last) return;
  // The tail: the bytes left, a 1 bit, zeros, and the length in bits as 64
  // bits little-endian, filling one block or two.
  const std::size_t tailBlocks = s.held + 1 + 8 <= 64 ? 1 : 2;
  std::memset(s.tail, 0, sizeof s.tail);
  if (s.held > 0) std::memcpy(s.tail, s.partial, s.held);
  s.tail[s.held] = 0x80;
  const std::uint64_t bits = s.size * 8;
  for (int i = 0; i < 8; ++i) s.tail[tailBlocks * 64 - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
  s.runs[s.runCount++] = Run{s.tail, tailBlocks};
  s.held = 0;
  s.ending = true;
}

void Md5Lanes::HashUntil(bool anyDone) {
  if (width_ > 1) {
    for (std::size_t first = 0; first < kSlots; first += width_) HashGroup(first, width_, anyDone);
  } else {
    for (std::size_t slot = 0; slot < kSlots; ++slot) HashAlone(slot);
  }
}

void Md5Lanes::HashGroup(std::size_t first, std::size_t width, bool anyDone) {
  const unsigned char* blocks[kSlots];
  std::uint32_t idleState[4][kSlots];
  for (;;) {
    // As many blocks as every busy lane has left in its current run.
    std::size_t busy = 0;
    std::size_t count = SIZE_MAX;
    for (std::size_t lane = 0; lane < width; ++lane) {
      const Slot& s = slots_[first + lane];
      if (!s.Pending()) continue;
      ++busy;
      count = std::min(count, s.runs[s.runAt].blocks);
    }
    if (busy == 0) return;
    if (busy < fewestLanes_) {
      for (std::size_t lane = 0; lane < width; ++lane) HashAlone(first + lane);
      return;
    }
    // An idle lane reads the blocks of a busy one, as many as that has.
    const unsigned char* idleBlocks = nullptr;
    for (std::size_t lane = 0; lane < width && idleBlocks == nullptr; ++lane) {
      const Slot& s = slots_[first + lane];
      if (s.Pending()) idleBlocks = s.runs[s.runAt].data;
    }
    for (std::size_t lane = 0; lane < width; ++lane) {
      const Slot& s = slots_[first + lane];
      blocks[lane] = s.Pending() ? s.runs[s.runAt].data : idleBlocks;
      // An idle lane's state is kept aside and put back: the vector changes it.
      if (!s.Pending())
        for (int k = 0; k < 4; ++k) idleState[k][lane] = state_[k][first + lane];
    }
    switch (kernel_) {
      case Md5Kernel::Sse2: Md5BlocksSse2(&state_[0][first], blocks, count); break;
      case Md5Kernel::Avx2: Md5BlocksAvx2(&state_[0][first], blocks, count); break;
      case Md5Kernel::Avx512: Md5BlocksAvx512(&state_[0][first], blocks, count); break;
      case Md5Kernel::Scalar: break;
    }
    bool someDone = false;
    for (std::size_t lane = 0; lane < width; ++lane) {
      Slot& s = slots_[first + lane];
      if (!s.Pending()) {
        for (int k = 0; k < 4; ++k) state_[k][first + lane] = idleState[k][lane];
        continue;
      }
      Advance(s, count);
      someDone = someDone || !s.Pending();
    }
    if (anyDone && someDone) return;
  }
}

void Md5Lanes::HashAlone(std::size_t slot) {
  Slot& s = slots_[slot];
  if (!s.Pending()) return;
  std::uint32_t state[4];
  for (int k = 0; k < 4; ++k) state[k] = state_[k][slot];
  while (s.Pending()) {
    const Run run = s.runs[s.runAt];
    Md5BlocksScalar(state, run.data, run.blocks);
    Advance(s, run.blocks);
  }
  for (int k = 0; k < 4; ++k) state_[k][slot] = state[k];
}

void Md5Lanes::Advance(Slot& slot, std::size_t count) {
  Run& run = slot.runs[slot.runAt];
  run.data += count * 64;
  run.blocks -= count;
  if (run.blocks == 0) ++slot.runAt;
  if (!slot.Pending() && slot.ending) {
    slot.ending = false;
    slot.ended = true;
  }
}

void Md5Lanes::Digest(std::size_t slot, unsigned char digest[16]) const {
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 4; ++i) digest[4 * k + i] = static_cast<unsigned char>(state_[k][slot] >> (8 * i));
}
