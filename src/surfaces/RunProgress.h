#pragma once

#include <cstddef>
#include <cstdint>

// How far a listing run has got, for live figures while it runs.
struct RunProgress {
  std::int32_t files = 0;
  std::size_t folders = 0;
  double bytes = 0.0;                // the sizes of the files listed so far
  bool digests = false;              // the check box asked for digests
  std::uint64_t bytesDigested = 0;   // read for digests so far, files begun included
  double bytesFound = 0.0;           // the sizes of the files listed, found ahead of the walk or being read
};
