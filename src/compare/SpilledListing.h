#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compare/SpillChannel.h"
#include "surfaces/LineSource.h"

// The lines of a listing as it is made, kept in memory up to a limit and in a
// temporary file past it, then read back in their order.
class SpilledListing : public LineSource {
 public:
  SpilledListing(std::string folder, std::size_t memoryLimit);
  SpilledListing(const SpilledListing&) = delete;
  SpilledListing& operator=(const SpilledListing&) = delete;

  void Add(std::string_view line);
  // Ends the adding; Next reads from the first line.
  void StartReading() { lines_.StartReading(); }
  bool Next(std::string_view& line) override;
  // After StartReading, in place of Next: all lines as views that stay valid
  // while the listing lives, when none went to the temporary file.
  std::optional<std::vector<std::string_view>> LinesInMemory();
  // Frees the lines and the file.
  void Release() { lines_.Release(); }
  long long SizeHint() const override { return static_cast<long long>(lines_.Written()); }

 private:
  SpillChannel::Place place_;
  SpillChannel lines_;
};
