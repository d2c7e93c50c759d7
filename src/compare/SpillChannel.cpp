#include "compare/SpillChannel.h"

#include <cerrno>

#include "platform/QuillonError.h"
#include "surfaces/ErrorText.h"

SpillChannel::SpillChannel(const Place* place, std::size_t bufferSize)
    : place_(place), bufferSize_(bufferSize) {}

void SpillChannel::Fail(int errorNumber) const {
  if (errorNumber == ENOSPC)
    throw QuillonError(ErrorText::WithSystemReason(
        ErrorText::NoRoomForTemporaryFiles(place_->folder, place_->bytesNeeded, written_), errorNumber));
  throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotUseTemporaryFiles(place_->folder), errorNumber));
}

void SpillChannel::Flush() {
  if (!file_) {
    file_ = std::make_unique<SpillFile>();
    if (!file_->Create(place_->folder)) Fail(file_->Error());
  }
  if (!file_->Write(buffer_.data(), buffer_.size())) Fail(file_->Error());
  buffer_.clear();
}

void SpillChannel::Put(const void* data, std::size_t size) {
  written_ += size;
  if (place_ != nullptr && buffer_.size() + size > bufferSize_) {
    Flush();
    if (size >= bufferSize_) {
      if (!file_->Write(static_cast<const char*>(data), size)) Fail(file_->Error());
      return;
    }
  }
  buffer_.append(static_cast<const char*>(data), size);
}

void SpillChannel::StartReading() {
  readAt_ = 0;
  taken_ = 0;
  if (!OnDisk()) return;
  Flush();
  std::string().swap(buffer_);  // a reader takes its buffer when it starts
  if (!file_->Rewind()) Fail(file_->Error());
  fileAtEnd_ = false;
}

const char* SpillChannel::Take(std::size_t size) {
  if (OnDisk() && buffer_.size() - readAt_ < size && !fileAtEnd_) {
    buffer_.erase(0, readAt_);
    readAt_ = 0;
    const std::size_t want = std::max(std::min(bufferSize_, kReadChunk), size);
    while (buffer_.size() < want && !fileAtEnd_) {
      const std::size_t had = buffer_.size();
      buffer_.resize(want);
      const long long got = file_->Read(buffer_.data() + had, want - had);
      if (got < 0) Fail(file_->Error());
      buffer_.resize(had + static_cast<std::size_t>(got));
      fileAtEnd_ = got == 0;
    }
  }
  if (buffer_.size() - readAt_ < size) {
    if (readAt_ == buffer_.size()) return nullptr;
    Fail(EIO);  // a record cut short: the file was changed behind our back
  }
  const char* at = buffer_.data() + readAt_;
  readAt_ += size;
  taken_ += size;
  return at;
}

std::string_view SpillChannel::TakeUpTo(std::size_t size) {
  const unsigned long long left = written_ - taken_;
  const auto piece = static_cast<std::size_t>(std::min<unsigned long long>(size, left));
  const char* at = piece > 0 ? Take(piece) : nullptr;
  return at != nullptr ? std::string_view(at, piece) : std::string_view();
}

std::string_view SpillChannel::TakeAll() {
  if (OnDisk()) {
    buffer_.clear();
    buffer_.shrink_to_fit();
    buffer_.resize(static_cast<std::size_t>(written_));
    std::size_t have = 0;
    while (have < buffer_.size()) {
      const long long got = file_->Read(buffer_.data() + have, buffer_.size() - have);
      if (got <= 0) Fail(got < 0 ? file_->Error() : EIO);
      have += static_cast<std::size_t>(got);
    }
    fileAtEnd_ = true;
  }
  readAt_ = buffer_.size();
  return buffer_;
}

void SpillChannel::Release() {
  file_.reset();
  std::string().swap(buffer_);
  readAt_ = 0;
}
