#include "platform/Md5Lanes.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

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

constexpr Md5Kernel kKernels[] = {Md5Kernel::Scalar, Md5Kernel::Sse2, Md5Kernel::Avx2, Md5Kernel::Avx512};

// One block in each of its lanes (blocks[0], blocks[1], ...; one lane for the
// scalar kernel), count times.
void RunKernel(Md5Kernel kernel, std::uint32_t* state, const unsigned char* const* blocks, std::size_t count) {
  switch (kernel) {
    case Md5Kernel::Scalar: {
      std::uint32_t one[4] = {state[0], state[kMd5StateStride], state[2 * kMd5StateStride], state[3 * kMd5StateStride]};
      Md5BlocksScalar(one, blocks[0], count);
      for (std::size_t k = 0; k < 4; ++k) state[k * kMd5StateStride] = one[k];
      break;
    }
    case Md5Kernel::Sse2: Md5BlocksSse2(state, blocks, count); break;
    case Md5Kernel::Avx2: Md5BlocksAvx2(state, blocks, count); break;
    case Md5Kernel::Avx512: Md5BlocksAvx512(state, blocks, count); break;
  }
}

// What one block in every lane costs each kernel the CPU has, in seconds,
// measured once: the cheapest of a few runs over blocks in the cache.
const std::array<double, 4>& StepCosts() {
  static const std::array<double, 4> costs = [] {
    constexpr std::size_t kBlocks = 64;
    std::array<double, 4> measured;
    std::vector<unsigned char> data(Md5Lanes::kSlots * kBlocks * 64, 0x5a);
    const unsigned char* blocks[Md5Lanes::kSlots];
    for (std::size_t lane = 0; lane < Md5Lanes::kSlots; ++lane) blocks[lane] = data.data() + lane * kBlocks * 64;
    for (const Md5Kernel kernel : kKernels) {
      measured[static_cast<std::size_t>(kernel)] = std::numeric_limits<double>::infinity();
      if (!Md5Lanes::Supported(kernel)) continue;
      std::uint32_t state[4 * kMd5StateStride] = {};
      for (int run = 0; run < 8; ++run) {
        const auto start = std::chrono::steady_clock::now();
        RunKernel(kernel, state, blocks, kBlocks);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        // The first run warms the caches up.
        if (run > 0)
          measured[static_cast<std::size_t>(kernel)] = std::min(measured[static_cast<std::size_t>(kernel)], took.count() / kBlocks);
      }
    }
    return measured;
  }();
  return costs;
}

double StepCost(Md5Kernel kernel) { return StepCosts()[static_cast<std::size_t>(kernel)]; }

}  // namespace

bool Md5Lanes::KernelForced() {
  const char* forced = std::getenv("QUILLON_MD5_KERNEL");
  return forced != nullptr && Name(ChosenKernel()) == forced;
}

std::optional<std::string> Md5Lanes::KernelProblem() {
  const char* forced = std::getenv("QUILLON_MD5_KERNEL");
  if (forced == nullptr) return std::nullopt;
  const std::string set = std::string("QUILLON_MD5_KERNEL=") + forced;
  std::string kernels;
  for (const Md5Kernel kernel : kKernels) {
    if (Name(kernel) == forced)
      return Supported(kernel) ? std::nullopt
                               : std::optional<std::string>(set + " names a kernel this CPU lacks; the automatic choice is used");
    kernels += (kernels.empty() ? "" : ", ") + std::string(Name(kernel));
  }
  return set + " names no kernel; the kernels are " + kernels + "; the automatic choice is used";
}

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

Md5Lanes::Md5Lanes(Md5Kernel kernel, bool narrower)
    : kernel_(Supported(kernel) ? kernel : Md5Kernel::Scalar),
      width_(Width(kernel_)),
      kernelFor_() {
  for (std::size_t busy = 0; busy <= kSlots; ++busy) {
    kernelFor_[busy] = busy < FewestLanes(kernel_) ? Md5Kernel::Scalar : kernel_;
    if (!narrower || width_ == 1) continue;
    // The kernel that hashes the busy slots at the least cost: the group's
    // own, a narrower one, or none (one slot after another).
    double least = StepCost(kernel_);
    kernelFor_[busy] = kernel_;
    for (const Md5Kernel other : kKernels) {
      const std::size_t lanes = Width(other);
      if (lanes >= width_) continue;
      const double cost = StepCost(other) * static_cast<double>((busy + lanes - 1) / lanes);
      if (cost < least) {
        least = cost;
        kernelFor_[busy] = other;
      }
    }
  }
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
    const Md5Kernel kernel = kernelFor_[busy];
    if (kernel == Md5Kernel::Scalar) {
      for (std::size_t lane = 0; lane < width; ++lane) HashAlone(first + lane);
      return;
    }
    if (kernel != kernel_) {
      std::size_t busySlots[kSlots];
      std::size_t n = 0;
      for (std::size_t lane = 0; lane < width; ++lane)
        if (slots_[first + lane].Pending()) busySlots[n++] = first + lane;
      HashNarrower(kernel, busySlots, n, count);
      if (anyDone) return;  // one of them has used up its piece
      continue;
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
    RunKernel(kernel_, &state_[0][first], blocks, count);
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

void Md5Lanes::HashNarrower(Md5Kernel kernel, const std::size_t* busySlots, std::size_t busy, std::size_t count) {
  const std::size_t lanes = Width(kernel);
  for (std::size_t from = 0; from < busy; from += lanes) {
    // The slots' states side by side in a vector of the narrower kernel;
    // a lane with no slot reads the first slot's blocks, and is dropped.
    alignas(64) std::uint32_t state[4][kMd5StateStride];
    const unsigned char* blocks[kSlots];
    const std::size_t n = std::min(lanes, busy - from);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
      const std::size_t slot = busySlots[from + (lane < n ? lane : 0)];
      const Slot& s = slots_[slot];
      blocks[lane] = s.runs[s.runAt].data;
      for (int k = 0; k < 4; ++k) state[k][lane] = state_[k][slot];
    }
    RunKernel(kernel, &state[0][0], blocks, count);
    for (std::size_t lane = 0; lane < n; ++lane) {
      const std::size_t slot = busySlots[from + lane];
      for (int k = 0; k < 4; ++k) state_[k][slot] = state[k][lane];
      Advance(slots_[slot], count);
    }
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
