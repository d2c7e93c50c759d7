// Random sets of messages through the multi-lane MD5 engine, with every
// kernel this CPU has, each digest checked against one-stream MD5. The input
// is cut into messages by its own bytes: a byte b starts a message of b * 5
// bytes (less at the end of the input); the pieces each message is fed in,
// the rounds a slot sits out, and whether a round hashes all or some of what
// was fed, come from a generator seeded by the input.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "platform/Md5Lanes.h"
#include "platform/Vexmd5.h"

namespace {

struct Message {
  const unsigned char* data;
  std::size_t size;
};

void ReferenceDigest(const Message& message, unsigned char digest[16]) {
  md5_context context;
  md5_starts(&context);
  md5_update(&context, message.data, static_cast<std::uint32_t>(message.size));
  md5_finish(&context, digest);
}

void CheckKernel(Md5Kernel kernel, const std::vector<Message>& messages, std::uint32_t seed) {
  std::minstd_rand random(seed);
  Md5Lanes lanes(kernel, (seed & 1) != 0);
  struct Busy {
    std::size_t message = 0, at = 0;
    bool active = false;
  };
  std::array<Busy, Md5Lanes::kSlots> slots{};
  std::size_t next = 0, done = 0;
  while (done < messages.size()) {
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
      Busy& busy = slots[slot];
      if (!busy.active && next < messages.size()) {
        lanes.Start(slot);
        busy = Busy{next++, 0, true};
      }
      if (!busy.active || !lanes.Hungry(slot) || random() % 5 == 0) continue;
      const Message& message = messages[busy.message];
      const std::size_t piece = std::min<std::size_t>(message.size - busy.at, random() % 200);
      lanes.Feed(slot, message.data + busy.at, piece, busy.at + piece == message.size);
      busy.at += piece;
    }
    if (random() % 3 == 0)
      lanes.Hash();
    else
      lanes.HashSome();
    for (Busy& busy : slots) {
      const auto slot = static_cast<std::size_t>(&busy - slots.data());
      if (!busy.active || !lanes.Ended(slot)) continue;
      unsigned char digest[16], expected[16];
      lanes.Digest(slot, digest);
      ReferenceDigest(messages[busy.message], expected);
      if (std::memcmp(digest, expected, 16) != 0) std::abort();
      busy.active = false;
      ++done;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Message> messages;
  for (std::size_t at = 0; at < size;) {
    const std::size_t length = std::min<std::size_t>(data[at] * 5u, size - at - 1);
    messages.push_back(Message{data + at + 1, length});
    at += 1 + length;
  }
  for (Md5Kernel kernel : {Md5Kernel::Scalar, Md5Kernel::Sse2, Md5Kernel::Avx2, Md5Kernel::Avx512})
    if (Md5Lanes::Supported(kernel)) CheckKernel(kernel, messages, static_cast<std::uint32_t>(size));
  return 0;
}
