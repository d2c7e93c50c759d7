#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/OutputChannel.h"

// Lines to a channel, each followed by CR LF, gathered into large chunks so
// that the system sees few writes. A line may be given in parts.
class ListingWriter {
 public:
  explicit ListingWriter(OutputChannel& out);

  // False once a write has fallen short; later lines are then dropped.
  bool Add(std::string_view line) { return Add(std::span<const std::string_view>(&line, 1)); }
  bool Add(std::span<const std::string_view> parts);
  // Writes what is gathered.
  bool Finish();

 private:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;

  OutputChannel& out_;
  std::string chunk_;
  bool ok_ = true;
};
