#include "documents/ListingLineReader.h"

#include <cerrno>
#include <cstring>

#include "platform/QuillonError.h"
#include "surfaces/ErrorText.h"

namespace {

[[noreturn]] void CannotOpen(const std::string& fileName, int errorNumber) {
  throw QuillonError(ErrorText::WithSystemReason(ErrorText::CannotOpenFile(fileName), errorNumber));
}

}  // namespace

ListingLineReader::ListingLineReader(const std::string& fileName, std::size_t blockSize)
    : fileName_(fileName), capacity_(blockSize) {
  if (!file_.OpenForLoading(fileName, false)) CannotOpen(fileName, file_.Error());
  if (file_.IsFolder()) CannotOpen(fileName, EISDIR);
  block_ = std::make_unique_for_overwrite<char[]>(capacity_);
}

std::size_t ListingLineReader::NextOf(char byte) const {
  const void* hit = std::memchr(block_.get() + begin_, byte, end_ - begin_);
  return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - block_.get()) : end_;
}

void ListingLineReader::Fill() {
  const std::size_t unread = end_ - begin_;
  if (unread == capacity_) {
    auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
    std::memcpy(larger.get(), block_.get() + begin_, unread);
    block_ = std::move(larger);
    capacity_ *= 2;
  } else if (begin_ > 0) {
    std::memmove(block_.get(), block_.get() + begin_, unread);
  }
  begin_ = 0;
  end_ = unread;
  found_ = false;
  const long long got = file_.Read(block_.get() + end_, capacity_ - end_);
  if (got < 0) CannotOpen(fileName_, file_.Error());
  if (got == 0) {
    atEnd_ = true;
    return;
  }
  const auto fresh = static_cast<std::size_t>(got);
  if (const void* nul = std::memchr(block_.get() + end_, '\0', fresh)) {
    end_ = static_cast<std::size_t>(static_cast<const char*>(nul) - block_.get());
    atEnd_ = true;
    file_.Close();
    return;
  }
  end_ += fresh;
}

bool ListingLineReader::Next(std::string_view& line) {
  for (;;) {
    if (!found_ || cr_ < begin_) cr_ = NextOf('\r');
    if (!found_ || lf_ < begin_) lf_ = NextOf('\n');
    found_ = true;
    const std::size_t stop = std::min(cr_, lf_);
    // Without a line end in sight, no more is read once the line is too long.
    if (stop - begin_ > kLongestLine)
      throw QuillonError(ErrorText::LineTooLong(fileName_, lineNumber_ + 1));
    // A CR that ends the block may be the first half of a CR LF.
    const bool complete = stop < end_ && (stop + 1 < end_ || block_[stop] == '\n' || atEnd_);
    if (complete || (atEnd_ && begin_ < end_)) {
      const char* text = block_.get();
      line = std::string_view(text + begin_, stop - begin_);
      std::size_t next = stop;
      if (next < end_ && text[next] == '\r') ++next;
      if (next < end_ && text[next] == '\n') ++next;
      begin_ = next;
      ++lineNumber_;
      return true;
    }
    if (atEnd_) return false;
    Fill();
  }
}
