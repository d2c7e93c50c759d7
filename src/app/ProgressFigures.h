#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "surfaces/RunProgress.h"

// The texts of status panels 0 to 3 while a listing runs. The bytes read for
// digests are shown against the bytes of the files found so far and never
// pass them; a figure not known yet is left out rather than shown as 0.
class ProgressFigures {
 public:
  // Starts a new run: no rate measured yet.
  void Reset();
  // The panel texts for the figures at a moment, in milliseconds since any
  // fixed start; the rate is taken over about a second.
  std::array<std::string, 4> Texts(const RunProgress& progress, std::int64_t nowMs);

  static std::string Megabytes(double bytes);

 private:
  std::int64_t rateStartMs_ = -1;
  std::uint64_t rateStartBytes_ = 0;
  double rate_ = -1.0;  // bytes digested a second; negative until measured
};
