#pragma once

#include <chrono>
#include <string>

#include "platform/StandardStream.h"

// A live progress line on a terminal: rewritten in place a few times a
// second at most, and wiped when the work is done. Silent when the stream is
// not a terminal.
class ProgressLine {
 public:
  explicit ProgressLine(StandardStream& stream);
  ~ProgressLine() { Finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  bool Enabled() const { return enabled_; }
  // True when enough time has passed to show a new text; cheap to call often.
  bool Due();
  void Show(const std::string& text);
  void Finish();

  static std::string ListingText(long long files, long long folders, double bytes, double seconds);

 private:
  StandardStream& stream_;
  bool enabled_;
  bool shown_ = false;
  unsigned calls_ = 0;
  std::chrono::steady_clock::time_point next_;
};
