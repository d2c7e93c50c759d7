#include "platform/StreamDigest.h"

#include <algorithm>
#include <limits>

StreamDigest::StreamDigest(DigestAlgorithm algorithm) : algorithm_(algorithm) {}

StreamDigest::~StreamDigest() { FreeSha256(); }

void StreamDigest::Start() {
  if (algorithm_ == DigestAlgorithm::Md5) {
    md5_starts(&md5_);
  } else {
    StartSha256();
  }
}

void StreamDigest::Update(const unsigned char* input, std::size_t length) {
  if (algorithm_ == DigestAlgorithm::Sha256) {
    UpdateSha256(input, length);
    return;
  }
  constexpr std::size_t kMost = std::numeric_limits<std::uint32_t>::max();
  for (std::size_t done = 0; done < length;) {
    const std::size_t part = std::min(length - done, kMost);
    md5_update(&md5_, input + done, static_cast<std::uint32_t>(part));
    done += part;
  }
}

void StreamDigest::FinishHex(char* text) {
  static constexpr char kHex[] = "0123456789abcdef";
  unsigned char digest[32] = {};
  const std::size_t bytes = DigestBytesOf(algorithm_);
  if (algorithm_ == DigestAlgorithm::Md5) {
    md5_finish(&md5_, digest);
  } else if (!FinishSha256(digest)) {
    std::fill(digest, digest + bytes, 0);
  }
  for (std::size_t i = 0; i < bytes; ++i) {
    text[2 * i] = kHex[digest[i] >> 4];
    text[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
}
