#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The instruction sets MD5 can be computed with, many messages at once.
enum class Md5Kernel { Scalar, Sse2, Avx2, Avx512 };

// MD5 (RFC 1321) of up to kSlots independent messages side by side, each in
// a lane of a vector: one round schedule hashes a block of every lane. Each
// slot holds one message, fed piece by piece; once a message has ended, its
// slot takes the next while the others go on.
//
//   lanes.Start(slot);  lanes.Feed(slot, data, size, last);  ...  lanes.Hash();
//   if (lanes.Ended(slot)) lanes.Digest(slot, digest);
//
// HashSome stops as soon as one slot has used up what it was fed, so that it
// can be fed again, or take the next message, while the others keep theirs:
// the lanes stay busy however different the lengths are.
//
// A kernel of 4 or 8 lanes runs the 16 slots in groups. When so few slots of
// a group have blocks left that the vector would do less than one lane on its
// own, those slots are hashed one after the other instead, so that a run of a
// few large messages never falls below the speed of one stream. Where told
// to (narrower), the group's busy slots run instead on whichever kernel of
// the CPU hashes them at the least cost: on some CPUs a vector of 16 lanes
// costs more than one of 8 or 4, which few busy slots fill as well.
class Md5Lanes {
 public:
  static constexpr std::size_t kSlots = 16;

  // The fastest kernel the CPU has, or the one QUILLON_MD5_KERNEL names
  // (scalar, sse2, avx2 or avx512) when the CPU has that one.
  static Md5Kernel ChosenKernel();
  static bool Supported(Md5Kernel kernel);
  static std::string_view Name(Md5Kernel kernel);
  // How many messages the kernel hashes in one vector.
  static std::size_t Width(Md5Kernel kernel);

  // A kernel the CPU lacks is replaced by the scalar one.
  explicit Md5Lanes(Md5Kernel kernel = ChosenKernel(), bool narrower = false);
  // True when QUILLON_MD5_KERNEL names the kernel to use: it alone is then
  // used, as tests and benchmarks want.
  static bool KernelForced();
  // What is wrong with QUILLON_MD5_KERNEL, when it is set to a kernel that
  // is not there or that the CPU lacks: it is then left aside.
  static std::optional<std::string> KernelProblem();
  Md5Kernel Kernel() const { return kernel_; }

  // Begins a new message in slot, dropping what it held.
  void Start(std::size_t slot);
  // The next piece of slot's message, once the piece before is hashed
  // (Hungry); it must stay in place until then. last: the message ends here.
  void Feed(std::size_t slot, const unsigned char* data, std::size_t size, bool last);
  // Hashes every piece fed.
  void Hash() { HashUntil(false); }
  // Hashes until some slot has used up its piece, or none has any left.
  void HashSome() { HashUntil(true); }
  // True when slot has hashed all it was fed and its message goes on.
  bool Hungry(std::size_t slot) const {
    const Slot& s = slots_[slot];
    return !s.Pending() && !s.ending && !s.ended;
  }
  // True once the last piece of slot's message has been hashed.
  bool Ended(std::size_t slot) const { return slots_[slot].ended; }
  // The 16 bytes of the digest of an ended message.
  void Digest(std::size_t slot, unsigned char digest[16]) const;

 private:
  // Blocks of a slot's message that the coming Hash compresses, in order.
  struct Run {
    const unsigned char* data = nullptr;
    std::size_t blocks = 0;
  };
  struct Slot {
    std::uint64_t size = 0;        // bytes of the message fed so far
    std::size_t held = 0;          // bytes of its last partial block, in partial
    unsigned char partial[64];
    unsigned char carry[64];       // the partial block, completed by the latest piece
    unsigned char tail[128];       // the padding and the length, after the last bytes
    std::array<Run, 3> runs;       // carry, the piece's whole blocks, tail
    std::size_t runCount = 0;
    std::size_t runAt = 0;
    bool ending = false;           // its last piece is fed
    bool ended = false;
    bool Pending() const { return runAt < runCount; }
  };

  void HashUntil(bool anyDone);
  // Hashes slots first .. first+width-1 with the vector kernel, until one of
  // them has used up its piece when anyDone is set.
  void HashGroup(std::size_t first, std::size_t width, bool anyDone);
  // Hashes what slot has left on its own.
  void HashAlone(std::size_t slot);
  // Hashes count blocks of the busy slots with kernel, as many at a time as
  // it has lanes.
  void HashNarrower(Md5Kernel kernel, const std::size_t* busySlots, std::size_t busy, std::size_t count);
  // After slot has hashed count blocks of its current run.
  void Advance(Slot& slot, std::size_t count);

  Md5Kernel kernel_;
  std::size_t width_;
  // The kernel a group runs with so many busy lanes; scalar: one slot at a time.
  std::array<Md5Kernel, kSlots + 1> kernelFor_;
  alignas(64) std::uint32_t state_[4][kSlots];
  std::array<Slot, kSlots> slots_{};
};
