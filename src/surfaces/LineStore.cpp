#include "surfaces/LineStore.h"

#include <algorithm>
#include <cstring>

void LineStore::Clear() {
  lines_.clear();
  lines_.shrink_to_fit();
  blocks_.clear();
  cursor_ = nullptr;
  room_ = 0;
}

void LineStore::Append(std::string_view line) {
  if (line.size() > room_) {
    const std::size_t size = std::max(kBlockSize, line.size());
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
    cursor_ = blocks_.back().get();
    room_ = size;
  }
  if (!line.empty()) std::memcpy(cursor_, line.data(), line.size());
  lines_.emplace_back(cursor_, line.size());
  cursor_ += line.size();
  room_ -= line.size();
}

void LineStore::Adopt(std::unique_ptr<char[]> block) { blocks_.push_back(std::move(block)); }
