#include "app/UnreadableList.h"

void UnreadableList::Clear() {
  first_.clear();
  count_ = 0;
}

void UnreadableList::Add(std::string_view path) {
  ++count_;
  if (first_.size() < kShown) first_.emplace_back(path);
}

std::vector<std::string> UnreadableList::TipLines() const {
  std::vector<std::string> lines = first_;
  if (count_ > first_.size()) lines.push_back("... and " + std::to_string(count_ - first_.size()) + " more");
  return lines;
}
