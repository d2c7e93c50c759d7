#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

#include "surfaces/RunProgress.h"

// The live figures of a running listing in the texts of status panels 0 to 3:
// files, folders, and the megabytes found or, with digests, read of them and
// the rate of reading over about the last second. The bytes read are shown
// against the bytes of the files found so far and never pass them.
class RunFigures {
 public:
  using Clock = std::chrono::steady_clock;
  // The tooltip of the rate, named after the digest being made.
  static std::string RateTip(const RunProgress& progress) {
    return std::string(progress.digestName) + " digests read per second";
  }

  // A new run: no rate measured yet.
  void Restart();
  std::array<std::string, 4> PanelTexts(const RunProgress& progress, Clock::time_point now);

 private:
  bool measuring_ = false;
  Clock::time_point since_;
  std::uint64_t bytesSince_ = 0;
  double rate_ = -1.0;  // bytes a second; negative until measured
};
