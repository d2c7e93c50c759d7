#include "app/RunFigures.h"

#include <algorithm>
#include <cstdio>

namespace {
std::string Megabytes(double bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
  return text;
}
}  // namespace

void RunFigures::Restart() {
  measuring_ = false;
  bytesSince_ = 0;
  rate_ = -1.0;
}

std::array<std::string, 4> RunFigures::PanelTexts(const RunProgress& progress, Clock::time_point now) {
  std::array<std::string, 4> texts{"Files = " + std::to_string(progress.files),
                                   "Folders = " + std::to_string(progress.folders), "", ""};
  if (!progress.digests) {
    texts[2] = "Total = " + Megabytes(progress.bytes) + " MB";
    return texts;
  }
  // A file's digest may be read before its line is added, and a file may
  // grow while it is read: neither shows more bytes read than found. With
  // nothing found yet, only what was read is shown.
  const double found = std::max(progress.bytes, progress.bytesFound);
  const auto digested = static_cast<double>(progress.bytesDigested);
  texts[2] = found > 0 ? "MD5 " + Megabytes(std::min(digested, found)) + " of " + Megabytes(found) + " MB"
                       : "MD5 " + Megabytes(digested) + " MB";
  if (!measuring_ || progress.bytesDigested < bytesSince_) {
    measuring_ = true;
    since_ = now;
    bytesSince_ = progress.bytesDigested;
  } else if (const auto elapsed = std::chrono::duration<double>(now - since_).count(); elapsed >= 1.0) {
    rate_ = static_cast<double>(progress.bytesDigested - bytesSince_) / elapsed;
    since_ = now;
    bytesSince_ = progress.bytesDigested;
  }
  if (rate_ >= 0) texts[3] = Megabytes(rate_) + " MB/s";
  return texts;
}
