#include <array>
#include <random>

#include "TestSupport.h"
#include "platform/Md5Lanes.h"
#include "platform/Vexmd5.h"

namespace {

std::string Hex(const unsigned char digest[16]) {
  char text[33];
  md5_toHexStr(text, digest);
  return text;
}

// The digest of the one-stream MD5 that the lanes must equal.
std::string ReferenceMd5(const std::string& data) {
  md5_context context;
  md5_starts(&context);
  md5_update(&context, reinterpret_cast<const unsigned char*>(data.data()), static_cast<std::uint32_t>(data.size()));
  unsigned char digest[16];
  md5_finish(&context, digest);
  return Hex(digest);
}

// Hashes every message through the lanes, each fed in pieces of random
// sizes (empty ones too) whenever its slot is hungry; a slot sits out a
// round now and then, and takes the next message as soon as its own has
// ended. Rounds hash some or all of what was fed, at random.
std::vector<std::string> HashInLanes(Md5Kernel kernel, const std::vector<std::string>& messages, std::mt19937& random,
                                     std::size_t largestPiece, bool narrower = false) {
  Md5Lanes lanes(kernel, narrower);
  EXPECT_EQ(lanes.Kernel(), kernel);
  std::vector<std::string> digests(messages.size());
  struct Busy {
    std::size_t message = 0, at = 0;
    bool active = false;
  };
  std::array<Busy, Md5Lanes::kSlots> slots{};
  std::size_t next = 0, done = 0;
  std::uniform_int_distribution<std::size_t> small(0, 130), large(0, largestPiece), pick(0, 7);
  while (done < messages.size()) {
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
      Busy& busy = slots[slot];
      if (!busy.active && next < messages.size()) {
        lanes.Start(slot);
        busy = Busy{next++, 0, true};
      }
      if (!busy.active || !lanes.Hungry(slot) || pick(random) == 0) continue;
      const std::string& message = messages[busy.message];
      const std::size_t piece = std::min(message.size() - busy.at, pick(random) < 4 ? small(random) : large(random));
      const bool last = busy.at + piece == message.size() && pick(random) != 0;
      lanes.Feed(slot, reinterpret_cast<const unsigned char*>(message.data() + busy.at), piece, last);
      busy.at += piece;
    }
    if (pick(random) < 2)
      lanes.Hash();
    else
      lanes.HashSome();
    for (std::size_t slot = 0; slot < slots.size(); ++slot) {
      if (!slots[slot].active || !lanes.Ended(slot)) continue;
      unsigned char digest[16];
      lanes.Digest(slot, digest);
      digests[slots[slot].message] = Hex(digest);
      slots[slot].active = false;
      ++done;
    }
  }
  return digests;
}

class Md5LanesTest : public ::testing::TestWithParam<Md5Kernel> {
 protected:
  void SetUp() override {
    if (!Md5Lanes::Supported(GetParam()))
      GTEST_SKIP() << "this CPU lacks the instructions of the " << Md5Lanes::Name(GetParam()) << " kernel";
  }
};

}  // namespace

TEST_P(Md5LanesTest, Rfc1321TestSuiteInEveryLane) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  // Every lane gets every message of the suite, each lane at another offset
  // in it, so that all 16 lanes are busy at once with different lengths.
  std::vector<std::string> messages, expected;
  for (std::size_t turn = 0; turn < Md5Lanes::kSlots; ++turn)
    for (std::size_t i = 0; i < std::size(suite); ++i) {
      messages.push_back(suite[(i + turn) % std::size(suite)].first);
      expected.push_back(suite[(i + turn) % std::size(suite)].second);
    }
  std::mt19937 random(1321);
  EXPECT_EQ(HashInLanes(GetParam(), messages, random, 64), expected);
}

TEST_P(Md5LanesTest, EveryLengthUpTo300AndLargeMessagesEqualOneStream) {
  std::mt19937 random(22);
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<std::string> messages;
  for (std::size_t length = 0; length <= 300; ++length) {
    std::string message(length, '\0');
    for (char& c : message) c = static_cast<char>(byte(random));
    messages.push_back(std::move(message));
  }
  // A few of several MiB among them, of lengths that end mid-block.
  for (std::size_t length : {std::size_t{3} << 20, (std::size_t{5} << 20) + 61, (std::size_t{2} << 20) + 1}) {
    std::string message(length, '\0');
    for (std::size_t i = 0; i < length; i += 97) message[i] = static_cast<char>(byte(random));
    messages.insert(messages.begin() + static_cast<std::ptrdiff_t>(messages.size() / 3 * (length % 3)),
                    std::move(message));
  }
  std::vector<std::string> expected;
  for (const std::string& message : messages) expected.push_back(ReferenceMd5(message));
  EXPECT_EQ(HashInLanes(GetParam(), messages, random, 1 << 20), expected);
  // Lanes left busy by few messages may run on narrower kernels, which the
  // state of each slot moves to and back from.
  EXPECT_EQ(HashInLanes(GetParam(), messages, random, 1 << 20, true), expected);
}

INSTANTIATE_TEST_SUITE_P(Kernels, Md5LanesTest,
                         ::testing::Values(Md5Kernel::Scalar, Md5Kernel::Sse2, Md5Kernel::Avx2, Md5Kernel::Avx512),
                         [](const auto& kernel) { return std::string(Md5Lanes::Name(kernel.param)); });
