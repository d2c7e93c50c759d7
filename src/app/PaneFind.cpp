#include "app/PaneFind.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kBatch = 4096;  // lines searched between two handovers

char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void PaneFind::Start(Lines lines, std::string text) {
  Cancel();
  if (text.empty()) return;
  active_ = true;
  std::transform(text.begin(), text.end(), text.begin(), Folded);
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
  const auto same = [](char a, char b) { return Folded(a) == b; };
  std::vector<int> batch;
  const std::size_t count = lines->size();
  for (std::size_t start = 0; start < count && !cancel_; start += kBatch) {
    const std::size_t end = std::min(count, start + kBatch);
    for (std::size_t row = start; row < end; ++row) {
      const std::string_view line = (*lines)[row];
      if (std::search(line.begin(), line.end(), text.begin(), text.end(), same) != line.end())
        batch.push_back(static_cast<int>(row));
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

int PaneFind::Step(int row, bool forward) const {
  if (hits_.empty()) return -1;
  if (forward) {
    const auto next = std::upper_bound(hits_.begin(), hits_.end(), row);
    return next == hits_.end() ? hits_.front() : *next;
  }
  const auto next = std::lower_bound(hits_.begin(), hits_.end(), row);
  return next == hits_.begin() ? hits_.back() : *(next - 1);
}

int PaneFind::PlaceOf(int row, const Shown& shown) const {
  const auto at = std::lower_bound(hits_.begin(), hits_.end(), row);
  if (at == hits_.end() || *at != row || (shown && !shown(row))) return 0;
  return shown ? static_cast<int>(std::count_if(hits_.begin(), at, shown)) + 1 : static_cast<int>(at - hits_.begin()) + 1;
}

int PaneFind::StepShown(int row, bool forward, const Shown& shown) const {
  if (row < 0 && !forward) row = std::numeric_limits<int>::max();
  int line = Step(row, forward);
  for (std::size_t tries = 0; line >= 0 && !shown(line) && tries < hits_.size(); ++tries) line = Step(line, forward);
  return line >= 0 && shown(line) ? line : -1;
}

std::string PaneFind::CountText(int place, const Shown& shown) const {
  if (!active_) return {};
  const std::string more = searching_ ? "+" : "";
  // Hits on lines the filter hides are not counted: the steps pass them over.
  const std::size_t visible = shown ? static_cast<std::size_t>(std::count_if(hits_.begin(), hits_.end(), shown)) : hits_.size();
  const std::string count = std::to_string(visible);
  if (hits_.empty()) return searching_ ? "searching..." : "not found";
  if (visible == 0) return std::to_string(hits_.size()) + more + " hidden";
  if (place > 0) return std::to_string(place) + " of " + count + more;
  return count + more + " found";
}
