#include "cli/ProgressLine.h"

#include <cstdio>

namespace {
constexpr auto kInterval = std::chrono::milliseconds(250);
}

ProgressLine::ProgressLine(StandardStream& stream)
    : stream_(stream), enabled_(stream.IsConsole()), next_(std::chrono::steady_clock::now()) {}

bool ProgressLine::Due() {
  if (!enabled_) return false;
  // Reading the clock on every call would cost more than the work it reports.
  if ((++calls_ & 63) != 1) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now < next_) return false;
  next_ = now + kInterval;
  return true;
}

void ProgressLine::Show(const std::string& text) {
  if (!enabled_) return;
  const std::string line = "\r" + text + "\x1b[K";
  if (stream_.Write(line.data(), line.size())) shown_ = true;
}

void ProgressLine::Finish() {
  if (!shown_) return;
  shown_ = false;
  static constexpr char kWipe[] = "\r\x1b[K";
  // A terminal that has gone needs no wiping.
  stream_.Write(kWipe, sizeof kWipe - 1);
}

std::string ProgressLine::ListingText(long long files, long long folders, double bytes, double seconds) {
  char text[160];
  const double mib = bytes / (1024.0 * 1024.0);
  const double rate = seconds > 0 ? static_cast<double>(files) / seconds : 0.0;
  std::snprintf(text, sizeof text, "%lld files, %lld folders, %.1f MiB, %.0f files/s", files, folders, mib, rate);
  return text;
}
