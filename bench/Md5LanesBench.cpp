// Throughput of the multi-lane MD5 engine on one core:
//   quillon_md5_lanes_bench KERNEL STREAMS BYTES [SECONDS]
// KERNEL is scalar, sse2, avx2, avx512, or auto for the one a listing uses.
// hashes STREAMS messages of BYTES each, over and over for about SECONDS
// of CPU time (default 1), 16 at a time, each lane taking the next message
// when its own ends, and prints the kernel that ran and GB/s (10^9 bytes per
// second) of CPU time, which other work on the machine does not dilute.
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Md5Lanes.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s scalar|sse2|avx2|avx512|auto STREAMS BYTES [SECONDS]\n", argv[0]);
    return 2;
  }
  Md5Kernel kernel = Md5Lanes::ChosenKernel();
  for (Md5Kernel k : {Md5Kernel::Scalar, Md5Kernel::Sse2, Md5Kernel::Avx2, Md5Kernel::Avx512})
    if (Md5Lanes::Name(k) == argv[1]) kernel = k;
  if (!Md5Lanes::Supported(kernel)) {
    std::printf("%s: not on this CPU\n", argv[1]);
    return 0;
  }
  const std::size_t streams = std::strtoull(argv[2], nullptr, 10);
  const std::size_t bytes = std::strtoull(argv[3], nullptr, 10);
  const double seconds = argc > 4 ? std::atof(argv[4]) : 1.0;
  // Each message has a buffer of its own, as each file has.
  std::vector<std::vector<unsigned char>> messages(streams, std::vector<unsigned char>(bytes));
  for (std::size_t i = 0; i < streams; ++i)
    for (std::size_t j = 0; j < bytes; ++j) messages[i][j] = static_cast<unsigned char>(i * 31 + j);

  // auto: as a listing hashes, narrower kernels taking few busy lanes.
  Md5Lanes lanes(kernel, std::string_view(argv[1]) == "auto");
  unsigned sink = 0;
  std::size_t rounds = 0;
  const std::clock_t start = std::clock();
  double elapsed = 0;
  do {
    for (std::size_t first = 0; first < streams; first += Md5Lanes::kSlots) {
      const std::size_t count = std::min(Md5Lanes::kSlots, streams - first);
      for (std::size_t slot = 0; slot < count; ++slot) {
        lanes.Start(slot);
        lanes.Feed(slot, messages[first + slot].data(), bytes, true);
      }
      lanes.Hash();
      for (std::size_t slot = 0; slot < count; ++slot) {
        unsigned char digest[16];
        lanes.Digest(slot, digest);
        sink += digest[0];
      }
    }
    ++rounds;
    elapsed = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  } while (elapsed < seconds);
  std::printf("%s %zu x %zu: %.2f GB/s (%u)\n", std::string(Md5Lanes::Name(lanes.Kernel())).c_str(), streams, bytes,
              static_cast<double>(rounds * streams * bytes) / elapsed / 1e9, sink % 2);
  return 0;
}
