#include "app/PaneFind.h"

#include <algorithm>
#include <limits>

#include "app/FoldedText.h"

namespace {

constexpr std::size_t kBatch = 4096;  // lines searched between two handovers

}  // namespace

void PaneFind::Start(Lines lines, std::string text) {
  Cancel();
  if (text.empty()) return;
  active_ = true;
  text = FoldedText::Of(text);
  cancel_ = false;
  finished_ = false;
  searching_ = true;
  worker_ = std::thread(&PaneFind::Search, this, std::move(lines), std::move(text));
}

void PaneFind::Cancel() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  found_.clear();
  hits_.clear();
  searching_ = false;
  active_ = false;
}

void PaneFind::Restart(const std::vector<std::string_view>& lines, std::string text) {
  Cancel();
  if (!lines_ || lines_->size() != lines.size()) lines_ = std::make_shared<const std::vector<std::string_view>>(lines);
  Start(lines_, std::move(text));
}

void PaneFind::Forget() {
  Cancel();
  lines_.reset();
}

void PaneFind::Search(Lines lines, std::string text) {
  std::vector<int> batch;
  const std::size_t count = lines->size();
  for (std::size_t start = 0; start < count && !cancel_; start += kBatch) {
    const std::size_t end = std::min(count, start + kBatch);
    for (std::size_t row = start; row < end; ++row) {
      const std::string_view line = (*lines)[row];
      if (FoldedText::Holds(line, text)) batch.push_back(static_cast<int>(row));
    }
    if (batch.empty()) continue;
    const std::lock_guard<std::mutex> lock(mutex_);
    found_.insert(found_.end(), batch.begin(), batch.end());
    batch.clear();
  }
  finished_ = true;
}

bool PaneFind::Poll() {
  if (!searching_) return false;
  const bool ended = finished_;  // read before the last handover is taken
  bool taken = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    taken = !found_.empty();
    hits_.insert(hits_.end(), found_.begin(), found_.end());
    found_.clear();
  }
  if (ended) {
    worker_.join();
    searching_ = false;
  }
  return taken || ended;
}

int PaneFind::PlaceOf(int line, const RowOf& rowOf) const {
  if (!std::binary_search(hits_.begin(), hits_.end(), line)) return 0;
  const int row = rowOf(line);
  if (row < 0) return 0;
  return 1 + static_cast<int>(std::count_if(hits_.begin(), hits_.end(), [&](int hit) {
           const int at = rowOf(hit);
           return at >= 0 && at < row;
         }));
}

int PaneFind::StepShown(int row, bool forward, const RowOf& rowOf) const {
  if (row < 0) row = forward ? -1 : std::numeric_limits<int>::max();
  // The nearest row past the given one, else the first (or last) of all.
  int next = -1, nextRow = 0, wrap = -1, wrapRow = 0;
  for (const int hit : hits_) {
    const int at = rowOf(hit);
    if (at < 0) continue;
    const bool past = forward ? at > row : at < row;
    if (past && (next < 0 || (forward ? at < nextRow : at > nextRow))) next = hit, nextRow = at;
    if (wrap < 0 || (forward ? at < wrapRow : at > wrapRow)) wrap = hit, wrapRow = at;
  }
  return next >= 0 ? next : wrap;
}

std::string PaneFind::CountText(int place, const RowOf& rowOf) const {
  if (!active_) return {};
  const std::string more = searching_ ? "+" : "";
  // Hits on lines the view hides are not counted: the steps pass them over.
  const auto visible = std::count_if(hits_.begin(), hits_.end(), [&](int hit) { return rowOf(hit) >= 0; });
  const std::string count = std::to_string(visible);
  if (hits_.empty()) return searching_ ? "searching..." : "not found";
  if (visible == 0) return std::to_string(hits_.size()) + more + " hidden";
  if (place > 0) return std::to_string(place) + " of " + count + more;
  return count + more + " found";
}
