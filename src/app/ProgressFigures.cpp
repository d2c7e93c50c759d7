#include "app/ProgressFigures.h"

#include <algorithm>
#include <cstdio>

void ProgressFigures::Reset() {
  rateStartMs_ = -1;
  rateStartBytes_ = 0;
  rate_ = -1.0;
}

std::string ProgressFigures::Megabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", bytes / 1e6);
  return text;
}

std::array<std::string, 4> ProgressFigures::Texts(const RunProgress& progress, std::int64_t nowMs) {
  std::array<std::string, 4> texts;
  texts[0] = "Files = " + std::to_string(progress.files);
  texts[1] = "Folders = " + std::to_string(progress.folders);
  if (!progress.digests) {
    texts[2] = "Total = " + Megabytes(progress.bytes) + " MB";
    return texts;
  }
  // A file's digest may be read before its line is added, and a file may
  // grow while it is read: neither makes more bytes read than found.
  const double found = std::max(progress.bytes, progress.bytesFound);
  const auto digested = static_cast<double>(progress.bytesDigested);
  texts[2] = found > 0 ? "MD5 " + Megabytes(std::min(digested, found)) + " of " + Megabytes(found) + " MB"
                       : "MD5 " + Megabytes(digested) + " MB";
  if (rateStartMs_ < 0 || progress.bytesDigested < rateStartBytes_) {
    rateStartMs_ = nowMs;
    rateStartBytes_ = progress.bytesDigested;
  } else if (nowMs - rateStartMs_ >= 1000) {
    rate_ = static_cast<double>(progress.bytesDigested - rateStartBytes_) * 1000.0 /
            static_cast<double>(nowMs - rateStartMs_);
    rateStartMs_ = nowMs;
    rateStartBytes_ = progress.bytesDigested;
  }
  if (rate_ >= 0) texts[3] = Megabytes(rate_) + " MB/s";
  return texts;
}
