#include "app/RunFigures.h"

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
  texts[2] = "MD5 " + Megabytes(static_cast<double>(progress.bytesDigested)) + " of " + Megabytes(progress.bytes) +
             " MB";
  if (!measuring_) {
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
