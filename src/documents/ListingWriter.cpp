#include "documents/ListingWriter.h"

ListingWriter::ListingWriter(OutputChannel& out) : out_(out) { chunk_.reserve(kChunk + 2); }

bool ListingWriter::Add(std::span<const std::string_view> parts) {
  for (const std::string_view part : parts) {
    // A part too large for a chunk goes out on its own.
    if (part.size() >= kChunk) {
      ok_ = ok_ && Finish() && out_.Write(part.data(), part.size());
      continue;
    }
    chunk_.append(part);
  }
  chunk_.append("\r\n");
  if (chunk_.size() >= kChunk) Finish();
  return ok_;
}

bool ListingWriter::Finish() {
  ok_ = ok_ && out_.Write(chunk_.data(), chunk_.size());
  chunk_.clear();
  return ok_;
}
