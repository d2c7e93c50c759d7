#include "surfaces/FolderQueue.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/QuillonError.h"
#include "platform/SpillFile.h"
#include "surfaces/ErrorText.h"

FolderQueue::FolderQueue() = default;
FolderQueue::~FolderQueue() = default;
FolderQueue::FolderQueue(FolderQueue&&) noexcept = default;
FolderQueue& FolderQueue::operator=(FolderQueue&&) noexcept = default;

void FolderQueue::Fail(int errorNumber) const {
  throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotUseTemporaryFiles(folder_), errorNumber));
}

void FolderQueue::push_back(std::string folder) { held_.push_back(std::move(folder)); }

void FolderQueue::clear() {
  held_.clear();
  held_.shrink_to_fit();
  spilled_ = passed_ = passedBytes_ = 0;
  file_.reset();
}

void FolderQueue::Passed(std::size_t i) {
  while (spilled_ + passed_ < i && passed_ < held_.size())
    passedBytes_ += sizeof(std::string) + held_[passed_++].size();
  if (passedBytes_ <= limit_) return;
  if (!file_) {
    folder_ = SpillFile::DefaultFolder();
    file_ = std::make_unique<SpillFile>();
    if (!file_->Create(folder_)) Fail(file_->Error());
  }
  std::string chunk;
  for (std::size_t k = 0; k < passed_; ++k) {
    const auto length = static_cast<std::uint32_t>(held_[k].size());
    chunk.append(reinterpret_cast<const char*>(&length), sizeof length).append(held_[k]);
  }
  if (!file_->Write(chunk.data(), chunk.size())) Fail(file_->Error());
  held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(passed_));
  spilled_ += passed_;
  passed_ = passedBytes_ = 0;
}

void FolderQueue::ForEach(const std::function<void(const std::string&)>& take) {
  Cursor cursor(*this);
  for (std::string folder; cursor.Next(folder);) take(folder);
}

FolderQueue::Cursor::Cursor(FolderQueue& queue) : queue_(queue) {
  if (queue_.file_ && !queue_.file_->Rewind()) queue_.Fail(queue_.file_->Error());
}

// At least n unread bytes in the block, or a failure.
void FolderQueue::Cursor::Need(std::size_t n) {
  if (block_.size() - at_ >= n) return;
  block_.erase(0, at_);
  at_ = 0;
  while (block_.size() < n) {
    const std::size_t had = block_.size();
    block_.resize(had + std::max<std::size_t>(n, std::size_t{1} << 20));
    const long long got = queue_.file_->Read(block_.data() + had, block_.size() - had);
    if (got <= 0) queue_.Fail(got < 0 ? queue_.file_->Error() : EIO);
    block_.resize(had + static_cast<std::size_t>(got));
  }
}

bool FolderQueue::Cursor::Next(std::string& folder) {
  if (index_ >= queue_.size()) return false;
  if (index_ < queue_.spilled_) {
    std::uint32_t length;
    Need(sizeof length);
    std::memcpy(&length, block_.data() + at_, sizeof length);
    Need(sizeof length + length);
    folder.assign(block_, at_ + sizeof length, length);
    at_ += sizeof length + length;
  } else {
    folder = queue_.held_[index_ - queue_.spilled_];
  }
  ++index_;
  return true;
}
