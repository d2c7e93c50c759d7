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
  if (file_) {
    if (!file_->Rewind()) Fail(file_->Error());
    std::string block, folder;
    std::size_t at = 0;
    // At least n unread bytes in the block, or a failure.
    const auto need = [&](std::size_t n) {
      if (block.size() - at >= n) return;
      block.erase(0, at);
      at = 0;
      while (block.size() < n) {
        const std::size_t had = block.size();
        block.resize(had + std::max<std::size_t>(n, std::size_t{1} << 20));
        const long long got = file_->Read(block.data() + had, block.size() - had);
        if (got <= 0) Fail(got < 0 ? file_->Error() : EIO);
        block.resize(had + static_cast<std::size_t>(got));
      }
    };
    for (std::size_t k = 0; k < spilled_; ++k) {
      std::uint32_t length;
      need(sizeof length);
      std::memcpy(&length, block.data() + at, sizeof length);
      need(sizeof length + length);
      folder.assign(block, at + sizeof length, length);
      at += sizeof length + length;
      take(folder);
    }
  }
  for (const std::string& folder : held_) take(folder);
}
